// The desktop files Kelo writes, read back as a desktop reads them, for any
// program path, entry name and set of extensions the user can give:
//  - the desktop entry and the service menu are lines of key=value in their
//    groups; Name reads as the name, Exec splits into the program and %f by
//    the quoting rules, MimeType lists the types;
//  - the type package is well-formed XML that declares each type with its
//    comment and the glob of its extension;
//  - Kelo's own type of an extension is a valid type name that fits a file
//    name, and distinct extensions get distinct types;
//  - the program comes back out of its command.
#include "fuzzcheck.h"

#include "services/desktopfiles.h"
#include "services/filetypeassociation.h"

#include <QList>
#include <QMap>
#include <QXmlStreamReader>

using namespace kelo;
using namespace kelo::desktop;
using kelo::fuzz::literal;

namespace {

// The string escapes of a desktop file's value.
QString unescaped(const QString &value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'r')
            out += u'\r';
        else if (next == u'\\')
            out += u'\\';
        else
            out += QStringLiteral("\\") + next;
    }
    return out;
}

// The arguments of an Exec value (string escapes already undone): blanks
// part them, double quotes hold blanks and take \" \` \$ \\ as escapes, and
// %% is a literal %.
std::optional<QStringList> execArguments(const QString &exec)
{
    QStringList arguments;
    QString current;
    bool started = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (c == u'%') {
            if (i + 1 == exec.size())
                return std::nullopt;
            const QChar code = exec[++i];
            current += code == u'%' ? QStringLiteral("%") : QStringLiteral("%") + code;
            started = true;
        } else if (quoted) {
            if (c == u'\\' && i + 1 < exec.size() &&
                QStringLiteral("\"`$\\").contains(exec[i + 1]))
                current += exec[++i];
            else if (c == u'"')
                quoted = false;
            else if (c == u'\\' || c == u'`' || c == u'$')
                return std::nullopt; // must be escaped inside quotes
            else
                current += c;
        } else if (c == u' ') {
            if (started)
                arguments.append(current);
            current.clear();
            started = false;
        } else if (c == u'"') {
            quoted = started = true;
        } else {
            current += c;
            started = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (started)
        arguments.append(current);
    return arguments;
}

bool isValidUtf8Text(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

using Groups = QMap<QString, QMap<QString, QString>>;

// The groups of a desktop file with their keys and values as written, or
// nothing when a line is neither a group, a key nor empty, or a key repeats.
std::optional<Groups> groupsOf(const QByteArray &file, std::string *why)
{
    if (!isValidUtf8Text(file)) {
        *why = "not UTF-8";
        return std::nullopt;
    }
    Groups groups;
    QString group;
    const QStringList lines = QString::fromUtf8(file).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        if (i + 1 == lines.size()) {
            if (!line.isEmpty()) {
                *why = "no line end at the end";
                return std::nullopt;
            }
            break;
        }
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            if (groups.contains(group)) {
                *why = "group twice: " + literal(group);
                return std::nullopt;
            }
            groups[group];
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (group.isEmpty() || equals <= 0) {
            *why = "line " + literal(line);
            return std::nullopt;
        }
        const QString key = line.left(equals).trimmed();
        if (groups[group].contains(key)) {
            *why = "key twice: " + literal(key);
            return std::nullopt;
        }
        // Readers drop the blanks around a value.
        QString value = line.mid(equals + 1);
        while (!value.isEmpty() && (value.front() == u' ' || value.front() == u'\t'))
            value.remove(0, 1);
        while (!value.isEmpty() && (value.back() == u' ' || value.back() == u'\t'))
            value.chop(1);
        groups[group][key] = value;
    }
    return groups;
}

void checkEntryGroup(const QMap<QString, QString> &group, const QString &name,
                     const QString &program, const std::string &context)
{
    FUZZ_CHECK(unescaped(group.value(QStringLiteral("Name"))) == name,
               "Name " + literal(group.value(QStringLiteral("Name"))) + "\n" + context);
    const QString exec = unescaped(group.value(QStringLiteral("Exec")));
    const std::optional<QStringList> arguments = execArguments(exec);
    FUZZ_CHECK(arguments && *arguments == (QStringList{program, QStringLiteral("%f")}),
               "Exec " + literal(group.value(QStringLiteral("Exec"))) + " gives " +
                   (arguments ? literal(arguments->join(QStringLiteral("|"))) : "nothing") +
                   "\n" + context);
}

QString typedText(FuzzedDataProvider &input, std::size_t most)
{
    // Typed or taken from the system: text without lone surrogates.
    return QString::fromUtf8(fuzz::takeBytes(input, most));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    QString name = typedText(input, 24);
    if (input.ConsumeBool())
        name = QStringLiteral("Kelo the Scriv");
    const QString program = typedText(input, 64);
    QList<OwnType> types;
    QStringList typeNames;
    while (input.remaining_bytes() > 0 && types.size() < 4) {
        const QString typed = typedText(input, 40);
        if (extensionProblem(typed))
            continue;
        const ExtensionKeys keys = deriveExtensionKeys(typed);
        const QString mimeType = ownMimeType(keys.X);
        types.append({mimeType, keys.X, keys.T});
        if (!typeNames.contains(mimeType))
            typeNames.append(mimeType);
    }
    const std::string context = "name " + literal(name) + ", program " + literal(program);

    // Own types.
    for (qsizetype i = 0; i < types.size(); ++i) {
        const QString &type = types[i].mimeType;
        FUZZ_CHECK(type.startsWith(ownTypePrefix), literal(type));
        const QString subtype = type.sliced(type.indexOf(u'/') + 1);
        bool valid = !subtype.isEmpty();
        for (const QChar c : subtype)
            valid = valid && c.unicode() < 0x80 &&
                    (c.isLower() || c.isDigit() || QStringLiteral("-+._").contains(c));
        FUZZ_CHECK(valid, literal(types[i].extensionKey) + " gives " + literal(type));
        // update-mime-database keeps it in <subtype>.xml.
        FUZZ_CHECK(subtype.size() + 4 <= 255, literal(type));
        for (qsizetype j = 0; j < i; ++j) {
            if (types[j].extensionKey != types[i].extensionKey)
                FUZZ_CHECK(types[j].mimeType != type,
                           literal(types[j].extensionKey) + " and " +
                               literal(types[i].extensionKey) + " both give " + literal(type));
        }
    }

    FUZZ_CHECK(programOfCommand(program + QStringLiteral(" %1")) == program, context);

    // Entries are written only for a program they can name.
    if (!programProblem(program)) {
        const QByteArray entry = desktopEntry(name, program, typeNames);
        std::string why;
        const std::optional<Groups> groups = groupsOf(entry, &why);
        FUZZ_CHECK(groups && groups->keys() == QStringList{QStringLiteral("Desktop Entry")},
                   why + "\n" + literal(entry, 2000) + "\n" + context);
        const QMap<QString, QString> &main = groups->first();
        checkEntryGroup(main, name, program, literal(entry, 2000) + "\n" + context);
        FUZZ_CHECK(main.value(QStringLiteral("Type")) == QLatin1String("Application"), context);
        QStringList listed = main.value(QStringLiteral("MimeType")).split(u';');
        if (!listed.isEmpty() && listed.last().isEmpty())
            listed.removeLast();
        FUZZ_CHECK(listed == typeNames, literal(entry, 2000));

        const QByteArray menu = serviceMenu(name, program);
        const std::optional<Groups> menuGroups = groupsOf(menu, &why);
        FUZZ_CHECK(menuGroups && menuGroups->size() == 2 &&
                       menuGroups->contains(QStringLiteral("Desktop Action kelo")),
                   why + "\n" + literal(menu, 2000) + "\n" + context);
        for (const QMap<QString, QString> &group : *menuGroups)
            checkEntryGroup(group, name, program, literal(menu, 2000) + "\n" + context);
    }

    // The type package.
    const QByteArray package = mimePackage(types);
    QXmlStreamReader xml(package);
    QList<OwnType> declared;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("mime-type")) {
            declared.append({xml.attributes().value(QLatin1String("type")).toString(), {}, {}});
        } else if (xml.name() == QLatin1String("comment") && !declared.isEmpty()) {
            declared.last().comment = xml.readElementText();
        } else if (xml.name() == QLatin1String("glob") && !declared.isEmpty()) {
            declared.last().extensionKey =
                xml.attributes().value(QLatin1String("pattern")).toString().mid(1);
        }
    }
    FUZZ_CHECK(!xml.hasError(), xml.errorString().toStdString() + " in " + literal(package, 2000));
    FUZZ_CHECK(declared.size() == types.size(), literal(package, 2000));
    for (qsizetype i = 0; i < types.size(); ++i) {
        FUZZ_CHECK(declared[i].mimeType == types[i].mimeType &&
                       declared[i].extensionKey == types[i].extensionKey &&
                       declared[i].comment == types[i].comment,
                   "type " + std::to_string(i) + " in " + literal(package, 2000));
    }
    return 0;
}
