#include "services/desktopfiles.h"

#include "platform/filenames.h"

#include <QCryptographicHash>
#include <QXmlStreamWriter>

namespace kelo::desktop {

namespace {

const QString commandPlaceholder = QStringLiteral(" %1");
// The theme's text editor icon, unless Kelo's own is installed.
QString iconName(Installed installed)
{
    return installed == Installed::Yes ? applicationId : QStringLiteral("accessories-text-editor");
}

const QByteArray defaultSection = "[Default Applications]";
constexpr qsizetype maxEncodedLength = 200;

QByteArray line(const QString &key, const QString &value)
{
    return key.toUtf8() + '=' + escapeValue(value).toUtf8() + '\n';
}

QByteArray listValue(const QStringList &items)
{
    QByteArray value;
    for (const QString &item : items)
        value += item.toUtf8() + ';';
    return value;
}

} // namespace

std::optional<QString> programProblem(const QString &program)
{
    if (!hasUndecodableBytes(program))
        return std::nullopt;
    return QStringLiteral("Der Pfad von Kelo the Scriv, %1, enthält Zeichen, die nicht in UTF-8 "
                          "geschrieben sind. Die Dateien des Desktops können ihn nicht nennen, "
                          "darum wurde nichts eingetragen. Bitte Kelo in einen Ordner legen, "
                          "dessen Name in UTF-8 geschrieben ist.")
        .arg(program);
}

QString programOfCommand(const QString &command)
{
    if (command.endsWith(commandPlaceholder))
        return command.left(command.size() - commandPlaceholder.size());
    return command;
}

QString execValue(const QString &program)
{
    // Inside double quotes the Desktop Entry rules escape ", `, $ and \ with
    // a backslash; a literal % is %% anywhere in the line.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QStringLiteral("\" %f");
    // The string escapes apply before the quoting, so they come last here.
    return escapeValue(quoted);
}

QString escapeValue(const QString &value)
{
    QString escaped;
    escaped.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\'))
            escaped += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            escaped += QStringLiteral("\\r");
        // Readers drop blanks around a value; "\s" keeps them.
        else if (c == QLatin1Char(' ') && (i == 0 || i == value.size() - 1))
            escaped += QStringLiteral("\\s");
        else
            escaped += c;
    }
    return escaped;
}

QString ownMimeType(const QString &extensionKey)
{
    const QString extension =
        extensionKey.startsWith(QLatin1Char('.')) ? extensionKey.mid(1) : extensionKey;
    if (extension.isEmpty())
        return ownTypePrefix + QLatin1Char('_');
    QString subtype;
    for (const char byte : extension.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.')
            subtype += QLatin1Char(char(c));
        else
            subtype +=
                QLatin1Char('_') + QString::number(c, 16).rightJustified(2, QLatin1Char('0'));
    }
    // update-mime-database keeps every type in a file named after it, and a
    // file name holds at most 255 bytes: a long name keeps its start and
    // gets a checksum of the whole extension in place of the rest.
    if (subtype.size() > maxEncodedLength) {
        const QByteArray sum =
            QCryptographicHash::hash(extension.toUtf8(), QCryptographicHash::Sha1).toHex();
        subtype = subtype.left(maxEncodedLength - 17) + QLatin1Char('-') +
                  QString::fromLatin1(sum.left(16));
    }
    return ownTypePrefix + subtype;
}

QByteArray desktopEntry(const QString &name, const QString &program, const QStringList &mimeTypes,
                        Installed installed)
{
    QByteArray text = "[Desktop Entry]\nType=Application\n";
    text += line(QStringLiteral("Name"), name);
    text += "GenericName=Texteditor\n"
            "Comment=Textdateien ansehen und bearbeiten\n";
    text += "Exec=" + execValue(program).toUtf8() + '\n';
    text += line(QStringLiteral("Icon"), iconName(installed));
    if (installed == Installed::Yes)
        text += "NoDisplay=true\n";
    text += "Terminal=false\n"
            "Categories=Utility;TextEditor;\n";
    if (!mimeTypes.isEmpty())
        text += "MimeType=" + listValue(mimeTypes) + '\n';
    return text;
}

QByteArray serviceMenu(const QString &name, const QString &program, Installed installed)
{
    // Dolphin reads the action from here; "all/allfiles" is KDE's name for
    // every file that is not a folder.
    QByteArray text = "[Desktop Entry]\nType=Application\n";
    text += line(QStringLiteral("Name"), name);
    text += "Exec=" + execValue(program).toUtf8() + '\n';
    text += line(QStringLiteral("Icon"), iconName(installed));
    text += "NoDisplay=true\n"
            "MimeType=all/allfiles;\n"
            "Actions=kelo;\n"
            "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
            "X-KDE-Priority=TopLevel\n"
            "\n"
            "[Desktop Action kelo]\n";
    text += line(QStringLiteral("Name"), name);
    text += line(QStringLiteral("Icon"), iconName(installed));
    text += "Exec=" + execValue(program).toUtf8() + '\n';
    return text;
}

QByteArray mimePackage(const QList<OwnType> &types)
{
    QByteArray text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(
        QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
    xml.writeStartElement(QStringLiteral("mime-info"));
    for (const OwnType &type : types) {
        xml.writeStartElement(QStringLiteral("mime-type"));
        xml.writeAttribute(QStringLiteral("type"), type.mimeType);
        xml.writeTextElement(QStringLiteral("comment"), type.comment);
        xml.writeEmptyElement(QStringLiteral("glob"));
        xml.writeAttribute(QStringLiteral("pattern"), QLatin1Char('*') + type.extensionKey);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return text;
}

QByteArray withDefaultApplication(const QByteArray &mimeapps, const QString &mimeType,
                                  const QString &desktopId)
{
    const bool crlf = mimeapps.contains("\r\n");
    const QByteArray cr = crlf ? QByteArray("\r") : QByteArray();
    const bool endedWithNewline = mimeapps.isEmpty() || mimeapps.endsWith('\n');
    QList<QByteArray> lines = mimeapps.split('\n');
    if (endedWithNewline)
        lines.removeLast(); // the nothing after the last line end
    const QByteArray key = mimeType.toUtf8();
    const QByteArray id = desktopId.toUtf8();

    // The first [Default Applications] section: where it starts and ends.
    qsizetype sectionStart = -1;
    qsizetype sectionEnd = lines.size();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray trimmed = lines.at(i).trimmed();
        if (!trimmed.startsWith('['))
            continue;
        if (sectionStart >= 0) {
            sectionEnd = i;
            break;
        }
        if (trimmed == defaultSection)
            sectionStart = i;
    }

    if (sectionStart < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(cr);
        lines.append(defaultSection + cr);
        lines.append(key + '=' + id + ';' + cr);
    } else {
        qsizetype found = -1;
        qsizetype lastFilled = sectionStart;
        for (qsizetype i = sectionStart + 1; i < sectionEnd; ++i) {
            const QByteArray trimmed = lines.at(i).trimmed();
            if (!trimmed.isEmpty())
                lastFilled = i;
            const qsizetype equals = trimmed.indexOf('=');
            if (found < 0 && !trimmed.startsWith('#') && equals > 0 &&
                QString::fromUtf8(trimmed.left(equals).trimmed())
                        .compare(mimeType, Qt::CaseInsensitive) == 0)
                found = i;
        }
        if (found >= 0) {
            const QByteArray trimmed = lines.at(found).trimmed();
            const qsizetype equals = trimmed.indexOf('=');
            QByteArray value = id + ';';
            for (const QByteArray &item : trimmed.mid(equals + 1).split(';')) {
                const QByteArray entry = item.trimmed();
                if (!entry.isEmpty() && entry != id)
                    value += entry + ';';
            }
            // The line keeps its own end: in a file of mixed ends the file's
            // kind would change it again on every call.
            const QByteArray end = lines.at(found).endsWith('\r') ? QByteArray("\r") : QByteArray();
            lines[found] = trimmed.left(equals).trimmed() + '=' + value + end;
        } else {
            lines.insert(lastFilled + 1, key + '=' + id + ';' + cr);
        }
    }

    // The file now ends with a line end, whether or not it did before.
    return lines.join('\n') + '\n';
}

} // namespace kelo::desktop
