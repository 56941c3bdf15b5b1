// The Search dialog. The searches run on the editor's UTF-8 text in place
// and convert only the positions they need to UTF-16 offsets: converting a
// 20 MB text to UTF-16 would take longer than the search itself.
#include "tools/frm_such.h"

#include "platform/controls.h"
#include "platform/textbox.h"
#include "platform/units.h"
#include "platform/workprogress.h"
#include "tools/findnocase.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include <algorithm>

namespace kelo {

frm_such::frm_such(TextBox *editor, std::function<void(const QString &)> setStatus, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
    , m_editor(editor)
    , m_setStatus(std::move(setStatus))
{
    setObjectName(QStringLiteral("frm_such"));
    setWindowTitle(QStringLiteral("search"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(classicFont(QStringLiteral("MS Sans Serif"), 8.25));
    setFixedSize(twipsToPixels(3315), twipsToPixels(1845));

    txtSuch = named(new QLineEdit(this), "txtSuch");
    placeTwips(txtSuch, 240, 120, 2775, 285);
    cmdSuchen = named(new QPushButton(QStringLiteral("suchen"), this), "cmdSuchen");
    placeTwips(cmdSuchen, 240, 480, 1095, 375);
    cmdWeitersuchen =
        named(new QPushButton(QStringLiteral("weitersuchen"), this), "cmdWeitersuchen");
    placeTwips(cmdWeitersuchen, 1920, 480, 1095, 375);
    Option1[0] = named(new QRadioButton(QStringLiteral("Gesamt"), this), "Option1_0");
    placeTwips(Option1[0], 240, 1080, 1335, 255);
    Option1[1] = named(new QRadioButton(QStringLiteral("Markierung"), this), "Option1_1");
    placeTwips(Option1[1], 240, 1440, 1335, 255);
    Option1[0]->setChecked(true);

    setTabOrder(cmdSuchen, cmdWeitersuchen);
    setTabOrder(cmdWeitersuchen, Option1[0]);
    setTabOrder(Option1[0], Option1[1]);
    setTabOrder(Option1[1], txtSuch);
    cmdSuchen->setFocus();

    txtSuch->setAccessibleName(QStringLiteral("Suchbegriff"));
    cmdSuchen->setAccessibleDescription(
        QStringLiteral("findet den Begriff im ganzen Text oder in der Markierung"));
    cmdWeitersuchen->setAccessibleDescription(QStringLiteral("findet das nächste Vorkommen (F3)"));
    Option1[0]->setAccessibleDescription(QStringLiteral("im ganzen Text suchen"));
    Option1[1]->setAccessibleDescription(QStringLiteral("nur in der Markierung suchen"));
    // The dialog has no button of its own to close it: Escape does what its
    // title bar's X does.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    connect(txtSuch, &QLineEdit::textChanged, this, &frm_such::txtSuch_Change);
    for (QRadioButton *option : Option1)
        connect(option, &QRadioButton::toggled, this, &frm_such::Option1_Click);
    connect(cmdSuchen, &QPushButton::clicked, this, &frm_such::cmdSuchen_Click);
    connect(cmdWeitersuchen, &QPushButton::clicked, this, &frm_such::cmdWeitersuchen_Click);

    auto *findNext = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(findNext, &QShortcut::activated, this, [this] {
        if (cmdWeitersuchen->isEnabled())
            cmdWeitersuchen_Click();
    });
}

void frm_such::txtSuch_Change()
{
    const bool hasTerm = !txtSuch->text().isEmpty();
    cmdSuchen->setEnabled(hasTerm);
    cmdWeitersuchen->setEnabled(hasTerm && Option1[0]->isChecked());
}

void frm_such::Option1_Click()
{
    cmdWeitersuchen->setEnabled(!txtSuch->text().isEmpty() && Option1[0]->isChecked());
}

void frm_such::cmdSuchen_Click()
{
    std::optional<Utf8Match> found;
    if (Option1[0]->isChecked()) {
        found = search(0, m_editor->utf8View().size());
    } else {
        const int start = m_editor->SelStart();
        found = search(m_editor->utf16ToPosition(start),
                       m_editor->utf16ToPosition(start + m_editor->SelLength()));
    }
    if (found)
        showResult(*found);
}

void frm_such::cmdWeitersuchen_Click()
{
    // One code unit after the selection start: where that falls inside a
    // character, the search skips on to the next one, as no match can begin
    // in the middle of a character.
    const qsizetype from = m_editor->utf16ToPosition(m_editor->SelStart()) + 1;
    if (const std::optional<Utf8Match> found = search(from, m_editor->utf8View().size()))
        showResult(*found);
}

std::optional<Utf8Match> frm_such::search(qsizetype from, qsizetype to)
{
    // The editor's own bytes: while the box shows, it holds the window's
    // input back, so nothing changes the text.
    const QByteArrayView text = m_editor->utf8View();
    const std::unique_ptr<WorkProgress> progress = m_startWork ? m_startWork() : nullptr;
    WorkMeter meter(progress.get(), std::max<qint64>(to - from, 0));
    std::optional<Utf8Match> found =
        findNoCaseUtf8InSteps(text, txtSuch->text(), from, to, meter.partReport());
    if (!found)
        m_setStatus(QStringLiteral("Suche abgebrochen."));
    return found;
}

void frm_such::showResult(const Utf8Match &found)
{
    if (!found.found()) {
        m_setStatus(QStringLiteral("Suchbegriff nicht gefunden!"));
        return;
    }
    const int start = m_editor->positionToUtf16(long(found.position));
    m_editor->setSelStart(start);
    m_editor->setSelLength(m_editor->positionToUtf16(long(found.position + found.bytes)) - start);
    m_editor->window()->activateWindow();
    m_editor->setFocus();
}

} // namespace kelo
