// Measures, colours and fonts of the classic form designer, in Qt terms.
//
// Twips: positions and sizes are designed in twips (1/1440 inch); at 96 dpi,
// 15 twips make one device-independent pixel.
// Colours: a fixed colour is &HBBGGRR (blue in the high byte); &H80000000 + n
// names the system colour n, resolved from the palette when drawn.
// Fonts: "MS Sans Serif" and "MS Serif" are replaced by installed fonts.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QString>

class QWidget;

namespace kelo {

inline constexpr double twipsPerPixel = 15.0;

int twipsToPixels(double twips);
double pixelsToTwips(int pixels);
QRect twipsRect(double left, double top, double width, double height);
// Places a widget (relative to its parent) at a designed position.
void placeTwips(QWidget *widget, double left, double top, double width, double height);

// Colour values of the classic form, for example 0x800000 (navy) or
// 0x80000005 (the window background).
using OleColor = quint32;
inline constexpr OleColor systemColorFlag = 0x80000000u;
QColor resolveOleColor(OleColor value, const QPalette &palette);
QColor resolveOleColor(OleColor value); // with the application's palette

// Maps the classic font names to installed fonts; call once at start-up.
void installFontSubstitutions();
// A font of the classic designer, e.g. classicFont("MS Serif", 6.75).
QFont classicFont(const QString &family, double pointSize, bool bold = false);

} // namespace kelo
