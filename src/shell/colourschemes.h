// The three colour schemes of the editor ("blau", "schwarz", "weiss") and the
// display refresh.
//
// The scheme state lives in two controls: the caption of lbl_schwarzweissblau
// is the scheme's name, and the BackColor of the hidden lbl_cursorPos is the
// scheme's background colour, which RefreshText copies to the editor.
#pragma once

#include "platform/units.h"

#include <QObject>
#include <QString>

class QAbstractButton;
class QLabel;

namespace kelo {

class OptionsPanel;
class TextBox;

namespace scheme {
inline const QString blau = QStringLiteral("blau");
inline const QString schwarz = QStringLiteral("schwarz");
inline const QString weiss = QStringLiteral("weiss");

inline constexpr OleColor cyanText = 0xFFFF00;
inline constexpr OleColor buttonText = systemColorFlag | 18;
inline constexpr OleColor navy = 0x800000;
} // namespace scheme

class ColourSchemes : public QObject {
    Q_OBJECT

public:
    ColourSchemes(TextBox *editor, OptionsPanel *panel, QLabel *cursorPos,
                  QAbstractButton *einstell, QObject *parent = nullptr);

    // Font and colours of the current scheme again, caret to the start.
    void RefreshText();
    void blaumach();
    void schwarzmach();
    void weissmach();

    // Clicks on the colour samples.
    void blau_Click();
    void schwarz_Click();
    void weiss_Click();

    // Opens the options panel when it is closed and closes it when it is
    // open; the caption of cmd_Einstell shows which ("Einstellen"/"QUIT").
    void togglePanel();

    QString schemeName() const;
    void setSchemeName(const QString &name);
    // Applies the scheme named by the caption (start-up); an unknown name
    // applies none.
    void applyNamedScheme();

private:
    void closePanel();
    void takeBackground(OleColor color);

    TextBox *m_editor;
    OptionsPanel *m_panel;
    QLabel *m_cursorPos;
    QAbstractButton *m_einstell;
};

} // namespace kelo
