// A Kelo window in a process of its own, for the tests that kill it:
//   recovery_child edit FILE TEXT   opens FILE, types TEXT over it, says
//                                   "bereit" once the copy is written, waits
//   recovery_child churn            keeps changing a large text and writing
//                                   copies, without end
#include "files/recoverykeeper.h"
#include "platform/textbox.h"
#include "shell/application.h"
#include "shell/form1.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kelo::prepareApplication();
    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty())
        return 2;
    const bool churn = args[0] == QLatin1String("churn");
    kelo::KeloApplication kelo(churn ? QStringList() : QStringList{args.value(1)});
    kelo::Form1 &window = kelo.window();
    window.Form_Load();
    window.show();
    kelo::RecoveryKeeper *recovery = window.recovery();

    if (!churn) {
        // An edit as the user makes it; the copy follows when typing pauses.
        window.TextBox1->replaceAllUtf8(args.value(2).toUtf8());
        QObject::connect(recovery, &kelo::RecoveryKeeper::failed, [](const QString &reason) {
            std::fprintf(stderr, "%s\n", qPrintable(reason));
        });
        auto *poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, [recovery, poll] {
            if (recovery->copyPath().isEmpty() || !QFile::exists(recovery->copyPath()))
                return;
            poll->stop();
            std::printf("bereit\n");
            std::fflush(stdout);
        });
        poll->start(20);
        return QApplication::exec();
    }

    window.TextBox1->replaceAllUtf8(QByteArray("Zeile mit Text\r\n").repeated(400000));
    std::printf("bereit\n");
    std::fflush(stdout);
    auto *typing = new QTimer(&app);
    QObject::connect(typing, &QTimer::timeout, [&window, recovery] {
        window.TextBox1->setSelText(QStringLiteral("x"));
        recovery->copyNow();
    });
    typing->start(1);
    return QApplication::exec();
}
