#include "shell/form1.h"

#include "files/fileprocs.h"
#include "files/openpanel.h"
#include "files/recoverykeeper.h"
#include "files/saveaspanel.h"
#include "files/saving.h"
#include "platform/controls.h"
#include "platform/filenames.h"
#include "platform/listcontrols.h"
#include "platform/memoryroom.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "platform/units.h"
#include "services/desktopintegration.h"
#include "services/translation.h"
#include "files/textcommands.h"
#include "services/form2.h"
#include "shell/colourschemes.h"
#include "shell/commands.h"
#include "shell/optionspanel.h"
#include "shell/sessionend.h"
#include "shell/startup.h"
#include "shell/unloadallforms.h"
#include "shell/windowfeatures.h"
#include "tools/editortools.h"
#include "tools/linetools.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>

#include <utility>

namespace kelo {

namespace {

// The classic window's frame around its client area, in twips.
constexpr double frameWidthTwips = 12285 - 12135;
constexpr double frameHeightTwips = 7920 - 7365;
constexpr double designClientWidth = 12135;
constexpr double designClientHeight = 7365;
constexpr double panelTopTwips = 650;

const QString errorMessage = QStringLiteral("Hoppla, es ist ein Fehler aufgetreten !");

// From this size on, putting a recovered text in and copying it again takes
// about half a second or more; so does undoing or redoing a change that costs
// as much copying.
constexpr qsizetype longRestore = 32 * 1024 * 1024;

// A progress box's label, "Ersetze … 40 %": what is being done and how far.
std::function<QString(int percent)> workLabel(const QString &what)
{
    return [what](int percent) { return QStringLiteral("%1 … %2 %").arg(what).arg(percent); };
}

} // namespace

Form1::Form1(KeloContext context, QWidget *parent)
    : QWidget(parent)
    , m_context(std::move(context))
{
    initResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kelo the Scriv"));
    setWindowIcon(
        themedIcon(QStringLiteral("accessories-text-editor"), QStringLiteral(":/icons/kelo.svg")));
    setAcceptDrops(true);
    // The classic form's font, which every control takes unless it has its own.
    setFont(classicFont(QStringLiteral("MS Sans Serif"), 8.25));
    resize(twipsToPixels(designClientWidth), twipsToPixels(designClientHeight));
    createControls();
    createFeatures();
}

Form1::~Form1()
{
    // Before the editor goes: the keeper's last work needs it no more, but it
    // must end while the window still stands.
    m_recovery.reset();
}

void Form1::createControls()
{
    const auto picture = [this](const QString &name, const QString &theme, const QString &fallback,
                                double l, double t, double w, double h) {
        auto *button = named(new PictureButton(themedIcon(theme, fallback), this), name);
        placeTwips(button, l, t, w, h);
        return button;
    };
    cmd_open = picture(QStringLiteral("cmd_open"), QStringLiteral("document-open"),
                       QStringLiteral(":/icons/open.svg"), 120, 0, 480, 480);
    img_save = picture(QStringLiteral("img_save"), QStringLiteral("document-save"),
                       QStringLiteral(":/icons/save.svg"), 720, 20, 400, 400);
    Save_AS = picture(QStringLiteral("Save_AS"), QStringLiteral("document-save-as"),
                      QStringLiteral(":/icons/saveas.svg"), 1320, 0, 465, 435);
    cmd_fresh = picture(QStringLiteral("cmd_fresh"), QStringLiteral("view-refresh"),
                        QStringLiteral(":/icons/refresh.svg"), 2100, 0, 465, 435);
    copy = picture(QStringLiteral("copy"), QStringLiteral("edit-copy"),
                   QStringLiteral(":/icons/copy.svg"), 2760, 0, 615, 615);
    img_clear = picture(QStringLiteral("img_clear"), QStringLiteral("edit-clear"),
                        QStringLiteral(":/icons/clear.svg"), 4080, 0, 480, 480);
    // The translation pictures are our own: no theme has a language pair.
    cmd_DE2EN = picture(QStringLiteral("cmd_DE2EN"), QString(), QStringLiteral(":/icons/de2en.svg"),
                        7275, 150, 525, 300);
    cmd_EN2DE = picture(QStringLiteral("cmd_EN2DE"), QString(), QStringLiteral(":/icons/en2de.svg"),
                        7950, 150, 525, 300);
    Print = picture(QStringLiteral("Print"), QStringLiteral("document-print"),
                    QStringLiteral(":/icons/print.svg"), 9030, 90, 300, 300);
    EXIT = picture(QStringLiteral("EXIT"), QStringLiteral("application-exit"),
                   QStringLiteral(":/icons/exit.svg"), 10440, 0, 900, 720);
    Info1 = picture(QStringLiteral("Info1"), QStringLiteral("help-about"),
                    QStringLiteral(":/icons/info.svg"), 11520, 145, 465, 435);
    Info2 = picture(QStringLiteral("Info2"), QString(), QStringLiteral(":/icons/info-hover.svg"),
                    11520, 145, 465, 435);
    Info2->hide();

    const auto hoverPicture = [this](const QString &name, const QString &resource, double top) {
        auto *label = named(new QLabel(this), name);
        placeTwips(label, 11520, top, 465, 435);
        label->setPixmap(QIcon(resource).pixmap(label->size()));
        label->hide();
        return label;
    };
    Image1 = hoverPicture(QStringLiteral("Image1"), QStringLiteral(":/icons/exit-hover.svg"), 145);
    Image2 =
        hoverPicture(QStringLiteral("Image2"), QStringLiteral(":/icons/settings-hover.svg"), 150);

    cmd_Einstell =
        named(new QPushButton(QStringLiteral("Einstellen"), this), QStringLiteral("cmd_Einstell"));
    cmd_Einstell->setCursor(Qt::PointingHandCursor);
    setBackColor(cmd_Einstell, 0xFFFFFF);
    placeTwips(cmd_Einstell, 9480, 0, 855, 645);

    const QFont captionFont = classicFont(QStringLiteral("MS Serif"), 6);
    const auto caption = [this, &captionFont](const QString &name, const QString &text, double l,
                                              double t, double w) {
        auto *label = named(new QLabel(text, this), name);
        label->setFont(captionFont);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        placeTwips(label, l, t, w, 210);
        return label;
    };
    Label15 = caption(QStringLiteral("Label15"), QStringLiteral("öffnen"), 60, 480, 600);
    Label16 = caption(QStringLiteral("Label16"), QStringLiteral("speichern"), 620, 480, 600);
    Label17 = caption(QStringLiteral("Label17"), QStringLiteral("speichern als"), 1200, 495, 720);
    Label14 = caption(QStringLiteral("Label14"), QStringLiteral("refresh"), 2040, 480, 585);
    Label3 = caption(QStringLiteral("Label3"), QStringLiteral("copy all"), 2760, 495, 615);
    Label9 = caption(QStringLiteral("Label9"), QStringLiteral("clear"), 4080, 480, 480);
    Label2 = caption(QStringLiteral("Label2"), QStringLiteral("translate"), 7275, 0, 1200);
    Label2->setEnabled(false); // shown greyed, as a heading over the two flags

    const QFont buttonFont = classicFont(QStringLiteral("MS Serif"), 6.75);
    const auto textButton = [this, &buttonFont](const QString &name, const QString &text, double l,
                                                double w) {
        auto *button = named(new QPushButton(text, this), name);
        button->setFont(buttonFont);
        placeTwips(button, l, 135, w, 285);
        return button;
    };
    search = textButton(QStringLiteral("search"), QStringLiteral("search"), 4700, 750);
    cmd_replace = textButton(QStringLiteral("cmd_replace"), QStringLiteral("replace"), 5450, 750);
    cmdDelEmpty =
        textButton(QStringLiteral("cmdDelEmpty"), QStringLiteral("Leerzeilen"), 6250, 840);

    Label1 = named(new QLabel(this), QStringLiteral("Label1"));
    setForeColor(Label1, 0x808080);
    placeTwips(Label1, 4725, 450, 4575, 255);

    lbl_cursorPos = named(new QLabel(this), QStringLiteral("lbl_cursorPos"));
    setBackColor(lbl_cursorPos, scheme::navy);
    placeTwips(lbl_cursorPos, 10560, 120, 735, 255);
    lbl_cursorPos->hide();

    TextBox1 = named(new TextBox(this), QStringLiteral("TextBox1"));
    TextBox1->setEditorFont(classicFont(QStringLiteral("MS Sans Serif"), 8.25));
    // Nothing can be stopped once the undo began: the box only shows how far.
    TextBox1->setStepProgress([this](bool undoing, qsizetype cost) {
        return cost < longRestore
                   ? nullptr
                   : std::make_unique<WorkProgressBox>(
                         *this,
                         workLabel(undoing ? QStringLiteral("Mache die Änderung rückgängig")
                                           : QStringLiteral("Stelle die Änderung wieder her")),
                         std::chrono::milliseconds(0));
    });
    connect(TextBox1, &TextBox::stepRefused, this, [this](bool undoing) {
        setStatus((undoing ? QStringLiteral("Die Änderung kann nicht rückgängig gemacht werden")
                           : QStringLiteral("Die Änderung kann nicht wiederhergestellt werden")) +
                  QStringLiteral(": Dafür ist nicht genug Arbeitsspeicher frei. Der Text bleibt, "
                                 "wie er ist."));
    });
    connect(TextBox1, &TextBox::inputRefused, this, [this] {
        setStatus(QStringLiteral("Dafür ist nicht genug Arbeitsspeicher frei. Der Text bleibt, "
                                 "wie er ist."));
    });
    placeTwips(TextBox1, 105, 720, 10410, 6000);

    lblstatus = named(new QLineEdit(this), QStringLiteral("lblstatus"));
    setBackColor(lblstatus, 0xC0FFFF);
    placeTwips(lblstatus, 105, 6930, 11880, 240);

    Dateiauswahl = new OpenPanel(m_context.volumes, this);
    Dateiauswahl2 = new SaveAsPanel(m_context.volumes, this);
    Frame1 = new OptionsPanel(this);
}

void Form1::createFeatures()
{
    connect(Dateiauswahl, &OpenPanel::loadRequested, this, &Form1::FileLoad);
    connect(Dateiauswahl, &OpenPanel::statusMessage, this, &Form1::setStatus);
    connect(Dateiauswahl2, &SaveAsPanel::statusMessage, this, &Form1::setStatus);
    connect(TextBox1, &TextBox::filesDropped, this, [this](const QStringList &paths) {
        if (!paths.isEmpty())
            loadDroppedFile(paths.first());
    });
    m_schemes = new ColourSchemes(TextBox1, Frame1, lbl_cursorPos, cmd_Einstell, this);

    // The features see the window through its port, and their own panels.
    m_saving = new Saving(*this, *Dateiauswahl2, this);
    m_lineTools = new LineTools(*this, this);
    m_editorTools = new EditorTools(*this, this);
    m_translation = new Translation(*this, this, m_context.secrets);
    m_textCommands = new TextCommands(TextBox1, m_context.messages, m_context.printer,
                                      [this] { refreshText(); }, this);
    m_desktopIntegration = new DesktopIntegration(
        *this,
        {m_context.programFile, QStringLiteral("Kelo the Scriv"),
         standardDesktopFolders({m_context.dataHome, m_context.configHome, m_context.dataDirs})},
        this);
    m_about = new AboutOpener(*this, [this] { return windowWidthTwips(); }, m_context.launcher);
    installWindowFeatures(*this);
    m_commands = std::make_unique<Commands>(*this);

    // Who may stop the window from closing, asked in this order: a running
    // translation (cancelled, the window stays), then the changed text.
    m_closing.addParty([this] { return m_translation->mayClose(); });
    m_closing.addParty([this] {
        return m_exitAsked || m_textSettled || m_saving->confirmDropChangedText();
    });

    if (!m_context.recoveryFolder.isEmpty()) {
        m_recovery = std::make_unique<RecoveryKeeper>(m_context.recoveryFolder, *TextBox1,
                                                      [this] { return describeText(); });
        connect(m_recovery.get(), &RecoveryKeeper::failed, this, &Form1::setStatus);
    }
    connect(TextBox1, &TextBox::textChanged, this, [this] { m_textSettled = false; });
}

RecoveryCopy Form1::describeText() const
{
    RecoveryCopy copy;
    copy.path = currentFile();
    copy.format = m_format;
    if (m_knownFile.path == copy.path)
        copy.identity = m_knownFile.identity;
    return copy;
}

void Form1::offerRecoveryCopies()
{
    if (!m_recovery)
        return;
    kelo::offerRecoveryCopies(
        m_recovery->folder(), *m_context.messages,
        [this](RecoveryCopy &&copy) { return restoreRecoveredText(std::move(copy)); },
        [this](const QString &text) { setStatus(text); },
        [this](qint64 bytes) -> std::unique_ptr<WorkProgress> {
            if (bytes < longRestore)
                return nullptr;
            return std::make_unique<WorkProgressBox>(
                *this, workLabel(QStringLiteral("Lese die Sicherungskopie")),
                std::chrono::milliseconds(0));
        });
}

bool Form1::restoreRecoveredText(RecoveryCopy &&copy)
{
    // A long text takes seconds, with nothing left to stop after the "Ja":
    // the box comes up before the text goes in, and says how far it is.
    std::unique_ptr<WorkProgress> progress =
        copy.text.size() >= longRestore
            ? std::make_unique<WorkProgressBox>(
                  *this, workLabel(QStringLiteral("Stelle den Text wieder her")),
                  std::chrono::milliseconds(0))
            : nullptr;
    WorkMeter meter(progress.get(), 2);
    const auto told = meter.unstoppableRest();
    told(0, 2);
    // One undoable change, so that what was loaded before is one undo away.
    if (!TextBox1->replaceAllUtf8(copy.text)) {
        progress.reset(); // not left behind the message
        const QString kept = QStringLiteral("Die Sicherungskopie bleibt für den nächsten Start.");
        setStatus(kept);
        m_context.messages->show(noRoomForNewText() + QStringLiteral("\n") + kept,
                                 MsgButtons::Ok, MsgIcon::Critical);
        return false;
    }
    setCurrentFile(copy.path);
    m_format = copy.format;
    setKnownFile({copy.path, copy.identity});
    told(1, 2);
    // Safe again at once, in this window's own copy, before the old copy goes.
    m_recovery->copyNow();
    m_recovery->waitUntilWritten();
    told(2, 2);
    if (copy.path.isEmpty())
        setStatus(QStringLiteral("Der Text wurde wiederhergestellt; er ist noch nicht gespeichert."));
    else if (changeOf(m_knownFile) == FileChange::Gone)
        setStatus(QStringLiteral("Der Text von %1 wurde wiederhergestellt. Die Datei gibt es nicht "
                                 "mehr: beim Speichern wird nach einem Namen gefragt.")
                      .arg(copy.path));
    else
        setStatus(QStringLiteral("Der Text von %1 wurde wiederhergestellt; er ist noch nicht "
                                 "gespeichert.")
                      .arg(copy.path));
    return true;
}

void Form1::commitData(SessionEnd &session)
{
    if (!TextBox1->isModified())
        return;
    if (!session.allowsInteraction()) {
        // No question may be asked: nothing is lost, the next start offers it.
        if (m_recovery)
            m_recovery->keepCopy();
        m_textSettled = true;
        return;
    }
    const bool mayGo = m_saving->confirmDropChangedText();
    session.release();
    if (!mayGo) {
        session.cancel();
        return;
    }
    m_textSettled = true;
}

void Form1::Form_Load(FileTiming timing)
{
    SettingsStore &settings = *m_context.settings;

    TextBox1->loadUtf8({});
    QString cmd = commandArgument(m_context.arguments);
    m_schemes->setSchemeName(settings.read(key::scheme, defaults::scheme));

    if (!cmd.isEmpty()) {
        cmd = stripQuotes(cmd);
        setCurrentFile(cmd);
        if (FileExists(cmd)) {
            if (timing == FileTiming::WithStart)
                loadCommandLineFile(cmd);
            else
                m_commandLineFile = cmd;
        } else {
            if (FolderExists(cmd))
                setStatus(QStringLiteral("%1 ist ein Ordner, keine Datei.").arg(cmd));
            else
                setStatus(QStringLiteral("Die Datei %1 gibt es noch nicht.").arg(cmd));
            const QString dir = settings.read(key::dir1, defaults::dir1);
            if (FolderExists(dir)) {
                Dateiauswahl->Dir1->setPath(dir);
                Dateiauswahl->Drive1->setDrive(settings.read(key::drive1, defaults::drive1));
            }
        }
    } else {
        const QString dir = settings.read(key::dir1, defaults::dir1);
        if (FolderExists(dir)) {
            Dateiauswahl->Dir1->setPath(dir);
            const QString drive = settings.read(key::drive1, defaults::drive1);
            if (FolderExists(drive))
                Dateiauswahl->Drive1->setDrive(drive);
        }
    }

    Dateiauswahl->Filter->setText(settings.read(key::filter, defaults::filter));
    Dateiauswahl->File1->setPattern(Dateiauswahl->Filter->text());

    TextBox1->setBackColor(resolveOleColor(scheme::navy));
    TextBox1->setTextColor(resolveOleColor(scheme::cyanText));
    TextBox1->setSelStart(0);

    m_schemes->applyNamedScheme();
}

void Form1::readCommandLineFile()
{
    const QString path = std::exchange(m_commandLineFile, {});
    if (!path.isEmpty())
        loadCommandLineFile(path);
}

void Form1::loadCommandLineFile(const QString &path)
{
    QString reason;
    const LoadEnd end = readIntoEditor(path, reason);
    if (end != LoadEnd::Loaded) {
        // Never leave an unread file as the current file: a save would
        // replace what could not be shown.
        setCurrentFile({});
        setStatus(reason);
        if (end == LoadEnd::Failed)
            QTimer::singleShot(0, this, [this, reason] {
                m_context.messages->show(reason, MsgButtons::Ok, MsgIcon::Critical);
            });
    }
    storeOpenPanelFolder();
}

void Form1::Form_Unload()
{
    SettingsStore &settings = *m_context.settings;
    storeOpenPanelFolder();
    settings.write(key::filter, Dateiauswahl->Filter->text());
    settings.write(key::scheme, m_schemes->schemeName());
    UnloadAllForms();
}

void Form1::storeOpenPanelFolder()
{
    m_context.settings->write(key::dir1, Dateiauswahl->Dir1->path());
    m_context.settings->write(key::drive1, Dateiauswahl->Drive1->drive());
}

void Form1::setKnownFile(const KnownFile &known)
{
    m_knownFile = known;
    m_reportedChange = FileChange::Unchanged;
}

void Form1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow())
        return;
    // Back in the window: say once when another program changed or deleted
    // the current file meanwhile. Saving then asks before it writes over it.
    if (m_knownFile.path.isEmpty() || m_knownFile.path != currentFile())
        return;
    const FileChange change = changeOf(m_knownFile);
    if (change == m_reportedChange)
        return;
    m_reportedChange = change;
    if (change == FileChange::Changed)
        setStatus(QStringLiteral("Die Datei %1 wurde von einem anderen Programm geändert.")
                      .arg(m_knownFile.path));
    else if (change == FileChange::Gone)
        setStatus(QStringLiteral("Die Datei %1 gibt es nicht mehr.").arg(m_knownFile.path));
}

void Form1::closeEvent(QCloseEvent *event)
{
    // UnloadAllForms, called below, reaches this window again: it is closing
    // already and is not closed twice.
    if (m_unloading) {
        event->accept();
        return;
    }
    if (!m_closing.mayClose()) {
        event->ignore();
        return;
    }
    m_unloading = true;
    Form_Unload();
    event->accept();
}

double Form1::windowWidthTwips() const
{
    return pixelsToTwips(width()) + frameWidthTwips;
}

double Form1::windowHeightTwips() const
{
    return pixelsToTwips(height()) + frameHeightTwips;
}

void Form1::setWindowWidthTwips(double twips)
{
    resize(std::max(1, twipsToPixels(twips - frameWidthTwips)), height());
}

void Form1::setWindowHeightTwips(double twips)
{
    resize(width(), std::max(1, twipsToPixels(twips - frameHeightTwips)));
}

QString Form1::currentFile() const
{
    return m_currentFile;
}

void Form1::setCurrentFile(const QString &path)
{
    m_currentFile = path;
    Label1->setText(displayFileName(path));
}

void Form1::cmd_open_Click()
{
    Dateiauswahl2->hide();
    Dateiauswahl->showAt(panelTopTwips);
}

void Form1::Save_AS_Click()
{
    m_saving->Save_AS_Click();
    Dateiauswahl->hide();
}

void Form1::exitProgram()
{
    const QScopedValueRollback asked(m_exitAsked, true);
    UnloadAllForms();
}

void Form1::refreshText()
{
    m_schemes->RefreshText();
}

void Form1::cmd_Einstell_Click()
{
    setWindowWidthTwips(12285);
    if (windowHeightTwips() < 6000)
        setWindowHeightTwips(6000);
    m_schemes->togglePanel();
}

void Form1::FileLoad()
{
    // A changed text is offered for saving before another file replaces it.
    if (Dateiauswahl->hasChosenFile() && !m_saving->confirmDropChangedText())
        return;
    const QString previousFile = currentFile();
    setCurrentFile(Dateiauswahl->chosenPath());
    Dateiauswahl->hide();
    if (!Dateiauswahl->hasChosenFile()) {
        m_context.messages->show(QStringLiteral("Zuerst Datei auswählen !"));
        return;
    }
    readFileIntoEditor(currentFile(), previousFile);
}

void Form1::loadDroppedFile(const QString &path)
{
    if (!m_saving->confirmDropChangedText())
        return;
    const QString previousFile = currentFile();
    const QFileInfo info(path);
    // The open panel moves to the file's folder, as if it had been chosen there.
    Dateiauswahl->Dir1->setPath(info.absolutePath());
    setCurrentFile(info.absoluteFilePath());
    readFileIntoEditor(currentFile(), previousFile);
}

Form1::LoadEnd Form1::readIntoEditor(const QString &path, QString &reason)
{
    // The text goes into the editor piece by piece, never held whole beside
    // it; the editor shows it only once it is complete, so that a load that
    // fails or is stopped leaves the text, its undo steps and its file.
    TextBox &editor = *TextBox1;
    const std::unique_ptr<LoadProgress> progress =
        m_loadProgress ? m_loadProgress(*this, path) : nullptr;
    // The window runs on while the editor makes room for a big text.
    const auto meanwhile = progress ? std::function<bool()>([&progress] { return progress->wait(); })
                                    : std::function<bool()>();
    TextReceiver receiver{
        [&editor, &meanwhile](qsizetype bytes) { return editor.beginLoad(bytes, meanwhile); },
        [&editor](QByteArrayView utf8) { return editor.appendLoad(utf8); }};
    receiver.capacity = TextBox::longestLoad();
    if (progress)
        receiver.progress = [&progress](qint64 done, qint64 total) {
            return progress->step(done, total);
        };
    const FileReadResult read = ReadFileInPieces(path, receiver);
    if (!read.ok) {
        editor.abandonLoad();
        reason = read.cancelled
                     ? QStringLiteral("Das Laden von %1 wurde abgebrochen.").arg(path)
                     : QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2")
                           .arg(path, read.error);
        return read.cancelled ? LoadEnd::Cancelled : LoadEnd::Failed;
    }
    editor.finishLoad();
    m_format = read.text.format;
    rememberFile(path);
    return LoadEnd::Loaded;
}

void Form1::readFileIntoEditor(const QString &path, const QString &previousFile)
{
    QString reason;
    const LoadEnd end = readIntoEditor(path, reason);
    // A failed or stopped read keeps the text and the current file: saving
    // now must not replace the file that was not read.
    if (end != LoadEnd::Loaded)
        setCurrentFile(previousFile);
    storeOpenPanelFolder();
    if (end == LoadEnd::Cancelled) {
        setStatus(reason); // the text, caret and looks stay as they were
        return;
    }
    refreshText();
    if (end == LoadEnd::Failed) {
        setStatus(reason);
        m_context.messages->show(errorMessage);
    }
}

std::unique_ptr<WorkProgress> Form1::startWork(const QString &what)
{
    return std::make_unique<WorkProgressBox>(*this, workLabel(what));
}

void Form1::setStatus(const QString &text)
{
    lblstatus->setText(displayFileName(text));
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event)
{
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            // The program the file came from waits until the drop is over:
            // the file is read (and the question about a changed text asked)
            // once it is, not inside the drop.
            QMetaObject::invokeMethod(
                this, [this, path = localFilePath(url)] { loadDroppedFile(path); },
                Qt::QueuedConnection);
            return;
        }
    }
}

} // namespace kelo
