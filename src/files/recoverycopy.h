// Recovery copies: while a text holds changes that are not saved yet, Kelo
// keeps a copy of it in the user's state folder ($XDG_STATE_HOME/Kelo, by
// default ~/.local/state/Kelo), so that a crash, a power cut or a killed
// process loses nothing. The next start offers the copy of a Kelo that is no
// longer running.
//
// Each window has its own copy, named after an id of its own: "<id>.copy",
// written whole as "<id>.copy.new" and renamed over it, so that a copy is
// either the old one or the new one, never half of each. Beside it lies
// "<id>.lock", which the window holds locked (flock) for as long as it runs:
// the system drops the lock when the process ends, however it ends, so a
// copy whose lock can be taken belongs to a Kelo that is gone. Nobody ever
// takes over the copy of a window that is still running.
#pragma once

#include "platform/fileidentity.h"
#include "platform/codepage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QCryptographicHash;

namespace kelo {

class MemorySnapshot;

// What a copy holds: the editor's text (UTF-8, CR LF) and what is needed to
// save it where it belongs, in the form its file had.
struct RecoveryCopy {
    QByteArray text;
    QString path; // the current file, "" for a new text
    TextFormat format;
    FileIdentity identity; // the file as Kelo last read or wrote it
    QDateTime written;     // when the copy was taken (UTC)
};

// The copy as the bytes of its file: a short header, then the text. The
// header carries the text's length and checksum, so a damaged copy is known.
QByteArray recoveryHeader(const RecoveryCopy &copy);
// Told how far the reading of a copy is: done of all, in units of its own.
using ReadTold = std::function<void(qint64 done, qint64 all)>;

// Reads a copy's file. A damaged one gives nullopt and the reason. The text
// keeps the bytes' own room, so that a big copy is not held twice. told, if
// set, hears how far the checksum is.
std::optional<RecoveryCopy> parseRecoveryCopy(QByteArray bytes, QString *reason,
                                              const ReadTold &told = {});

// The folder of the copies: $XDG_STATE_HOME/Kelo, or ~/.local/state/Kelo.
QString defaultRecoveryFolder();

// Makes the folder (mode 0700, parents as needed). "" when it is there, else
// a German reason (a file in its place, no permission, a full disk).
QString prepareRecoveryFolder(const QString &folder);

// The copy of this window: created on the first write, removed at the end.
// Not bound to a thread, but used from one thread at a time.
class RecoverySlot {
public:
    explicit RecoverySlot(QString folder);
    ~RecoverySlot();
    RecoverySlot(const RecoverySlot &) = delete;
    RecoverySlot &operator=(const RecoverySlot &) = delete;

    // Writes the copy atomically. "" on success, else a German reason.
    QString write(const RecoveryCopy &copy);
    // The same with the text read from a snapshot instead of copy.text.
    QString write(const RecoveryCopy &copy, MemorySnapshot &text);
    // Removes the copy (and, with release, the lock as well: at the end).
    void remove(bool release = false);

    QString copyPath() const;

private:
    // Writes the text into the file it is handed, adding it to the checksum.
    using TextFeed = std::function<bool(int fd, QCryptographicHash &sum, int *error)>;

    QString ensureLock();
    QString writeDraft(const RecoveryCopy &copy, qsizetype length, const TextFeed &feed);

    QString m_folder;
    QString m_id;
    int m_lock = -1;
};

// A copy of a Kelo that is no longer running, locked by this process while
// it is offered, so that a second window starting at the same moment leaves
// it alone.
class Leftover {
public:
    Leftover(QString copyPath, QString lockPath, int lock);
    ~Leftover(); // lets go of the copy: it stays for a later start
    Leftover(const Leftover &) = delete;
    Leftover &operator=(const Leftover &) = delete;

    QString copyPath() const { return m_copyPath; }
    // Reads the copy; nullopt and the reason when it is damaged or cannot be
    // read. told, if set, hears how far it is.
    std::optional<RecoveryCopy> read(QString *reason, const ReadTold &told = {}) const;
    // The size of the copy's file, 0 when it cannot be read.
    qint64 copySize() const;
    // Deletes the copy and its lock: the user does not want it, or has it.
    void remove();
    // Renames a damaged copy out of the way (".beschaedigt" added); returns
    // the new path.
    QString setAside();

private:
    QString m_copyPath;
    QString m_lockPath;
    int m_lock;
};

// The copies in the folder whose windows are gone, oldest first, each locked
// by the caller until it drops it. Also clears what a killed window left
// half done (a copy being written, a lock without a copy).
std::vector<std::unique_ptr<Leftover>> claimLeftovers(const QString &folder);

} // namespace kelo
