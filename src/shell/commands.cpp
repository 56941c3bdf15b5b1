#include "shell/commands.h"

#include "files/saving.h"
#include "files/textcommands.h"
#include "platform/controls.h"
#include "services/desktopintegration.h"
#include "services/form2.h"
#include "services/translation.h"
#include "shell/form1.h"
#include "shell/hints.h"
#include "shell/optionspanel.h"
#include "tools/editortools.h"
#include "tools/linetools.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

namespace kelo {

namespace {

// An action of the window, named after the control it belongs to, with that
// control's hint as its status tip.
QAction *command(Form1 &form, const QString &control, const QString &text,
                 const QKeySequence &shortcut = {})
{
    auto *action = new QAction(text, &form);
    action->setObjectName(QStringLiteral("action_") + control);
    action->setShortcut(shortcut);
    action->setStatusTip(hintFor(control));
    form.addAction(action);
    return action;
}

// A picture button shows its action: the action's picture is the button's.
// The hints go to the status line, so no tooltip shows besides.
QAction *onPicture(QAction *action, PictureButton *button)
{
    action->setIcon(button->icon());
    button->setDefaultAction(action);
    button->setToolTip(QString());
    // A screen reader announces the action's text as the name and the hint.
    button->setAccessibleDescription(action->statusTip());
    return action;
}

QAction *onButton(QAction *action, QAbstractButton *button)
{
    QObject::connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
    if (button->text().isEmpty())
        button->setAccessibleName(action->text());
    button->setAccessibleDescription(action->statusTip());
    return action;
}

// An action behind the right click on buttons, whose left click keeps its
// own meaning (also behind the context-menu key while a button has focus).
QAction *onRightClick(QAction *action, std::initializer_list<QWidget *> buttons)
{
    for (QWidget *button : buttons) {
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(button, &QWidget::customContextMenuRequested, action,
                         [action] { action->trigger(); });
    }
    return action;
}

} // namespace

Commands::Commands(Form1 &form)
    : open(onPicture(
          command(form, QStringLiteral("cmd_open"), QStringLiteral("öffnen"), QKeySequence::Open),
          form.cmd_open))
    , save(onPicture(command(form, QStringLiteral("img_save"), QStringLiteral("speichern"),
                             QKeySequence::Save),
                     form.img_save))
    , saveAs(onPicture(command(form, QStringLiteral("Save_AS"), QStringLiteral("speichern als")),
                       form.Save_AS))
    , refresh(onPicture(command(form, QStringLiteral("cmd_fresh"), QStringLiteral("refresh")),
                        form.cmd_fresh))
    , copyAll(
          onPicture(command(form, QStringLiteral("copy"), QStringLiteral("copy all")), form.copy))
    , clear(onPicture(command(form, QStringLiteral("img_clear"), QStringLiteral("clear")),
                      form.img_clear))
    , search(onButton(
          command(form, QStringLiteral("search"), QStringLiteral("search"), QKeySequence::Find),
          form.search))
    , findNext(command(form, QStringLiteral("findNext"), QStringLiteral("weitersuchen"),
                       QKeySequence(Qt::Key_F3)))
    , replace(onButton(command(form, QStringLiteral("cmd_replace"), QStringLiteral("replace"),
                               QKeySequence(Qt::CTRL | Qt::Key_H)),
                       form.cmd_replace))
    , cleanUp(onButton(command(form, QStringLiteral("cmdDelEmpty"), QStringLiteral("Leerzeilen")),
                       form.cmdDelEmpty))
    , toEnglish(onPicture(command(form, QStringLiteral("cmd_DE2EN"),
                                  QStringLiteral("Deutsch nach Englisch übersetzen")),
                          form.cmd_DE2EN))
    , toGerman(onPicture(command(form, QStringLiteral("cmd_EN2DE"),
                                 QStringLiteral("Englisch nach Deutsch übersetzen")),
                         form.cmd_EN2DE))
    , translationService(onRightClick(command(form, QStringLiteral("translationService"),
                                              QStringLiteral("Übersetzungsdienst wählen")),
                                      {form.cmd_DE2EN, form.cmd_EN2DE}))
    , print(onPicture(
          command(form, QStringLiteral("Print"), QStringLiteral("drucken"), QKeySequence::Print),
          form.Print))
    , options(onButton(command(form, QStringLiteral("cmd_Einstell"), QStringLiteral("Einstellen")),
                       form.cmd_Einstell))
    , exit(onPicture(command(form, QStringLiteral("EXIT"), QStringLiteral("EXIT")), form.EXIT))
    , about(onPicture(command(form, QStringLiteral("Info1"), QStringLiteral("Info")), form.Info1))
{
    // The second picture of the hover spot is the same command in another
    // picture: it keeps its own.
    onButton(about, form.Info2);

    QObject::connect(open, &QAction::triggered, &form, &Form1::cmd_open_Click);
    QObject::connect(save, &QAction::triggered, form.saving(), &Saving::img_save_Click);
    QObject::connect(saveAs, &QAction::triggered, &form, &Form1::Save_AS_Click);
    QObject::connect(refresh, &QAction::triggered, form.textCommands(),
                     &TextCommands::cmd_fresh_Click);
    QObject::connect(copyAll, &QAction::triggered, form.textCommands(), &TextCommands::copy_Click);
    QObject::connect(clear, &QAction::triggered, form.textCommands(),
                     &TextCommands::img_clear_Click);
    QObject::connect(search, &QAction::triggered, form.editorTools(), &EditorTools::search_Click);
    QObject::connect(findNext, &QAction::triggered, form.editorTools(), &EditorTools::findNext);
    QObject::connect(replace, &QAction::triggered, form.lineTools(), &LineTools::cmd_replace_Click);
    QObject::connect(cleanUp, &QAction::triggered, form.lineTools(), &LineTools::cmdDelEmpty_Click);
    QObject::connect(toEnglish, &QAction::triggered, form.translation(),
                     &Translation::cmd_DE2EN_Click);
    QObject::connect(toGerman, &QAction::triggered, form.translation(),
                     &Translation::cmd_EN2DE_Click);
    QObject::connect(translationService, &QAction::triggered, form.translation(),
                     &Translation::chooseService);
    QObject::connect(print, &QAction::triggered, form.textCommands(), &TextCommands::Print_Click);
    QObject::connect(options, &QAction::triggered, &form, &Form1::cmd_Einstell_Click);
    QObject::connect(exit, &QAction::triggered, form.saving(), &Saving::EXIT_Click);
    QObject::connect(about, &QAction::triggered, form.about(), &AboutOpener::open);

    // The options panel's buttons for the desktop.
    DesktopIntegration *desktop = form.desktopIntegration();
    OptionsPanel *panel = form.Frame1;
    QObject::connect(panel->cmd_register, &QPushButton::clicked, desktop,
                     &DesktopIntegration::cmd_register_Click);
    QObject::connect(panel->cmd_delReg, &QPushButton::clicked, desktop,
                     &DesktopIntegration::cmd_delReg_Click);
    QObject::connect(panel->txtRegister, &QPushButton::clicked, desktop,
                     [desktop, panel] { desktop->Main(panel->txt_reggie->text()); });
}

} // namespace kelo
