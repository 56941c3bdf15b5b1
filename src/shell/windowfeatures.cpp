#include "shell/windowfeatures.h"

#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "files/textcommands.h"
#include "platform/controls.h"
#include "services/form2.h"
#include "shell/colourschemes.h"
#include "shell/console.h"
#include "shell/dragpanel.h"
#include "shell/form1.h"
#include "shell/hints.h"
#include "shell/layout.h"

#include <QShortcut>

namespace kelo {

void installWindowFeatures(Form1 &form)
{
    const KeloContext &context = form.context();
    Q_ASSERT(context.launcher != nullptr && context.printer != nullptr);

    new WindowLayout(form);
    new HoverHints(form);

    auto *dragger = new PanelDragger(&form);
    dragger->addPanel(form.Dateiauswahl);
    dragger->addPanel(form.Dateiauswahl2);

    // The console's exit takes the same way out as the title bar.
    new StatusConsole(
        form.lblstatus, context.launcher, context.messages, [&form] { form.close(); }, &form);

    auto *commands = new TextCommands(
        form.TextBox1, context.messages, context.printer,
        [&form] { form.schemes()->RefreshText(); }, &form);
    QObject::connect(form.Print, &QToolButton::clicked, commands, &TextCommands::Print_Click);
    QObject::connect(form.copy, &QToolButton::clicked, commands, &TextCommands::copy_Click);
    QObject::connect(form.img_clear, &QToolButton::clicked, commands,
                     &TextCommands::img_clear_Click);
    QObject::connect(form.cmd_fresh, &QToolButton::clicked, commands,
                     &TextCommands::cmd_fresh_Click);
    auto *print = new QShortcut(QKeySequence::Print, &form);
    QObject::connect(print, &QShortcut::activated, commands, &TextCommands::Print_Click);

    auto *about = new AboutOpener(
        form, [&form] { return form.windowWidthTwips(); }, context.launcher);
    QObject::connect(form.Info1, &QToolButton::clicked, about, &AboutOpener::open);
    QObject::connect(form.Info2, &QToolButton::clicked, about, &AboutOpener::open);
}

} // namespace kelo
