#include "files/saving.h"

#include "files/fileprocs.h"
#include "files/saveaspanel.h"
#include "files/textwriter.h"
#include "platform/controls.h"
#include "platform/fileidentity.h"
#include "platform/filenames.h"
#include "platform/listcontrols.h"
#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "platform/userfiles.h"
#include "platform/windowport.h"
#include "platform/workprogress.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopeGuard>

namespace kelo {

namespace {

constexpr double panelTopTwips = 650;

const QString askForName = QStringLiteral("Bitte zuerst einen Namen vergeben !");
const QString hoppla = QStringLiteral("Hoppla, es ist ein Fehler aufgetreten !");
const QString fellBackToUtf8 =
    QStringLiteral("Gespeichert als UTF-8: der Text enthält Zeichen, die Windows-1252 nicht "
                   "darstellen kann.");

// What is wrong with a typed name, or nothing. The name box names a file in
// the folder the panel shows, never a path elsewhere.
QString nameProblem(const QString &name)
{
    if (name.contains(QLatin1Char('/')))
        return QStringLiteral("Der Name %1 enthält „/“: bitte nur einen Dateinamen eingeben und "
                              "den Ordner in der Liste wählen.")
            .arg(name);
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("„%1“ ist kein Dateiname.").arg(name);
    return {};
}

} // namespace

Saving::Saving(WindowPort &port, SaveAsPanel &panel, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_panel(panel)
{
    setObjectName(QStringLiteral("Saving"));
    // The panel starts in the program's folder (the home folder for an
    // installed Kelo), where a save-as without a current file has always
    // gone: the folder shown is the folder used.
    // (Before the connection below: at start-up no file is named.)
    m_panel.Dir2->setPath(folderForUserFiles(port.programFolder()));
    connect(&m_panel, &SaveAsPanel::folderChosen, this,
            [this](const QString &path) { m_port.setCurrentFile(path); });
    m_nameBox = m_panel.saveas;
    m_nameBox->installEventFilter(this);
}

bool Saving::Speichern()
{
    if (m_port.currentFile().isEmpty())
        m_port.setCurrentFile(
            joinPath(folderForUserFiles(m_port.programFolder()), QStringLiteral("Kelo.txt")));
    const QString target = m_port.currentFile();
    if (!FileExists(target)) {
        m_port.messages().show(askForName);
        showPanelForAName();
        return false;
    }
    if (!mayOverwrite(target)) {
        m_port.setStatus(QStringLiteral("Nicht gespeichert: die Datei %1 bleibt, wie das andere "
                                        "Programm sie geschrieben hat.")
                             .arg(target));
        return false;
    }
    switch (writeText(target)) {
    case Written::Yes:
        break;
    case Written::Failed:
        m_port.messages().show(hoppla);
        showPanelForAName();
        return false;
    case Written::Stopped:
        return false;
    }
    m_port.messages().show(QStringLiteral("Datei ") + target +
                           QStringLiteral(" wurde gespeichert"));
    return true;
}

void Saving::img_save_Click()
{
    Speichern();
}

void Saving::Save_AS_Click()
{
    m_panel.showAt(panelTopTwips);
    m_panel.saveas->setFocus();
}

void Saving::saveas_KeyPress(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    const QString name = m_panel.saveas->text();
    if (name.trimmed().isEmpty()) {
        m_port.setStatus(askForName);
        return;
    }
    if (const QString problem = nameProblem(name); !problem.isEmpty()) {
        m_port.setStatus(problem);
        m_port.messages().show(hoppla);
        return;
    }
    const QString target = joinPath(m_panel.Dir2->path(), name);
    const Written written = writeText(target);
    // Also after a failure: the panel stays open for another try, and a
    // later save names the file the user meant.
    m_port.setCurrentFile(target);
    if (written != Written::Yes) {
        if (written == Written::Failed)
            m_port.messages().show(hoppla);
        return;
    }
    m_port.messages().show(QStringLiteral("Datei wurde gespeichert unter ") + target);
    m_panel.hide();
}

void Saving::EXIT_Click()
{
    if (m_port.editor().textLength() > 0) {
        switch (askToSave(MsgButtons::YesNo)) {
        case MsgAnswer::Yes:
            if (!Speichern())
                return;
            break;
        case MsgAnswer::No:
            break;
        default: // Escape or the box's close button: back to the text
            return;
        }
    }
    m_port.exitProgram();
}

bool Saving::confirmDropChangedText()
{
    if (!m_port.editor().isModified())
        return true;
    switch (askToSave(MsgButtons::YesNoCancel)) {
    case MsgAnswer::Yes:
        return Speichern();
    case MsgAnswer::No:
        return true;
    default:
        return false;
    }
}

bool Saving::eventFilter(QObject *watched, QEvent *event)
{
    // Only the event's own data here: while the window is destroyed, its
    // children still send events and the panel may be gone already.
    if (event->type() == QEvent::KeyPress && watched == m_nameBox)
        saveas_KeyPress(static_cast<QKeyEvent *>(event)->key());
    return QObject::eventFilter(watched, event);
}

Saving::Written Saving::writeText(const QString &path)
{
    if (m_writing) {
        m_port.setStatus(QStringLiteral("Es wird gerade gespeichert; bitte warten, bis das "
                                        "Speichern fertig ist."));
        return Written::Stopped;
    }
    m_writing = true;
    const auto done = qScopeGuard([this] { m_writing = false; });
    // Written straight from the editor's own buffer, which nothing changes
    // while the write runs (the box holds the window's input back): a large
    // text is not copied first.
    const QByteArrayView text = m_port.editor().utf8View();
    const std::unique_ptr<WorkProgress> progress =
        m_port.startWork(QStringLiteral("Speichere ") +
                         displayFileName(QFileInfo(path).fileName()));
    WorkMeter meter(progress.get(), text.size());
    const TextWriteResult result =
        writeTextFile(path, text, m_port.textFormat(), meter.partReport());
    if (!result.ok) {
        m_port.setStatus(result.error);
        return result.cancelled ? Written::Stopped : Written::Failed;
    }
    m_port.setTextFormat(result.writtenFormat);
    m_port.rememberFile(path);
    m_port.editor().setModified(false);
    m_port.setStatus(result.fellBackToUtf8 ? fellBackToUtf8 : QString());
    return Written::Yes;
}

void Saving::showPanelForAName()
{
    m_panel.showInPlace(panelTopTwips);
    m_panel.saveas->setFocus();
}

bool Saving::mayOverwrite(const QString &path)
{
    const KnownFile known = m_port.knownFile();
    if (known.path != path || changeOf(known) == FileChange::Unchanged)
        return true;
    const QString question =
        QStringLiteral("Die Datei %1 wurde seit dem Laden oder letzten Speichern von einem "
                       "anderen Programm geändert oder ersetzt.\n\nSoll sie mit dem Text im "
                       "Editor überschrieben werden ? Was das andere Programm geschrieben hat, "
                       "geht dann verloren.")
            .arg(path);
    return m_port.messages().show(question, MsgButtons::YesNo, MsgIcon::None, {}, MsgAnswer::No) ==
           MsgAnswer::Yes;
}

MsgAnswer Saving::askToSave(MsgButtons buttons)
{
    const QString question =
        QStringLiteral("Datei ") + m_port.currentFile() + QStringLiteral(" speichern ?");
    return m_port.messages().show(question, buttons);
}

} // namespace kelo
