#include "platform/units.h"

#include <QApplication>
#include <QFontDatabase>
#include <QWidget>

#include <cmath>

namespace kelo {

int twipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

double pixelsToTwips(int pixels)
{
    return pixels * twipsPerPixel;
}

QRect twipsRect(double left, double top, double width, double height)
{
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

void placeTwips(QWidget *widget, double left, double top, double width, double height)
{
    widget->setGeometry(twipsRect(left, top, width, height));
}

QColor resolveOleColor(OleColor value, const QPalette &palette)
{
    if (value & systemColorFlag) {
        switch (value & 0xFFu) {
        case 5: // window background
            return palette.color(QPalette::Base);
        case 8: // window text
            return palette.color(QPalette::Text);
        case 15: // button face
            return palette.color(QPalette::Button);
        case 18: // button text
            return palette.color(QPalette::ButtonText);
        default:
            return palette.color(QPalette::WindowText);
        }
    }
    return QColor(int(value & 0xFFu), int((value >> 8) & 0xFFu), int((value >> 16) & 0xFFu));
}

QColor resolveOleColor(OleColor value)
{
    return resolveOleColor(value, QApplication::palette());
}

void installFontSubstitutions()
{
    // The first of these that is installed stands in for the classic face.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                                QStringLiteral("Noto Sans"), QStringLiteral("Sans Serif")});
    QFont::insertSubstitutions(QStringLiteral("MS Serif"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif"),
                                QStringLiteral("Noto Serif"), QStringLiteral("Serif")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif"),
                                QStringLiteral("Serif")});
}

QFont classicFont(const QString &family, double pointSize, bool bold)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace kelo
