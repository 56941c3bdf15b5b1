// Stand-ins for the desktop and the printer that record what they were asked
// and answer as the test says.
#pragma once

#include "platform/desktoplauncher.h"
#include "platform/textprinter.h"

#include <QList>
#include <QStringList>
#include <QUrl>

namespace kelo::test {

class RecordingLauncher final : public DesktopLauncher {
public:
    bool openUrl(const QUrl &url) override
    {
        urls.append(url);
        return opens;
    }
    bool startTerminal() override
    {
        ++terminalsStarted;
        return terminalStarts;
    }

    QList<QUrl> urls;
    int terminalsStarted = 0;
    bool opens = true;
    bool terminalStarts = true;
};

class RecordingPrinter final : public TextPrinter {
public:
    PrintResult printText(const QString &text) override
    {
        printed.append(text);
        return answer;
    }

    QStringList printed;
    PrintResult answer;
};

} // namespace kelo::test
