#include "shell/keyboardreach.h"

#include "platform/controls.h"
#include "platform/textbox.h"
#include "shell/form1.h"
#include "shell/optionspanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kelo {

void installKeyboardReach(Form1 &form)
{
    form.TextBox1->setAccessibleName(QStringLiteral("Editor"));
    form.TextBox1->setAccessibleDescription(
        QStringLiteral("der Text; Strg+Tab führt zur Statuszeile und zu den Knöpfen"));
    form.lblstatus->setAccessibleName(QStringLiteral("Statuszeile, nimmt auch Befehle an"));
    form.lblstatus->setAccessibleDescription(
        QStringLiteral("zeigt Hinweise und Meldungen; help und Enter nennt die Befehle"));
    form.Label1->setAccessibleDescription(QStringLiteral("Pfad der aktuellen Datei"));

    // The window starts in the editor, as it always has: the chain begins
    // there and runs on through the status line into the bar, from left to
    // right as the buttons stand, and so back round to the editor. The
    // options panel's controls follow the button that opens it; Tab passes
    // them by while the panel is closed.
    const OptionsPanel *options = form.Frame1;
    const QList<QWidget *> round = {
        form.TextBox1,         form.lblstatus,      form.cmd_open,     form.img_save,
        form.Save_AS,          form.cmd_fresh,      form.copy,         form.img_clear,
        form.search,           form.cmd_replace,    form.cmdDelEmpty,  form.cmd_DE2EN,
        form.cmd_EN2DE,        form.Print,          form.cmd_Einstell, options->blau,
        options->schwarz,      options->weiss,      options->txt_reggie, options->txtRegister,
        options->cmd_register, options->cmd_delReg, form.EXIT,         form.Info1,
        form.Info2,
    };
    for (qsizetype i = 1; i < round.size(); ++i)
        QWidget::setTabOrder(round.at(i - 1), round.at(i));

    // Enter on a focused text button does what it does on a picture button.
    for (QPushButton *button : {form.search, form.cmd_replace, form.cmdDelEmpty, form.cmd_Einstell})
        button->setAutoDefault(true);
}

} // namespace kelo
