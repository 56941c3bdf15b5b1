#include "services/desktopmirror.h"

#include "services/atomicfile.h"
#include "services/desktopfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace kelo {

namespace {

constexpr int toolStartMs = 10000;
constexpr int toolRunMs = 60000;

struct Association {
    QString extensionKey;
    QString typeName;
    QString command;
};

// The command of a key path, when the key has a value to run.
std::optional<QString> commandAt(const RegKey &root, const QStringList &path)
{
    const RegKey *key = root.findPath(path);
    if (!key || !key->value || key->value->isEmpty())
        return std::nullopt;
    return key->value;
}

QList<Association> associationsIn(const RegKey &root)
{
    QList<Association> associations;
    for (const RegKey &key : root.subkeys) {
        if (!key.name.startsWith(QLatin1Char('.')) || !key.value || key.value->isEmpty())
            continue;
        QStringList path = key.value->split(QLatin1Char('\\'));
        path << QStringLiteral("shell") << QStringLiteral("open") << QStringLiteral("command");
        if (const auto command = commandAt(root, path))
            associations.append({key.name, *key.value, *command});
    }
    return associations;
}

// Reads a file that may be missing; nothing when it cannot be read.
std::optional<QByteArray> readIfPresent(const QString &path, QString *error)
{
    if (!QFileInfo::exists(path))
        return QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

// Writes a file unless it already holds exactly these bytes.
std::optional<QString> writeIfChanged(const QString &path, const QByteArray &bytes,
                                      bool executable = false)
{
    const QFileInfo info(path);
    if (info.isFile() && (!executable || info.isExecutable())) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.readAll() == bytes)
            return std::nullopt;
    }
    return writeFileAtomically(path, bytes, executable);
}

} // namespace

bool holdsInstalledEntry(const QStringList &dataFolders)
{
    const QString entry = QStringLiteral("applications/") + desktop::installedEntryFileName;
    for (const QString &folder : dataFolders) {
        if (!folder.isEmpty() && QFileInfo(QDir(folder).filePath(entry)).isFile())
            return true;
    }
    return false;
}

QStringList installedMimeTypes(const QString &fileName)
{
    QStringList names;
    for (const QMimeType &type : QMimeDatabase().mimeTypesForFileName(fileName))
        names.append(type.name());
    return names;
}

ToolRun runInstalledTool(const QString &program, const QStringList &arguments)
{
    ToolRun run;
    const QString executable = QStandardPaths::findExecutable(program);
    if (executable.isEmpty())
        return run;
    run.installed = true;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(executable, arguments);
    if (!process.waitForStarted(toolStartMs)) {
        run.output = process.errorString();
        return run;
    }
    if (!process.waitForFinished(toolRunMs)) {
        process.kill();
        process.waitForFinished();
        run.output = QStringLiteral("Zeitüberschreitung");
        return run;
    }
    run.output = QString::fromLocal8Bit(process.readAll()).trimmed();
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return run;
}

DesktopMirror::DesktopMirror(DesktopFolders folders, QString verbName, MimeLookup lookup,
                             ToolRunner runner)
    : m_folders(std::move(folders))
    , m_verbName(std::move(verbName))
    , m_lookup(std::move(lookup))
    , m_runner(std::move(runner))
{}

QString DesktopMirror::desktopEntryPath() const
{
    return QDir(m_folders.dataHome)
        .filePath(QStringLiteral("applications/") + desktop::entryFileName);
}

QString DesktopMirror::serviceMenuPath() const
{
    return QDir(m_folders.dataHome)
        .filePath(QStringLiteral("kio/servicemenus/") + desktop::entryFileName);
}

QString DesktopMirror::mimePackagePath() const
{
    return QDir(m_folders.dataHome).filePath(QStringLiteral("mime/packages/kelo-the-scriv.xml"));
}

QString DesktopMirror::mimeappsPath() const
{
    return QDir(m_folders.configHome).filePath(QStringLiteral("mimeapps.list"));
}

QString DesktopMirror::mimeTypeOf(const QString &extensionKey) const
{
    // Kelo's own types are found too once they are installed; they are not
    // what the extension is known as.
    for (const QString &name : m_lookup(QLatin1Char('x') + extensionKey)) {
        if (!name.startsWith(desktop::ownTypePrefix))
            return name;
    }
    return desktop::ownMimeType(extensionKey);
}

std::optional<QString> DesktopMirror::sync(const RegKey &root)
{
    const auto verbCommand = commandAt(root, {QStringLiteral("*"), QStringLiteral("shell"),
                                              m_verbName, QStringLiteral("command")});
    const QList<Association> associations = associationsIn(root);

    QStringList mimeTypes;
    QList<desktop::OwnType> ownTypes;
    if (verbCommand)
        mimeTypes.append(desktop::anyFileType);
    for (const Association &association : associations) {
        const QString type = mimeTypeOf(association.extensionKey);
        if (mimeTypes.contains(type))
            continue;
        mimeTypes.append(type);
        if (type.startsWith(desktop::ownTypePrefix))
            ownTypes.append({type, association.extensionKey, association.typeName});
    }

    QStringList errors;
    const auto note = [&errors](std::optional<QString> error) {
        if (error)
            errors.append(*error);
    };
    const desktop::Installed installed =
        holdsInstalledEntry(QStringList(m_folders.dataHome) + m_folders.dataDirs)
            ? desktop::Installed::Yes
            : desktop::Installed::No;
    // One entry serves the verb and the associations; it starts the program
    // of the verb, else that of the first association.
    if (verbCommand || !associations.isEmpty()) {
        const QString program =
            desktop::programOfCommand(verbCommand ? *verbCommand : associations.first().command);
        note(writeIfChanged(desktopEntryPath(),
                            desktop::desktopEntry(m_verbName, program, mimeTypes, installed)));
    } else {
        note(removeFileIfPresent(desktopEntryPath()));
    }
    if (verbCommand)
        note(writeIfChanged(
            serviceMenuPath(),
            desktop::serviceMenu(m_verbName, desktop::programOfCommand(*verbCommand), installed),
            true));
    else
        note(removeFileIfPresent(serviceMenuPath()));
    if (!ownTypes.isEmpty())
        note(writeIfChanged(mimePackagePath(), desktop::mimePackage(ownTypes)));
    else
        note(removeFileIfPresent(mimePackagePath()));

    const QDir data(m_folders.dataHome);
    if (data.exists(QStringLiteral("mime/packages")))
        note(
            runTool(QStringLiteral("update-mime-database"), data.filePath(QStringLiteral("mime"))));
    if (data.exists(QStringLiteral("applications")))
        note(runTool(QStringLiteral("update-desktop-database"),
                     data.filePath(QStringLiteral("applications"))));

    if (errors.isEmpty())
        return std::nullopt;
    return errors.join(QLatin1Char('\n'));
}

std::optional<QString> DesktopMirror::makeDefault(const QString &extensionKey)
{
    QString error;
    const auto current = readIfPresent(mimeappsPath(), &error);
    if (!current)
        return error;
    const QByteArray updated =
        desktop::withDefaultApplication(*current, mimeTypeOf(extensionKey), desktop::entryFileName);
    if (updated == *current)
        return std::nullopt;
    return writeFileAtomically(mimeappsPath(), updated);
}

std::optional<QString> DesktopMirror::runTool(const QString &program, const QString &folder)
{
    const ToolRun run = m_runner(program, {folder});
    if (!run.installed || run.ok)
        return std::nullopt;
    return QStringLiteral("%1 %2 meldet einen Fehler: %3")
        .arg(program, QDir::toNativeSeparators(folder), run.output);
}

} // namespace kelo
