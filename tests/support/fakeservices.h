// Stand-ins for the desktop, the printer and the keyring that record what
// they were asked and answer as the test says.
#pragma once

#include "platform/desktoplauncher.h"
#include "platform/secretstore.h"
#include "platform/textprinter.h"

#include <QList>
#include <QMap>
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

// A keyring in memory; while `available` is false it answers every call as
// a desktop without a keyring service does.
class MemorySecretStore final : public SecretStore {
public:
    SecretResult read(const QString &name) override
    {
        ++reads;
        if (!available)
            return unavailable();
        if (!secrets.contains(name))
            return {SecretResult::Status::NotFound, {}, {}};
        return {SecretResult::Status::Ok, secrets.value(name), {}};
    }
    SecretResult write(const QString &name, const QString &secret) override
    {
        if (!available)
            return unavailable();
        secrets.insert(name, secret);
        return {};
    }
    SecretResult remove(const QString &name) override
    {
        if (!available)
            return unavailable();
        secrets.remove(name);
        return {};
    }

    QMap<QString, QString> secrets;
    bool available = true;
    int reads = 0;

private:
    static SecretResult unavailable()
    {
        return {SecretResult::Status::Unavailable,
                {},
                QStringLiteral("Der Schlüsselbund des Desktops ist nicht erreichbar (Test).")};
    }
};

} // namespace kelo::test
