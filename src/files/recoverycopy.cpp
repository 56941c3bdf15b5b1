#include "files/recoverycopy.h"

#include "platform/filenames.h"
#include "platform/memorysnapshot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelo {

namespace {

const QByteArray magic = "Kelo-Sicherungskopie 1";
const QString copySuffix = QStringLiteral(".copy");
const QString lockSuffix = QStringLiteral(".lock");
const QString newSuffix = QStringLiteral(".copy.new");
const QString damagedSuffix = QStringLiteral(".beschaedigt");

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray nativeName(const QString &path)
{
    return encodeFileName(path);
}

QByteArray breakName(FinalBreak finalBreak)
{
    switch (finalBreak) {
    case FinalBreak::NewText:
        return "new";
    case FinalBreak::None:
        return "none";
    case FinalBreak::CrLf:
        return "crlf";
    case FinalBreak::Lf:
        return "lf";
    case FinalBreak::Cr:
        return "cr";
    }
    return "new";
}

std::optional<FinalBreak> breakOf(QByteArrayView name)
{
    for (FinalBreak b : {FinalBreak::NewText, FinalBreak::None, FinalBreak::CrLf, FinalBreak::Lf,
                         FinalBreak::Cr}) {
        if (name == breakName(b))
            return b;
    }
    return std::nullopt;
}

// A big copy is read and checksummed in pieces of this size, each of them
// told, so that the window can say how far it is.
constexpr qsizetype readPiece = 16 * 1024 * 1024;

QByteArray checksum(QByteArrayView text, const ReadTold &told = {})
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (qsizetype done = 0; done < text.size();) {
        const qsizetype piece = std::min(text.size() - done, readPiece);
        hash.addData(text.sliced(done, piece));
        done += piece;
        if (told)
            told(done, text.size());
    }
    return hash.result().toHex();
}

bool writeAll(int fd, QByteArrayView bytes, int *error)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const size_t chunk = size_t(std::min<qsizetype>(bytes.size() - done, 1 << 30));
        const ssize_t wrote = ::write(fd, bytes.data() + done, chunk);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            *error = wrote < 0 ? errno : ENOSPC;
            return false;
        }
        done += wrote;
    }
    return true;
}

// told, if set, hears the bytes read so far of the file's size.
std::optional<QByteArray> readWhole(const QString &path, int *error, const ReadTold &told)
{
    const int fd = ::open(nativeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return std::nullopt;
    }
    QByteArray bytes;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = errno ? errno : EINVAL;
        ::close(fd);
        return std::nullopt;
    }
    try {
        bytes.resize(qsizetype(info.st_size));
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done,
                                       size_t(std::min(bytes.size() - done, readPiece)));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                *error = got < 0 ? errno : 0;
                break;
            }
            done += got;
            if (told)
                told(done, bytes.size());
        }
        bytes.truncate(done);
    } catch (const std::bad_alloc &) {
        *error = ENOMEM;
        ::close(fd);
        return std::nullopt;
    }
    ::close(fd);
    return bytes;
}

bool sameFile(int fd, const QByteArray &name)
{
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::lstat(name.constData(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Makes a locked file appear under the name at once, or not at all: it is
// created and locked under a private name and then linked to the name,
// which fails when the name is taken. Nobody can see the file unlocked.
int createLocked(const QString &folder, const QString &name)
{
    const QString draft = QStringLiteral("%1/.%2.%3.%4")
                              .arg(folder, name)
                              .arg(::getpid())
                              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const QByteArray draftName = nativeName(draft);
    const int fd = ::open(draftName.constData(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return -1;
    const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                       ::link(draftName.constData(),
                              nativeName(folder + QLatin1Char('/') + name).constData()) == 0;
    const int error = errno;
    ::unlink(draftName.constData());
    if (!taken) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

namespace {

// The header of a copy whose text has the given length and checksum. The
// checksum comes last, followed only by the blank line that ends the header:
// a copy written as it is read can have its checksum put in afterwards.
QByteArray headerOf(const RecoveryCopy &copy, qsizetype length, const QByteArray &sum)
{
    QByteArray header = magic + '\n';
    header += "path " +
              (copy.path.isEmpty() ? QByteArray("-") : nativeName(copy.path).toPercentEncoding()) +
              '\n';
    header += QByteArray("encoding ") +
              (copy.format.encoding == Encoding::Windows1252 ? "windows-1252" : "utf-8") + '\n';
    header += QByteArray("byte-order-mark ") + (copy.format.byteOrderMark ? "1" : "0") + '\n';
    header += QByteArray("unix-line-ends ") + (copy.format.unixLineEnds ? "1" : "0") + '\n';
    header += "final-break " + breakName(copy.format.finalBreak) + '\n';
    if (copy.identity.exists) {
        header += "file " + QByteArray::number(copy.identity.device) + ' ' +
                  QByteArray::number(copy.identity.inode) + ' ' +
                  QByteArray::number(copy.identity.size) + ' ' +
                  QByteArray::number(copy.identity.modifiedNs) + '\n';
    } else {
        header += "file -\n";
    }
    header += "written " + copy.written.toUTC().toString(Qt::ISODateWithMs).toLatin1() + '\n';
    header += "length " + QByteArray::number(length) + '\n';
    header += "sha1 " + sum + '\n';
    header += '\n';
    return header;
}

constexpr qsizetype sumLength = 40; // SHA-1 in hexadecimal

} // namespace

QByteArray recoveryHeader(const RecoveryCopy &copy)
{
    return headerOf(copy, copy.text.size(), checksum(copy.text));
}

std::optional<RecoveryCopy> parseRecoveryCopy(QByteArray bytes, QString *reason,
                                              const ReadTold &told)
{
    const auto fail = [reason](const QString &why) -> std::optional<RecoveryCopy> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    if (bytes.isEmpty())
        return fail(QStringLiteral("die Datei ist leer"));
    const qsizetype end = bytes.indexOf("\n\n");
    if (end < 0 || !bytes.startsWith(QByteArray(magic + '\n')))
        return fail(QStringLiteral("der Kopf der Datei fehlt oder ist unvollständig"));

    RecoveryCopy copy;
    std::optional<qsizetype> length;
    QByteArray sum;
    bool seen[9] = {};
    const QList<QByteArray> lines =
        bytes.first(end).split('\n').mid(1); // without the magic line
    for (const QByteArray &line : lines) {
        const qsizetype space = line.indexOf(' ');
        const QByteArray key = line.first(space < 0 ? line.size() : space);
        const QByteArray value = space < 0 ? QByteArray() : line.sliced(space + 1);
        bool ok = true;
        int slot = -1;
        if (key == "path") {
            slot = 0;
            copy.path = value == "-" ? QString() : decodeFileName(QByteArray::fromPercentEncoding(value));
        } else if (key == "encoding") {
            slot = 1;
            ok = value == "utf-8" || value == "windows-1252";
            copy.format.encoding = value == "utf-8" ? Encoding::Utf8 : Encoding::Windows1252;
        } else if (key == "byte-order-mark") {
            slot = 2;
            ok = value == "0" || value == "1";
            copy.format.byteOrderMark = value == "1";
        } else if (key == "unix-line-ends") {
            slot = 3;
            ok = value == "0" || value == "1";
            copy.format.unixLineEnds = value == "1";
        } else if (key == "final-break") {
            slot = 4;
            const std::optional<FinalBreak> b = breakOf(value);
            ok = b.has_value();
            copy.format.finalBreak = b.value_or(FinalBreak::NewText);
        } else if (key == "file") {
            slot = 5;
            if (value != "-") {
                const QList<QByteArray> parts = value.split(' ');
                ok = parts.size() == 4;
                bool each[4] = {};
                if (ok) {
                    copy.identity.exists = true;
                    copy.identity.device = parts[0].toULongLong(&each[0]);
                    copy.identity.inode = parts[1].toULongLong(&each[1]);
                    copy.identity.size = parts[2].toLongLong(&each[2]);
                    copy.identity.modifiedNs = parts[3].toLongLong(&each[3]);
                    ok = each[0] && each[1] && each[2] && each[3];
                }
            }
        } else if (key == "written") {
            slot = 6;
            copy.written = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODateWithMs);
            ok = copy.written.isValid();
        } else if (key == "length") {
            slot = 7;
            length = value.toLongLong(&ok);
            ok = ok && *length >= 0;
        } else if (key == "sha1") {
            slot = 8;
            sum = value;
        }
        if (slot < 0 || !ok || seen[slot])
            return fail(QStringLiteral("die Zeile „%1“ im Kopf ist unbekannt oder falsch")
                            .arg(QString::fromUtf8(line)));
        seen[slot] = true;
    }
    if (!std::all_of(std::begin(seen), std::end(seen), [](bool s) { return s; }))
        return fail(QStringLiteral("im Kopf fehlen Angaben"));
    const QByteArrayView text = QByteArrayView(bytes).sliced(end + 2);
    if (text.size() != *length)
        return fail(QStringLiteral("der Text ist %1 statt %2 Bytes lang")
                        .arg(text.size())
                        .arg(*length));
    if (checksum(text, told) != sum)
        return fail(QStringLiteral("die Prüfsumme des Textes stimmt nicht"));
    bytes.remove(0, end + 2);
    copy.text = std::move(bytes);
    return copy;
}

QString defaultRecoveryFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // Relative values are to be ignored, as for every XDG folder.
    if (!state.startsWith(QLatin1Char('/')))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Kelo");
}

QString prepareRecoveryFolder(const QString &folder)
{
    const QByteArray name = nativeName(folder);
    // The parents are made as the user's umask says; the folder itself only
    // for this user.
    const QString parent = folder.section(QLatin1Char('/'), 0, -2);
    if (!parent.isEmpty() && !QDir().mkpath(parent))
        return QStringLiteral("Der Ordner %1 kann nicht angelegt werden.").arg(parent);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("Der Ordner %1 kann nicht angelegt werden: %2")
            .arg(folder, systemError(errno));
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return QStringLiteral("%1 ist kein Ordner.").arg(folder);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("Der Ordner %1 gehört einem anderen Benutzer.").arg(folder);
    if ((info.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)
        return QStringLiteral("Der Ordner %1 kann nicht geschützt werden: %2")
            .arg(folder, systemError(errno));
    return {};
}

RecoverySlot::RecoverySlot(QString folder)
    : m_folder(std::move(folder))
{}

RecoverySlot::~RecoverySlot()
{
    // The copy stays for the next start; only the lock goes, with the handle.
    if (m_lock >= 0)
        ::close(m_lock);
}

QString RecoverySlot::copyPath() const
{
    return m_id.isEmpty() ? QString() : m_folder + QLatin1Char('/') + m_id + copySuffix;
}

QString RecoverySlot::ensureLock()
{
    if (m_lock >= 0)
        return {};
    if (const QString problem = prepareRecoveryFolder(m_folder); !problem.isEmpty())
        return problem;
    for (int attempt = 0; attempt < 8 && m_lock < 0; ++attempt) {
        m_id = QStringLiteral("%1-%2").arg(::getpid()).arg(
            QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        m_lock = createLocked(m_folder, m_id + lockSuffix);
        if (m_lock < 0 && errno != EEXIST)
            break;
    }
    if (m_lock < 0) {
        const QString reason = systemError(errno);
        m_id.clear();
        return QStringLiteral("Im Ordner %1 kann keine Sicherungskopie angelegt werden: %2")
            .arg(m_folder, reason);
    }
    return {};
}

QString RecoverySlot::write(const RecoveryCopy &copy)
{
    return writeDraft(copy, copy.text.size(), [&copy](int fd, QCryptographicHash &sum, int *error) {
        sum.addData(copy.text);
        return writeAll(fd, copy.text, error);
    });
}

QString RecoverySlot::write(const RecoveryCopy &copy, MemorySnapshot &text)
{
    return writeDraft(copy, text.size(), [&text](int fd, QCryptographicHash &sum, int *error) {
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        for (;;) {
            const qsizetype got = text.read(buffer.data(), buffer.size());
            if (got == 0)
                return true;
            if (got < 0) {
                *error = errno;
                return false;
            }
            const QByteArrayView piece(buffer.constData(), got);
            sum.addData(piece);
            if (!writeAll(fd, piece, error))
                return false;
        }
    });
}

QString RecoverySlot::writeDraft(const RecoveryCopy &copy, qsizetype length, const TextFeed &feed)
{
    if (const QString problem = ensureLock(); !problem.isEmpty())
        return problem;
    const QByteArray draft = nativeName(m_folder + QLatin1Char('/') + m_id + newSuffix);
    const int fd = ::open(draft.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        return QStringLiteral("Die Sicherungskopie %1 kann nicht angelegt werden: %2")
            .arg(copyPath(), systemError(errno));
    // The text is checksummed while it is written; its checksum then takes
    // the place kept for it at the end of the header.
    const QByteArray header = headerOf(copy, length, QByteArray(sumLength, '0'));
    const off_t sumAt = off_t(header.size() - sumLength - 2);
    QCryptographicHash sum(QCryptographicHash::Sha1);
    int error = 0;
    bool written = writeAll(fd, header, &error) && feed(fd, sum, &error);
    if (written) {
        const QByteArray hex = sum.result().toHex();
        const ssize_t wrote = ::pwrite(fd, hex.constData(), size_t(hex.size()), sumAt);
        if (wrote != hex.size()) {
            error = wrote < 0 ? errno : ENOSPC;
            written = false;
        }
    }
    if (written && ::fsync(fd) != 0) {
        error = errno;
        written = false;
    }
    if (::close(fd) != 0 && written) {
        error = errno;
        written = false;
    }
    if (written && ::rename(draft.constData(), nativeName(copyPath()).constData()) != 0) {
        error = errno;
        written = false;
    }
    if (!written) {
        ::unlink(draft.constData());
        return QStringLiteral("Die Sicherungskopie %1 kann nicht geschrieben werden: %2")
            .arg(copyPath(), systemError(error));
    }
    return {};
}

void RecoverySlot::remove(bool release)
{
    if (m_id.isEmpty())
        return;
    const QString base = m_folder + QLatin1Char('/') + m_id;
    ::unlink(nativeName(base + newSuffix).constData());
    ::unlink(nativeName(base + copySuffix).constData());
    if (release && m_lock >= 0) {
        ::unlink(nativeName(base + lockSuffix).constData());
        ::close(m_lock);
        m_lock = -1;
        m_id.clear();
    }
}

Leftover::Leftover(QString copyPath, QString lockPath, int lock)
    : m_copyPath(std::move(copyPath))
    , m_lockPath(std::move(lockPath))
    , m_lock(lock)
{}

Leftover::~Leftover()
{
    if (m_lock >= 0)
        ::close(m_lock);
}

std::optional<RecoveryCopy> Leftover::read(QString *reason, const ReadTold &told) const
{
    // Reading and checksumming count alike: each is half of the work.
    const auto half = [&told](bool second) -> ReadTold {
        if (!told)
            return {};
        return [&told, second](qint64 done, qint64 all) {
            told((second ? all : 0) + done, 2 * all);
        };
    };
    int error = 0;
    std::optional<QByteArray> bytes = readWhole(m_copyPath, &error, half(false));
    if (!bytes) {
        if (reason)
            *reason = systemError(error);
        return std::nullopt;
    }
    return parseRecoveryCopy(std::move(*bytes), reason, half(true));
}

qint64 Leftover::copySize() const
{
    struct stat info {};
    return ::stat(nativeName(m_copyPath).constData(), &info) == 0 ? qint64(info.st_size) : 0;
}

void Leftover::remove()
{
    ::unlink(nativeName(m_copyPath).constData());
    ::unlink(nativeName(m_lockPath).constData());
    ::close(m_lock);
    m_lock = -1;
}

QString Leftover::setAside()
{
    QString target = m_copyPath + damagedSuffix;
    for (int n = 2; ::access(nativeName(target).constData(), F_OK) == 0; ++n)
        target = m_copyPath + damagedSuffix + QLatin1Char('-') + QString::number(n);
    if (::rename(nativeName(m_copyPath).constData(), nativeName(target).constData()) != 0)
        target = m_copyPath; // left where it is; it is not offered while its lock is taken
    ::unlink(nativeName(m_lockPath).constData());
    ::close(m_lock);
    m_lock = -1;
    return target;
}

std::vector<std::unique_ptr<Leftover>> claimLeftovers(const QString &folder)
{
    std::vector<std::unique_ptr<Leftover>> found;
    DIR *dir = ::opendir(nativeName(folder).constData());
    if (!dir)
        return found;
    QStringList names;
    while (const dirent *entry = ::readdir(dir))
        names.append(decodeFileName(entry->d_name));
    ::closedir(dir);

    const auto path = [&folder](const QString &name) -> QString {
        return folder + QLatin1Char('/') + name;
    };
    struct Found {
        qint64 time;
        std::unique_ptr<Leftover> leftover;
    };
    std::vector<Found> claimed;
    for (const QString &name : names) {
        if (name.startsWith(QLatin1Char('.'))) {
            // A lock being made when its maker was killed: nobody holds it.
            if (name.size() > 1 && name.contains(lockSuffix + QLatin1Char('.'))) {
                const QByteArray stray = nativeName(path(name));
                const int fd = ::open(stray.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
                if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, stray))
                    ::unlink(stray.constData());
                if (fd >= 0)
                    ::close(fd);
            }
            continue;
        }
        QString id;
        bool lockMissing = false;
        if (name.endsWith(lockSuffix)) {
            id = name.chopped(lockSuffix.size());
        } else if (name.endsWith(copySuffix) && !names.contains(name.chopped(copySuffix.size()) +
                                                                lockSuffix)) {
            id = name.chopped(copySuffix.size());
            lockMissing = true;
        } else {
            continue;
        }
        const QString lockPath = path(id + lockSuffix);
        const QByteArray lockName = nativeName(lockPath);
        int fd = -1;
        if (lockMissing) {
            // A copy without its lock (someone removed it): claimed by making
            // a lock for it the way a window makes its own.
            fd = createLocked(folder, id + lockSuffix);
        } else {
            fd = ::open(lockName.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
            // A lock that cannot be taken belongs to a running Kelo; one that
            // was replaced while we took it is looked at next time.
            if (fd >= 0 && (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !sameFile(fd, lockName))) {
                ::close(fd);
                fd = -1;
            }
        }
        if (fd < 0)
            continue;
        const QString copyPath = path(id + copySuffix);
        ::unlink(nativeName(path(id + newSuffix)).constData()); // half written when it was killed
        struct stat info {};
        if (::lstat(nativeName(copyPath).constData(), &info) != 0) {
            ::unlink(lockName.constData());
            ::close(fd);
            continue;
        }
        claimed.push_back({qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                           std::make_unique<Leftover>(copyPath, lockPath, fd)});
    }
    std::sort(claimed.begin(), claimed.end(),
              [](const Found &a, const Found &b) { return a.time < b.time; });
    for (Found &f : claimed)
        found.push_back(std::move(f.leftover));
    return found;
}

} // namespace kelo
