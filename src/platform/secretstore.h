// Secrets such as the key of a translation service: kept in the desktop's
// keyring (GNOME's Secret Service or KWallet, through QtKeychain), never in
// a file of Kelo's own. Tests pass a store that keeps the secrets in memory.
#pragma once

#include <QString>

#include <optional>

namespace kelo {

struct SecretResult {
    enum class Status {
        Ok,
        NotFound,   // reading: the keyring holds no such secret
        Unavailable // no keyring answered, or it refused (error says why)
    };
    Status status = Status::Ok;
    QString value; // the secret, when reading gave Ok
    QString error; // German, when Unavailable

    bool ok() const { return status == Status::Ok; }
};

class SecretStore {
public:
    virtual ~SecretStore() = default;
    // Each call returns when the keyring has answered; meanwhile the
    // keyring may ask the user to unlock it.
    virtual SecretResult read(const QString &name) = 0;
    virtual SecretResult write(const QString &name, const QString &secret) = 0;
    // Removing a secret that is not there is Ok.
    virtual SecretResult remove(const QString &name) = 0;
};

// The desktop's keyring, under the service name "Kelo the Scriv". It never
// falls back to a plain file: without a keyring every call is Unavailable.
class KeyringSecretStore final : public SecretStore {
public:
    SecretResult read(const QString &name) override;
    SecretResult write(const QString &name, const QString &secret) override;
    SecretResult remove(const QString &name) override;
};

} // namespace kelo
