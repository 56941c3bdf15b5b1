#include "files/saving.h"

#include "files/fileidentity.h"
#include "files/fileprocs.h"
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "files/textwriter.h"
#include "platform/controls.h"
#include "platform/listcontrols.h"
#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "platform/userfiles.h"
#include "shell/form1.h"
#include "shell/unloadallforms.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QShortcut>

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

Saving::Saving(Form1 &form)
    : QObject(&form)
    , m_form(form)
{
    setObjectName(QStringLiteral("Saving"));
    // The panel starts in the program's folder (the home folder for an
    // installed Kelo), where a save-as without a current file has always
    // gone: the folder shown is the folder used.
    // (Before the connection below: at start-up no file is named.)
    panel()->Dir2->setPath(folderForUserFiles(form.context().programFolder));
    connect(panel(), &SaveAsPanel::folderChosen, &form, &Form1::setCurrentFile);
    m_nameBox = panel()->saveas;
    m_nameBox->installEventFilter(this);

    connect(form.img_save, &QToolButton::clicked, this, &Saving::img_save_Click);
    connect(form.Save_AS, &QToolButton::clicked, this, &Saving::Save_AS_Click);
    connect(form.EXIT, &QToolButton::clicked, this, &Saving::EXIT_Click);
    auto *save = new QShortcut(QKeySequence::Save, &form);
    connect(save, &QShortcut::activated, this, &Saving::img_save_Click);
}

bool Saving::Speichern()
{
    if (m_form.currentFile().isEmpty())
        m_form.setCurrentFile(joinPath(folderForUserFiles(m_form.context().programFolder),
                                       QStringLiteral("Kelo.txt")));
    const QString target = m_form.currentFile();
    if (!FileExists(target)) {
        messages().show(askForName);
        showPanelForAName();
        return false;
    }
    if (!mayOverwrite(target)) {
        m_form.setStatus(QStringLiteral("Nicht gespeichert: die Datei %1 bleibt, wie das andere "
                                        "Programm sie geschrieben hat.")
                             .arg(target));
        return false;
    }
    if (!writeText(target)) {
        messages().show(hoppla);
        showPanelForAName();
        return false;
    }
    messages().show(QStringLiteral("Datei ") + target + QStringLiteral(" wurde gespeichert"));
    return true;
}

void Saving::img_save_Click()
{
    Speichern();
}

void Saving::Save_AS_Click()
{
    panel()->showAt(panelTopTwips);
    m_form.Dateiauswahl->hide();
    panel()->saveas->setFocus();
}

void Saving::saveas_KeyPress(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    const QString name = panel()->saveas->text();
    if (name.trimmed().isEmpty()) {
        m_form.setStatus(askForName);
        return;
    }
    if (const QString problem = nameProblem(name); !problem.isEmpty()) {
        m_form.setStatus(problem);
        messages().show(hoppla);
        return;
    }
    const QString target = joinPath(panel()->Dir2->path(), name);
    const bool written = writeText(target);
    // Also after a failure: the panel stays open for another try, and a
    // later save names the file the user meant.
    m_form.setCurrentFile(target);
    if (!written) {
        messages().show(hoppla);
        return;
    }
    messages().show(QStringLiteral("Datei wurde gespeichert unter ") + target);
    panel()->hide();
}

void Saving::EXIT_Click()
{
    if (m_form.TextBox1->textLength() > 0) {
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
    const QScopedValueRollback exiting(m_exiting, true);
    UnloadAllForms();
}

bool Saving::confirmDropChangedText()
{
    if (!m_form.TextBox1->isModified())
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

bool Saving::mayClose()
{
    return m_exiting || confirmDropChangedText();
}

bool Saving::eventFilter(QObject *watched, QEvent *event)
{
    // Only the event's own data here: while the window is destroyed, its
    // children still send events and the window is no longer a Form1.
    if (event->type() == QEvent::KeyPress && watched == m_nameBox)
        saveas_KeyPress(static_cast<QKeyEvent *>(event)->key());
    return QObject::eventFilter(watched, event);
}

bool Saving::writeText(const QString &path)
{
    // Written straight from the editor's own buffer, which nothing changes
    // while the write runs: a large text is not copied first.
    const TextWriteResult result =
        writeTextFile(path, m_form.TextBox1->utf8View(), m_form.textFormat());
    if (!result.ok) {
        m_form.setStatus(result.error);
        return false;
    }
    m_form.setTextFormat(result.writtenFormat);
    m_form.rememberFile(path);
    m_form.TextBox1->setModified(false);
    m_form.setStatus(result.fellBackToUtf8 ? fellBackToUtf8 : QString());
    return true;
}

void Saving::showPanelForAName()
{
    panel()->showInPlace(panelTopTwips);
    panel()->saveas->setFocus();
}

bool Saving::mayOverwrite(const QString &path)
{
    const KnownFile &known = m_form.knownFile();
    if (known.path != path || changeOf(known) == FileChange::Unchanged)
        return true;
    const QString question =
        QStringLiteral("Die Datei %1 wurde seit dem Laden oder letzten Speichern von einem "
                       "anderen Programm geändert oder ersetzt.\n\nSoll sie mit dem Text im "
                       "Editor überschrieben werden ? Was das andere Programm geschrieben hat, "
                       "geht dann verloren.")
            .arg(path);
    return messages().show(question, MsgButtons::YesNo, MsgIcon::None, {}, MsgAnswer::No) ==
           MsgAnswer::Yes;
}

MsgAnswer Saving::askToSave(MsgButtons buttons)
{
    const QString question =
        QStringLiteral("Datei ") + m_form.currentFile() + QStringLiteral(" speichern ?");
    return messages().show(question, buttons);
}

MessageBoxes &Saving::messages() const
{
    return *m_form.context().messages;
}

SaveAsPanel *Saving::panel() const
{
    return m_form.Dateiauswahl2;
}

} // namespace kelo
