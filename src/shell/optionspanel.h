// The options panel "Optionen und Einstellungen" (Frame1): the colour samples
// with the name of the current scheme, the two buttons for the file manager's
// context menu, the extension box with its button, and the yellow "QUIT".
#pragma once

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kelo {

class ClickableLabel;
class WrapButton;

class OptionsPanel : public QGroupBox {
    Q_OBJECT

public:
    explicit OptionsPanel(QWidget *parent = nullptr);

    QLabel *Label20 = nullptr;
    QLabel *Label11 = nullptr;
    QLabel *lbl_schwarzweissblau = nullptr; // holds the current scheme's name
    ClickableLabel *blau = nullptr;         // the three colour samples
    ClickableLabel *schwarz = nullptr;
    ClickableLabel *weiss = nullptr;
    QPushButton *cmd_register = nullptr;
    QPushButton *cmd_delReg = nullptr;
    QLineEdit *txt_reggie = nullptr;
    WrapButton *txtRegister = nullptr;
    ClickableLabel *LblExit = nullptr;
};

} // namespace kelo
