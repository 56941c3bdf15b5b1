// The main window "Kelo the Scriv" (Form1): the bar of picture buttons, the
// editor, the status line and the three panels that appear over the editor.
//
// The window holds the program's state in its controls: the editor text in
// TextBox1, the current file (which Label1 shows, a name that is not UTF-8
// readably; the name itself is kept beside it), the colour scheme in
// lbl_schwarzweissblau and lbl_cursorPos. The features are classes of their
// own that see the window only through its port (WindowPort); this class
// places the controls, builds the features, and decides in one place
// whether it may close. The commands of the top bar are actions, made and
// attached to their buttons in commands.cpp.
#pragma once

#include "platform/windowport.h"
#include "shell/closingpath.h"
#include "shell/context.h"
#include "shell/loadprogress.h"

#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kelo {

class AboutOpener;
class ColourSchemes;
struct Commands;
class DesktopIntegration;
class LineTools;
class EditorTools;
class OpenPanel;
class OptionsPanel;
class PictureButton;
class RecoveryKeeper;
class SaveAsPanel;
struct RecoveryCopy;
class SessionEnd;
class Saving;
class TextBox;
class TextCommands;
class Translation;

class Form1 : public QWidget, public WindowPort {
    Q_OBJECT

public:
    explicit Form1(KeloContext context, QWidget *parent = nullptr);
    ~Form1() override;

    // When start-up reads the file named on the command line: at once, or
    // when readCommandLineFile() is called, once the window shows, so that
    // the window does not wait for a big file.
    enum class FileTiming { WithStart, AfterShow };
    // Start-up: restores the settings, reads a file named on the command
    // line, applies the stored colour scheme. Runs once, before the window is
    // first shown.
    void Form_Load(FileTiming timing = FileTiming::WithStart);
    // Reads the command-line file that Form_Load left for later, if any.
    void readCommandLineFile();
    // What a load shows on the way (the progress box over the window unless
    // replaced, as by the tests).
    void setLoadProgress(LoadProgressFactory factory) { m_loadProgress = std::move(factory); }

    // The outer window size in twips, with the classic frame allowance
    // (150 twips across, 555 down) around the client area.
    double windowWidthTwips() const;
    double windowHeightTwips() const;
    void setWindowWidthTwips(double twips);
    void setWindowHeightTwips(double twips);

    // ---- The port the features see -----------------------------------------
    QWidget &window() override { return *this; }
    TextBox &editor() override { return *TextBox1; }
    MessageBoxes &messages() override { return *m_context.messages; }
    SettingsStore &settings() override { return *m_context.settings; }
    QString programFolder() const override { return m_context.programFolder; }
    void setStatus(const QString &text) override;
    void refreshText() override;
    QString currentFile() const override;
    void setCurrentFile(const QString &path) override;
    TextFormat textFormat() const override { return m_format; }
    void setTextFormat(const TextFormat &format) override { m_format = format; }
    KnownFile knownFile() const override { return m_knownFile; }
    void setKnownFile(const KnownFile &known) override;
    void exitProgram() override;
    std::unique_ptr<WorkProgress> startWork(const QString &what) override;

    // Loads the file chosen in the open panel.
    void FileLoad();
    // Loads a file by its path through the same steps as FileLoad (a file
    // dropped onto the window).
    void loadDroppedFile(const QString &path);

    void cmd_open_Click();
    void Save_AS_Click();
    void cmd_Einstell_Click();

    // Offers the recovery copies of Kelo windows that are gone (after the
    // window is shown); "Ja" puts the text back with its file and form.
    void offerRecoveryCopies();
    // The desktop session ends: a changed text is offered for saving, or,
    // when no question may be asked, kept as a recovery copy.
    void commitData(SessionEnd &session);

    const KeloContext &context() const { return m_context; }
    ColourSchemes *schemes() const { return m_schemes; }
    // "Leerzeilen", the Replace dialog and the emptying of lines.
    LineTools *lineTools() const { return m_lineTools; }
    // The web translation behind cmd_DE2EN and cmd_EN2DE.
    Translation *translation() const { return m_translation; }
    // Speichern, the save-as panel's handlers and EXIT.
    Saving *saving() const { return m_saving; }
    // The caret readout, automatic indentation and the Search dialog.
    EditorTools *editorTools() const { return m_editorTools; }
    // Print, copy all, clear and refresh.
    TextCommands *textCommands() const { return m_textCommands; }
    // The context-menu entry and the file type of the options panel.
    DesktopIntegration *desktopIntegration() const { return m_desktopIntegration; }
    AboutOpener *about() const { return m_about; }
    // This window's recovery copies, or null when it keeps none.
    RecoveryKeeper *recovery() const { return m_recovery.get(); }

    // ---- Controls, named as in the designer -------------------------------
    PictureButton *cmd_open = nullptr;
    PictureButton *img_save = nullptr;
    PictureButton *Save_AS = nullptr;
    PictureButton *cmd_fresh = nullptr;
    PictureButton *copy = nullptr;
    PictureButton *img_clear = nullptr;
    PictureButton *cmd_DE2EN = nullptr;
    PictureButton *cmd_EN2DE = nullptr;
    PictureButton *Print = nullptr;
    QPushButton *cmd_Einstell = nullptr;
    PictureButton *EXIT = nullptr;
    PictureButton *Info1 = nullptr; // the hover spot
    PictureButton *Info2 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *Label15 = nullptr; // captions under the top bar
    QLabel *Label16 = nullptr;
    QLabel *Label17 = nullptr;
    QLabel *Label14 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *search = nullptr;
    QPushButton *cmd_replace = nullptr;
    QPushButton *cmdDelEmpty = nullptr;
    QLabel *Label1 = nullptr;        // the current file
    QLabel *lbl_cursorPos = nullptr; // its BackColor: the scheme's background
    TextBox *TextBox1 = nullptr;
    QLineEdit *lblstatus = nullptr;
    OpenPanel *Dateiauswahl = nullptr;
    SaveAsPanel *Dateiauswahl2 = nullptr;
    OptionsPanel *Frame1 = nullptr;

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createControls();
    void createFeatures();
    void Form_Unload();
    // Reads a file into the editor as its new text; a failed read keeps the
    // text and the current file and says why.
    void readFileIntoEditor(const QString &path, const QString &previousFile);
    // The file's text into the editor, in its form, and the file remembered.
    // A failure or a load the user stopped changes nothing; a failure gives
    // the reason, naming the file.
    enum class LoadEnd { Loaded, Failed, Cancelled };
    LoadEnd readIntoEditor(const QString &path, QString &reason);
    void loadCommandLineFile(const QString &path);
    void storeOpenPanelFolder();
    bool restoreRecoveredText(RecoveryCopy &&copy);
    RecoveryCopy describeText() const;

    KeloContext m_context;
    QString m_currentFile; // exactly as the system names it; Label1 shows it
    TextFormat m_format;
    KnownFile m_knownFile;
    LoadProgressFactory m_loadProgress = LoadProgressDialog::factory();
    QString m_commandLineFile; // read once the window shows
    // What the status line last said about the known file on disk, so that
    // it is said once per change and not on every activation.
    FileChange m_reportedChange = FileChange::Unchanged;
    ColourSchemes *m_schemes = nullptr;
    DesktopIntegration *m_desktopIntegration = nullptr;
    LineTools *m_lineTools = nullptr;
    Translation *m_translation = nullptr;
    Saving *m_saving = nullptr;
    EditorTools *m_editorTools = nullptr;
    TextCommands *m_textCommands = nullptr;
    AboutOpener *m_about = nullptr;
    std::unique_ptr<Commands> m_commands;
    std::unique_ptr<RecoveryKeeper> m_recovery;

    // Whether the window may close is decided here, and only here.
    ClosingPath m_closing;
    // UnloadAllForms reaches this window again while it closes already.
    bool m_unloading = false;
    // EXIT asked about the text already: this one closing asks no more.
    bool m_exitAsked = false;
    // The session's end already settled the text (saved, "Nein", or kept as
    // a recovery copy): closing asks no more, until the text changes again.
    bool m_textSettled = false;
};

} // namespace kelo
