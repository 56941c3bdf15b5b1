#include "services/atomicfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace kelo {

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes,
                                           bool executable)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("Der Ordner %1 kann nicht angelegt werden.")
            .arg(QDir::toNativeSeparators(info.absolutePath()));
    if (info.isDir())
        return QStringLiteral("%1 ist ein Ordner, keine Datei.").arg(shown);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2")
            .arg(shown, file.errorString());
    // commit() alone can report success after a short write on a full disk,
    // so every step is checked on its own.
    if (file.write(bytes) != bytes.size() || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2").arg(shown, reason);
    }
    if (executable) {
        const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                 QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                 QFileDevice::ExeOther;
        if (!file.setPermissions(permissions)) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return QStringLiteral("Die Datei %1 kann nicht ausführbar gemacht werden: %2")
                .arg(shown, reason);
        }
    }
    if (!file.commit())
        return QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2")
            .arg(shown, file.errorString());
    return std::nullopt;
}

std::optional<QString> removeFileIfPresent(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    QFile file(path);
    if (!file.remove())
        return QStringLiteral("Die Datei %1 kann nicht gelöscht werden: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    return std::nullopt;
}

} // namespace kelo
