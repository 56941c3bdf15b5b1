#include "shell/windowfeatures.h"

#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "shell/console.h"
#include "shell/dragpanel.h"
#include "shell/form1.h"
#include "shell/hints.h"
#include "shell/keyboardreach.h"
#include "shell/layout.h"

namespace kelo {

void installWindowFeatures(Form1 &form)
{
    const KeloContext &context = form.context();
    Q_ASSERT(context.launcher != nullptr);

    new WindowLayout(form);
    new HoverHints(form);
    installKeyboardReach(form);

    auto *dragger = new PanelDragger(&form);
    dragger->addPanel(form.Dateiauswahl);
    dragger->addPanel(form.Dateiauswahl2);

    // The console's exit takes the same way out as the title bar.
    new StatusConsole(
        form.lblstatus, context.launcher, context.messages, [&form] { form.close(); }, &form);
}

} // namespace kelo
