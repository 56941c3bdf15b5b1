#include "services/servicekeys.h"

namespace kelo {

ServiceKeys::ServiceKeys(SecretStore &store)
    : m_store(store)
{}

QString ServiceKeys::entryName(TranslationService service)
{
    return settingOf(service) + QStringLiteral(" API-Schlüssel");
}

KeyReading ServiceKeys::read(TranslationService service)
{
    KeyReading reading;
    if (!takesKey(service))
        return reading;
    // A key the keyring did not take holds for the rest of the run, even
    // when the keyring comes up meanwhile with an older one.
    if (const auto kept = m_session.constFind(int(service)); kept != m_session.cend()) {
        reading.key = *kept;
        return reading;
    }
    const SecretResult result = m_store.read(entryName(service));
    switch (result.status) {
    case SecretResult::Status::Ok:
        reading.key = result.value;
        break;
    case SecretResult::Status::NotFound:
        break;
    case SecretResult::Status::Unavailable:
        reading.notice =
            result.error + QStringLiteral(" Ein Schlüssel, der jetzt eingegeben wird, gilt nur, "
                                          "bis Kelo beendet wird.");
        break;
    }
    return reading;
}

KeySaving ServiceKeys::save(TranslationService service, const QString &key)
{
    KeySaving saving;
    const QString name = entryName(service);
    const SecretResult result = key.isEmpty() ? m_store.remove(name) : m_store.write(name, key);
    if (result.ok()) {
        m_session.remove(int(service));
        return saving;
    }
    m_session.insert(int(service), key);
    saving.inKeyring = false;
    saving.notice =
        key.isEmpty()
            ? result.error + QStringLiteral(" Ein Schlüssel für %1, der dort noch liegt, wird "
                                            "nicht mehr verwendet, bis Kelo beendet wird.")
                                 .arg(displayName(service))
            : result.error + QStringLiteral(" Der Schlüssel für %1 gilt deshalb nur, bis Kelo "
                                            "beendet wird; er wird in keine Datei geschrieben.")
                                 .arg(displayName(service));
    return saving;
}

} // namespace kelo
