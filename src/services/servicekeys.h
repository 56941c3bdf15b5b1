// The keys of the translation services: in the desktop's keyring, one entry
// per service. Where no keyring answers, a key that is entered is kept for
// this run of the program only, and the user is told so; it is never
// written to a file.
#pragma once

#include "platform/secretstore.h"
#include "services/translationservice.h"

#include <QHash>
#include <QString>

namespace kelo {

struct KeyReading {
    QString key;    // "" when none is kept
    QString notice; // German, when the keyring could not be asked
};

struct KeySaving {
    bool inKeyring = true; // false: kept for this run only
    QString notice;        // German, when it is not in the keyring
};

class ServiceKeys {
public:
    explicit ServiceKeys(SecretStore &store);

    KeyReading read(TranslationService service);
    // An empty key removes the service's key.
    KeySaving save(TranslationService service, const QString &key);

    // The name of the service's entry in the keyring.
    static QString entryName(TranslationService service);

private:
    SecretStore &m_store;
    // The keys the keyring could not take, for this run only.
    QHash<int, QString> m_session;
};

} // namespace kelo
