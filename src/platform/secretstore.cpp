#include "platform/secretstore.h"

#include <QEventLoop>

#include <qt6keychain/keychain.h>

namespace kelo {

namespace {

const QString keyringService = QStringLiteral("Kelo the Scriv");

// Runs a job to its end in a local event loop: the keyring answers over
// D-Bus and may first show its own unlock dialog.
SecretResult run(QKeychain::Job &job, const QString &name)
{
    job.setAutoDelete(false);
    job.setKey(name);
    // Never the plain settings file QtKeychain offers where no keyring runs.
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();

    SecretResult result;
    switch (job.error()) {
    case QKeychain::NoError:
        break;
    case QKeychain::EntryNotFound:
        result.status = SecretResult::Status::NotFound;
        break;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        result.status = SecretResult::Status::Unavailable;
        result.error = QStringLiteral("Der Schlüsselbund des Desktops hat den Zugriff verweigert.");
        break;
    default: {
        // Without any keyring service QtKeychain says no more than "Unknown
        // error", which tells the user nothing.
        const QString detail = job.errorString();
        result.status = SecretResult::Status::Unavailable;
        result.error =
            detail.isEmpty() || detail == QLatin1String("Unknown error")
                ? QStringLiteral("Der Schlüsselbund des Desktops ist nicht erreichbar.")
                : QStringLiteral("Der Schlüsselbund des Desktops ist nicht erreichbar (%1).")
                      .arg(detail);
        break;
    }
    }
    return result;
}

} // namespace

SecretResult KeyringSecretStore::read(const QString &name)
{
    QKeychain::ReadPasswordJob job(keyringService);
    SecretResult result = run(job, name);
    if (result.ok())
        result.value = job.textData();
    return result;
}

SecretResult KeyringSecretStore::write(const QString &name, const QString &secret)
{
    QKeychain::WritePasswordJob job(keyringService);
    job.setTextData(secret);
    return run(job, name);
}

SecretResult KeyringSecretStore::remove(const QString &name)
{
    QKeychain::DeletePasswordJob job(keyringService);
    SecretResult result = run(job, name);
    if (result.status == SecretResult::Status::NotFound)
        result.status = SecretResult::Status::Ok;
    return result;
}

} // namespace kelo
