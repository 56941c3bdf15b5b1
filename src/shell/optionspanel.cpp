#include "shell/optionspanel.h"

#include "platform/controls.h"
#include "platform/units.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

namespace kelo {

namespace {

// A thin line of the frame around the colour group.
void addLine(QWidget *parent, double x1, double y1, double x2, double y2)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(y1 == y2 ? QFrame::HLine : QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::WindowText);
    if (y1 == y2)
        line->setGeometry(twipsToPixels(x1), twipsToPixels(y1), twipsToPixels(x2 - x1) + 1, 1);
    else
        line->setGeometry(twipsToPixels(x1), twipsToPixels(y1), 1, twipsToPixels(y2 - y1) + 1);
}

ClickableLabel *colourSample(QWidget *parent, const char *name, const QString &caption,
                             OleColor back, OleColor fore, double left)
{
    auto *sample = named(new ClickableLabel(caption, parent), name);
    sample->setAlignment(Qt::AlignCenter);
    sample->setCursor(Qt::PointingHandCursor);
    sample->setFocusPolicy(Qt::TabFocus);
    setBackColor(sample, back);
    setForeColor(sample, fore);
    placeTwips(sample, left, 600, 735, 255);
    sample->setAccessibleName(QStringLiteral("Farbschema ") + caption);
    sample->setAccessibleDescription(QStringLiteral("ein Klick gibt dem Editor diese Farben"));
    return sample;
}

} // namespace

OptionsPanel::OptionsPanel(QWidget *parent)
    : QGroupBox(QStringLiteral("Optionen und Einstellungen"), parent)
{
    setObjectName(QStringLiteral("Frame1"));
    setBackColor(this, 0xC0E0FF);
    // The heading "Einstellungen" stands where a frame shows its caption, so
    // the frame's own caption moves to the right.
    setAlignment(Qt::AlignRight);

    Label20 = named(new QLabel(QStringLiteral("Einstellungen"), this), "Label20");
    placeTwips(Label20, 105, 0, 2010, 225);

    Label11 = named(new QLabel(QStringLiteral("Hintergrundfarbe :"), this), "Label11");
    placeTwips(Label11, 240, 360, 2415, 255);

    lbl_schwarzweissblau = named(new QLabel(QStringLiteral("X"), this), "lbl_schwarzweissblau");
    lbl_schwarzweissblau->setAttribute(Qt::WA_TranslucentBackground);
    placeTwips(lbl_schwarzweissblau, 1575, 315, 750, 195);

    blau = colourSample(this, "blau", QStringLiteral("blau"), 0x800000, 0xFFFF80, 240);
    schwarz = colourSample(this, "schwarz", QStringLiteral("schwarz"), 0x000000, 0xFFFF80, 1080);
    weiss = colourSample(this, "weiss", QStringLiteral("weiß"), systemColorFlag | 5,
                         systemColorFlag | 8, 1920);

    addLine(this, 120, 240, 2760, 240);
    addLine(this, 120, 1080, 2760, 1080);
    addLine(this, 120, 240, 120, 1080);
    addLine(this, 2760, 240, 2760, 1080);

    cmd_register =
        named(new QPushButton(QStringLiteral("Kelo im Explorer -Kontextmenue Registrieren"), this),
              "cmd_register");
    placeTwips(cmd_register, 105, 1215, 3585, 330);
    cmd_delReg =
        named(new QPushButton(QStringLiteral("Kelo im Explorer -Kontextmenue entfernen"), this),
              "cmd_delReg");
    placeTwips(cmd_delReg, 105, 1620, 3585, 330);

    txt_reggie = named(new QLineEdit(QStringLiteral("txt"), this), "txt_reggie");
    placeTwips(txt_reggie, 3600, 225, 675, 285);
    txtRegister =
        named(new WrapButton(
                  QStringLiteral("Dateien mit dieser Endung mit Kelo the Scriv verknüpfen"), this),
              "txtRegister");
    placeTwips(txtRegister, 4410, 180, 3060, 675);

    LblExit = named(new ClickableLabel(QStringLiteral("QUIT"), this), "LblExit");
    LblExit->setAlignment(Qt::AlignCenter);
    LblExit->setCursor(Qt::PointingHandCursor);
    setBackColor(LblExit, 0x00FFFF);
    placeTwips(LblExit, 6825, 1980, 645, 225);

    lbl_schwarzweissblau->setAccessibleName(QStringLiteral("aktuelles Farbschema"));
    txt_reggie->setAccessibleName(QStringLiteral("Dateiendung"));
    txt_reggie->setAccessibleDescription(
        QStringLiteral("Endung der Dateien, die mit Kelo the Scriv geöffnet werden sollen"));
    LblExit->setAccessibleDescription(QStringLiteral("schließt die Optionen (auch mit Escape)"));
    // Escape leaves the panel the way "QUIT" does, which also sets the
    // caption of cmd_Einstell back.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, LblExit, &ClickableLabel::clicked);

    placeTwips(this, 3570, 900, 7695, 2400);
    hide();
}

} // namespace kelo
