#include "services/contextmenu.h"

#include "services/desktopfiles.h"
#include "services/desktopmirror.h"
#include "services/keystore.h"

namespace kelo {

using namespace reg;

namespace {
const QString verbParent = QStringLiteral("*\\shell");
}

ContextMenuEntry::ContextMenuEntry(KeyStore &store, DesktopMirror &mirror)
    : m_store(store)
    , m_mirror(mirror)
{}

std::optional<QString> ContextMenuEntry::mirror()
{
    const auto keys = m_store.snapshot();
    if (!keys)
        return m_store.errorString();
    return m_mirror.sync(*keys);
}

std::optional<QString> ContextMenuEntry::ProgrammRegistrierung(const QString &strMenuText,
                                                               const QString &strAnwendung)
{
    // The desktop files could not name it: nothing goes in at all.
    if (const auto problem = desktop::programProblem(strAnwendung))
        return problem;
    // Another Kelo window sees the keys and the desktop files change together.
    const KeyStore::Transaction transaction(m_store);
    if (transaction.code() != ERROR_SUCCESS)
        return m_store.errorString();

    const QString path = verbParent + QLatin1Char('\\') + strMenuText + QStringLiteral("\\command");
    HKEY hKey = 0;
    if (m_store.RegCreateKey(HKEY_CLASSES_ROOT, path, &hKey) != ERROR_SUCCESS)
        return m_store.errorString();
    const QString value = strAnwendung + QStringLiteral(" %1");
    const long set = m_store.RegSetValue(HKEY_CLASSES_ROOT, path, REG_SZ, value);
    // Closing an open handle cannot fail, and leaves errorString() alone.
    m_store.RegCloseKey(hKey);
    if (set != ERROR_SUCCESS)
        return m_store.errorString();
    return mirror();
}

ContextMenuEntry::Removal ContextMenuEntry::Delete_ContextItem(const QString &strText)
{
    Removal removal;
    const KeyStore::Transaction transaction(m_store);
    if (transaction.code() != ERROR_SUCCESS) {
        removal.error = m_store.errorString();
        return removal;
    }
    // A key that is not there is what the user asked for; any other failing
    // step is reported. The desktop follows the keys in every case.
    const auto failed = [this, &removal](long code) {
        if (code != ERROR_FILE_NOT_FOUND)
            removal.error = m_store.errorString();
        if (const auto error = mirror(); error && !removal.error)
            removal.error = error;
        return removal;
    };

    HKEY hKey = 0;
    long code = m_store.RegOpenKeyEx(HKEY_CLASSES_ROOT, verbParent + QLatin1Char('\\') + strText, 0,
                                     KEY_SET_VALUE, &hKey);
    if (code != ERROR_SUCCESS)
        return failed(code);
    code = m_store.RegDeleteKey(hKey, QStringLiteral("Command"));
    m_store.RegCloseKey(hKey);
    if (code != ERROR_SUCCESS)
        return failed(code);

    code = m_store.RegOpenKeyEx(HKEY_CLASSES_ROOT, verbParent, 0, KEY_SET_VALUE, &hKey);
    if (code != ERROR_SUCCESS)
        return failed(code);
    code = m_store.RegDeleteKey(hKey, strText);
    m_store.RegCloseKey(hKey);
    if (code != ERROR_SUCCESS)
        return failed(code);
    removal.deleted = true;
    removal.error = mirror();
    return removal;
}

} // namespace kelo
