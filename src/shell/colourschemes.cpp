#include "shell/colourschemes.h"

#include "platform/controls.h"
#include "platform/textbox.h"
#include "shell/optionspanel.h"

#include <QAbstractButton>
#include <QLabel>

namespace kelo {

namespace {
const QString einstellenCaption = QStringLiteral("Einstellen");
const QString quitCaption = QStringLiteral("QUIT");
} // namespace

ColourSchemes::ColourSchemes(TextBox *editor, OptionsPanel *panel, QLabel *cursorPos,
                             QAbstractButton *einstell, QObject *parent)
    : QObject(parent)
    , m_editor(editor)
    , m_panel(panel)
    , m_cursorPos(cursorPos)
    , m_einstell(einstell)
{
    connect(panel->blau, &ClickableLabel::clicked, this, &ColourSchemes::blau_Click);
    connect(panel->schwarz, &ClickableLabel::clicked, this, &ColourSchemes::schwarz_Click);
    connect(panel->weiss, &ClickableLabel::clicked, this, &ColourSchemes::weiss_Click);
    connect(panel->LblExit, &ClickableLabel::clicked, this, &ColourSchemes::togglePanel);
}

void ColourSchemes::RefreshText()
{
    m_editor->setEditorFont(classicFont(QStringLiteral("MS Sans Serif"), 8, true));
    m_editor->setBackColor(resolveOleColor(backColor(m_cursorPos)));
    const OleColor text = schemeName() == scheme::weiss ? scheme::buttonText : scheme::cyanText;
    m_editor->setTextColor(resolveOleColor(text));
    m_editor->setSelStart(0);
}

void ColourSchemes::takeBackground(OleColor color)
{
    m_editor->setBackColor(resolveOleColor(color));
    setBackColor(m_cursorPos, color);
}

void ColourSchemes::blaumach()
{
    takeBackground(backColor(m_panel->blau));
    closePanel();
    RefreshText();
}

void ColourSchemes::schwarzmach()
{
    takeBackground(backColor(m_panel->schwarz));
    closePanel();
    RefreshText();
}

void ColourSchemes::weissmach()
{
    // Keeps the caret and the font: only the colours change.
    const int caret = m_editor->SelStart();
    m_editor->setTextColor(resolveOleColor(foreColor(m_panel->weiss)));
    m_editor->setSelStart(caret);
    takeBackground(backColor(m_panel->weiss));
    closePanel();
}

void ColourSchemes::blau_Click()
{
    setSchemeName(scheme::blau);
    blaumach();
}

void ColourSchemes::schwarz_Click()
{
    setSchemeName(scheme::schwarz);
    schwarzmach();
}

void ColourSchemes::weiss_Click()
{
    weissmach();
    setSchemeName(scheme::weiss);
    RefreshText();
}

void ColourSchemes::togglePanel()
{
    if (m_einstell->text() == einstellenCaption) {
        m_einstell->setText(quitCaption);
        m_panel->show();
        m_panel->raise();
    } else {
        closePanel();
    }
}

void ColourSchemes::closePanel()
{
    m_panel->hide();
    m_einstell->setText(einstellenCaption);
}

QString ColourSchemes::schemeName() const
{
    return m_panel->lbl_schwarzweissblau->text();
}

void ColourSchemes::setSchemeName(const QString &name)
{
    m_panel->lbl_schwarzweissblau->setText(name);
}

void ColourSchemes::applyNamedScheme()
{
    // Three separate exact comparisons, as the name may be anything the
    // settings file holds.
    if (schemeName() == scheme::schwarz)
        schwarzmach();
    if (schemeName() == scheme::weiss)
        weissmach();
    if (schemeName() == scheme::blau)
        blaumach();
}

} // namespace kelo
