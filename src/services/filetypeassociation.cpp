#include "services/filetypeassociation.h"

#include "platform/messagebox.h"
#include "services/desktopfiles.h"
#include "services/desktopmirror.h"

namespace kelo {

using namespace reg;

namespace {

const QString crlf = QStringLiteral("\r\n");

// A file name holds at most 255 bytes; with one character before the dot
// and the key store's "file" after the type name this leaves room.
constexpr int maxExtensionBytes = 250;

// U+FFFE and U+FFFF count too: XML cannot hold them, and the type package
// would lose them from the glob, which then named another extension.
bool isControl(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F) ||
           c.unicode() >= 0xFFFE;
}

} // namespace

ExtensionKeys deriveExtensionKeys(const QString &E)
{
    ExtensionKeys keys;
    keys.X = E.toLower();
    if (!keys.X.startsWith(QLatin1Char('.'))) {
        keys.T = keys.X;
        keys.X.prepend(QLatin1Char('.'));
    } else {
        keys.T = keys.X.mid(1);
    }
    keys.T += QStringLiteral("file");
    return keys;
}

std::optional<QString> extensionProblem(const QString &E)
{
    if (E.isEmpty())
        return QStringLiteral("Dateiendung benötigt.");
    const QString X = deriveExtensionKeys(E).X;
    if (X.contains(QLatin1Char('/')) || X.contains(QLatin1Char('\\')))
        return QStringLiteral("Die Dateiendung darf weder \"/\" noch \"\\\" enthalten.");
    if (X.contains(QStringLiteral("..")))
        return QStringLiteral("Die Dateiendung darf keine zwei Punkte hintereinander enthalten.");
    if (std::any_of(X.cbegin(), X.cend(), isControl) || !X.isValidUtf16())
        return QStringLiteral("Die Dateiendung darf keine Steuerzeichen enthalten.");
    for (const QChar wildcard : {u'*', u'?', u'[', u']'}) {
        if (X.contains(wildcard))
            return QStringLiteral("Die Dateiendung darf die Zeichen * ? [ ] nicht enthalten: "
                                  "im Dateimuster wären sie Platzhalter.");
    }
    if (X.mid(1).toUtf8().size() > maxExtensionBytes)
        return QStringLiteral("Die Dateiendung ist zu lang: höchstens %1 Bytes "
                              "(ein Umlaut zählt zwei).")
            .arg(maxExtensionBytes);
    return std::nullopt;
}

FileTypeAssociation::FileTypeAssociation(KeyStore &store, DesktopMirror &mirror,
                                         MessageBoxes &messages, QString programFile)
    : m_store(store)
    , m_mirror(mirror)
    , m_messages(messages)
    , m_programFile(std::move(programFile))
{}

long FileTypeAssociation::RegStringSchreiben(HKEY root, const QString &keyPath,
                                             const QString &valueName, const QString &data)
{
    HKEY hKey = 0;
    long code = m_store.RegCreateKey(root, keyPath, &hKey);
    if (code != ERROR_SUCCESS)
        return code;
    code = m_store.RegSetValueEx(hKey, valueName, 0, REG_SZ, data);
    // Closing an open handle cannot fail, and leaves errorString() alone.
    m_store.RegCloseKey(hKey);
    return code;
}

bool FileTypeAssociation::DateitypVerknuepfen(const QString &E)
{
    MessageBoxes &messages = m_messages;
    if (const auto problem = extensionProblem(E)) {
        messages.show(*problem, MsgButtons::Ok, MsgIcon::Critical);
        return false;
    }
    // The desktop files could not name the program: nothing goes in at all.
    if (const auto problem = desktop::programProblem(m_programFile)) {
        messages.show(*problem, MsgButtons::Ok, MsgIcon::Critical);
        return false;
    }
    const auto [X, T] = deriveExtensionKeys(E);
    const QString openCommand = m_programFile + QStringLiteral(" %1");

    QStringList errors;
    const auto note = [&errors](const std::optional<QString> &error) {
        if (error && !errors.contains(*error))
            errors.append(*error);
    };
    {
        const KeyStore::Transaction transaction(m_store);
        if (transaction.code() != ERROR_SUCCESS) {
            note(m_store.errorString());
        } else {
            // Each write is tried even when one before it failed, as a
            // partial association is still worth what it holds.
            const auto write = [&](const QString &key, const QString &data) {
                if (RegStringSchreiben(HKEY_CLASSES_ROOT, key, QString(), data) != ERROR_SUCCESS)
                    note(m_store.errorString());
            };
            write(X, T);
            write(T + QStringLiteral("\\shell\\open\\command"), openCommand);
            write(T + QStringLiteral("\\DefaultIcon"), m_programFile + QStringLiteral(",0"));
            if (errors.isEmpty()) {
                if (const auto keys = m_store.snapshot())
                    note(m_mirror.sync(*keys));
                else
                    note(m_store.errorString());
                note(m_mirror.makeDefault(X));
            }
        }
    }

    if (!errors.isEmpty()) {
        messages.show(QStringLiteral("Die Dateiendung %1 konnte nicht mit Kelo the Scriv verknüpft "
                                     "werden:")
                              .arg(X) +
                          crlf + errors.join(crlf),
                      MsgButtons::Ok, MsgIcon::Critical);
        return false;
    }
    messages.show(QStringLiteral("Dateityp: ") + X + crlf + QStringLiteral("Registriert auf: ") +
                  T + crlf + QStringLiteral("open-Anweisung: ") + openCommand);
    return true;
}

} // namespace kelo
