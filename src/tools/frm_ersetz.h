// The Replace dialog "Replace": replaces every occurrence of a search text
// in the editor by a replacement and shows how many it made, or empties the
// lines that hold the search text. Modeless and on top of the other windows;
// its two fields are kept in the settings from one opening to the next.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kelo {

class MessageBoxes;
class SettingsStore;
class TextBox;
class WorkProgress;

class frm_ersetz : public QWidget {
    Q_OBJECT

public:
    // A window of its own over the main window, deleted when it is closed.
    frm_ersetz(TextBox *editor, SettingsStore &settings, MessageBoxes &messages,
               QWidget *mainWindow);

    // Places the dialog at a third of the main window's size from its top
    // left corner and fills the fields from the settings.
    void Form_Load();
    // Where replace all shows how far it is, with a way to stop it.
    void setWorkProgress(std::function<std::unique_ptr<WorkProgress>()> start)
    {
        m_startWork = std::move(start);
    }

    void cmd_ersetzen_Click();
    void cmdTAB_Click();
    void cmdZSLOESCH_Click();
    void cmd_exit_Click();

    QLabel *Label1 = nullptr; // "find:"
    QLabel *Label2 = nullptr; // "replace:"
    QLineEdit *txt_finde = nullptr;
    QLineEdit *txt_replace = nullptr;
    QPushButton *cmdTAB = nullptr;
    QPushButton *cmd_ersetzen = nullptr;
    QPushButton *cmdZSLOESCH = nullptr;
    QPushButton *cmd_exit = nullptr;
    QLabel *lbl_anzahl = nullptr;
    QLabel *lbl_text = nullptr;

Q_SIGNALS:
    // "ganze Zeile löschen": the main window empties the lines that hold the
    // text and refreshes the display.
    void deleteLinesRequested(const QString &text);

protected:
    // Every way of closing stores the two fields.
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Unload();

    TextBox *m_editor;
    SettingsStore &m_settings;
    MessageBoxes &m_messages;
    QWidget *m_mainWindow;
    std::function<std::unique_ptr<WorkProgress>()> m_startWork;
};

} // namespace kelo
