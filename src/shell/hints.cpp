#include "shell/hints.h"

#include "platform/controls.h"
#include "shell/form1.h"

#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <utility>

namespace kelo {

namespace {

const QList<std::pair<QString, QString>> &hintTable()
{
    static const QList<std::pair<QString, QString>> table = {
        {QStringLiteral("cmd_open"),
         QStringLiteral("öffnet den Dateiauswahl Dialog / Die Box kann mit der rechten Maustaste "
                        "bewegt werden")},
        {QStringLiteral("img_save"), QStringLiteral("speichern")},
        {QStringLiteral("Save_AS"),
         QStringLiteral("speichern als / Die Box kann mit der rechten Maustaste bewegt werden")},
        {QStringLiteral("cmd_fresh"), QStringLiteral("refresh")},
        {QStringLiteral("copy"),
         QStringLiteral("copy /markierten Text in die Zwischenablage kopieren")},
        {QStringLiteral("img_clear"),
         QStringLiteral("Vorsicht ! Löscht den Inhalt des Editorfensters !")},
        {QStringLiteral("search"), QStringLiteral("nach Texten suchen")},
        {QStringLiteral("cmd_replace"),
         QStringLiteral("Ersetzen von Texten oder Löschen von Zeilen")},
        {QStringLiteral("cmdDelEmpty"),
         QStringLiteral("Löschen von Leerzeilen und doppelten Leerzeichen")},
        {QStringLiteral("Print"), QStringLiteral("Ausdruck auf den Standarddrucker")},
        {QStringLiteral("cmd_Einstell"),
         QStringLiteral("Programm- Optionen /Farben /Highlightlisten")},
        {QStringLiteral("EXIT"), QStringLiteral("Programm verlassen")},
        {QStringLiteral("Info1"), QStringLiteral("Informationen über das Programm und den Autor")},
    };
    return table;
}

} // namespace

QString hintFor(const QString &controlName)
{
    for (const auto &[name, hint] : hintTable()) {
        if (name == controlName)
            return hint;
    }
    return {};
}

std::optional<SpotChange> spotChangeFor(const QString &controlName)
{
    using enum SpotPicture;
    if (controlName == QLatin1String("Form1"))
        return SpotChange{Info1, {Info2, Image1, Image2}};
    if (controlName == QLatin1String("EXIT"))
        return SpotChange{Image1, {Image2, Info1, Info2}};
    if (controlName == QLatin1String("cmd_Einstell"))
        return SpotChange{Image2, {Info1, Info2, Image1}};
    if (controlName == QLatin1String("Info1"))
        return SpotChange{Info2, {Info1}};
    return std::nullopt;
}

HoverHints::HoverHints(Form1 &form)
    : QObject(&form)
    , m_form(form)
{
    // Qt reports movements without a pressed button only to widgets that
    // track the mouse.
    m_form.setMouseTracking(true);
    m_form.installEventFilter(this);
    for (const auto &entry : hintTable()) {
        if (auto *control = m_form.findChild<QWidget *>(entry.first, Qt::FindDirectChildrenOnly)) {
            control->setMouseTracking(true);
            control->installEventFilter(this);
        }
    }
}

void HoverHints::Form_MouseMove()
{
    applySpot(m_form.objectName());
}

void HoverHints::controlMouseMove(QWidget *control)
{
    const QString hint = hintFor(control->objectName());
    if (!hint.isNull())
        m_form.setStatus(hint);
    applySpot(control->objectName());
}

void HoverHints::applySpot(const QString &controlName)
{
    const std::optional<SpotChange> change = spotChangeFor(controlName);
    if (!change)
        return;
    // Show first, then hide: the spot is never empty for a moment.
    spotPicture(change->shown)->show();
    for (const SpotPicture picture : change->hidden)
        spotPicture(picture)->hide();
}

QWidget *HoverHints::spotPicture(SpotPicture picture) const
{
    switch (picture) {
    case SpotPicture::Info1:
        return m_form.Info1;
    case SpotPicture::Info2:
        return m_form.Info2;
    case SpotPicture::Image1:
        return m_form.Image1;
    case SpotPicture::Image2:
        return m_form.Image2;
    }
    return m_form.Info1;
}

bool HoverHints::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::Enter && type != QEvent::HoverMove)
        return QObject::eventFilter(watched, event);
    if (watched == &m_form) {
        // Movements over controls without a handler of their own (labels,
        // pictures) reach the window too; only the bare background counts.
        if (type == QEvent::MouseMove) {
            const auto *move = static_cast<QMouseEvent *>(event);
            if (m_form.childAt(move->position().toPoint()) == nullptr)
                Form_MouseMove();
        }
    } else if (auto *control = qobject_cast<QWidget *>(watched); control && control->isVisible()) {
        controlMouseMove(control);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kelo
