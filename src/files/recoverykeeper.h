// Keeps this window's recovery copy up to date while the text holds changes
// that are not saved: a copy is taken when typing pauses for two seconds, and
// at least every thirty seconds while it goes on. Taking the copy must not
// keep the user waiting, whatever the text's size. A short text is copied
// from the editor's buffer; a long one is frozen as a snapshot in a child
// process (see MemorySnapshot), which costs a millisecond or two and no copy
// of the text in memory. Checksumming and writing happen on a thread of
// their own, so typing does not wait for the disk. The copy goes when the
// text is saved (or back at its saved state) and when Kelo ends normally.
//
// A copy that cannot be written (the state folder read-only or missing, a
// full disk, no memory or process for the copy) is said once, through
// failed(); typing goes on and the next copy is tried as usual.
#pragma once

#include "files/recoverycopy.h"
#include "platform/memorysnapshot.h"
#include "platform/workprogress.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kelo {

class MessageBoxes;
class TextBox;

class RecoveryKeeper : public QObject {
    Q_OBJECT

public:
    // describe() tells the current file, its form and identity; the keeper
    // adds the text and the time.
    RecoveryKeeper(QString folder, TextBox &editor, std::function<RecoveryCopy()> describe,
                   QObject *parent = nullptr);
    // Ends normally: the copy is removed (unless keepCopy() was asked for).
    ~RecoveryKeeper() override;

    void setIntervals(std::chrono::milliseconds pause, std::chrono::milliseconds longest);

    // Takes a copy now when the text holds unsaved changes (a recovered
    // text, which must be safe at once).
    void copyNow();
    // The desktop session ends and no question may be asked: the copy is
    // written now, and stays when Kelo ends, for the next start to offer.
    void keepCopy();
    // Waits until every copy asked for is written (or removed).
    void waitUntilWritten();

    QString folder() const { return m_folder; }
    // This window's copy, once one was written.
    QString copyPath() const;

Q_SIGNALS:
    void failed(const QString &reason);

private:
    struct Job {
        enum class Kind { Write, Remove, Release } kind;
        RecoveryCopy copy; // to write
        // When set, the text to write, in place of copy.text.
        std::unique_ptr<MemorySnapshot> snapshot = nullptr;
    };

    void textChanged();
    void modificationChanged(bool modified);
    void takeCopy();
    void enqueue(Job job);
    void run();
    void report(const QString &problem);

    QString m_folder;
    TextBox &m_editor;
    std::function<RecoveryCopy()> m_describe;
    QTimer m_pause;
    QTimer m_longest;
    bool m_keep = false;
    bool m_saidFailure = false;

    // Shared with the writing thread.
    RecoverySlot m_slot;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_writer;
};

// Offers the copies of Kelo windows that are gone, oldest first, each in a
// question whose default is "Ja": "Ja" hands the copy to restore() and
// removes it (after restore() made the copy safe again), and the others stay
// for a later start, as that copy does when restore() returns false;
// "Nein" removes the copy; going back leaves it for a later start. A damaged
// copy is set aside and named in a message. reading, if set, gives what shows
// how far a copy of the given size in bytes is read, before its question (or
// nothing, for a short one); it cannot be stopped.
void offerRecoveryCopies(const QString &folder, MessageBoxes &messages,
                         const std::function<bool(RecoveryCopy &&)> &restore,
                         const std::function<void(const QString &)> &status,
                         const std::function<std::unique_ptr<WorkProgress>(qint64)> &reading = {});

} // namespace kelo
