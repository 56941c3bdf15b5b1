#include "files/recoverykeeper.h"

#include "platform/messagebox.h"
#include "platform/textbox.h"

#include <QLocale>
#include <QMetaObject>

#include <new>
#include <utility>

namespace kelo {

RecoveryKeeper::RecoveryKeeper(QString folder, TextBox &editor,
                               std::function<RecoveryCopy()> describe, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_editor(editor)
    , m_describe(std::move(describe))
    , m_slot(m_folder)
{
    m_pause.setSingleShot(true);
    m_longest.setSingleShot(true);
    setIntervals(std::chrono::seconds(2), std::chrono::seconds(30));
    connect(&m_pause, &QTimer::timeout, this, &RecoveryKeeper::takeCopy);
    connect(&m_longest, &QTimer::timeout, this, &RecoveryKeeper::takeCopy);
    connect(&editor, &TextBox::textChanged, this, &RecoveryKeeper::textChanged);
    connect(&editor, &TextBox::modificationChanged, this, &RecoveryKeeper::modificationChanged);
    m_writer = std::thread([this] { run(); });
}

RecoveryKeeper::~RecoveryKeeper()
{
    if (!m_keep)
        enqueue({Job::Kind::Release, {}});
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_writer.join();
}

void RecoveryKeeper::setIntervals(std::chrono::milliseconds pause,
                                  std::chrono::milliseconds longest)
{
    m_pause.setInterval(pause);
    m_longest.setInterval(longest);
}

void RecoveryKeeper::textChanged()
{
    m_keep = false;
    if (!m_editor.isModified())
        return;
    m_pause.start();
    if (!m_longest.isActive())
        m_longest.start();
}

void RecoveryKeeper::modificationChanged(bool modified)
{
    // A whole-text command on a text as it was loaded tells its change before
    // its undo step goes in, and only the step makes the text modified: the
    // copy is started here then, or that change would never get one.
    if (modified) {
        textChanged();
        return;
    }
    // Saved, loaded afresh, or undone back to the saved state: nothing to keep.
    m_pause.stop();
    m_longest.stop();
    enqueue({Job::Kind::Remove, {}});
}

void RecoveryKeeper::copyNow()
{
    if (m_editor.isModified())
        takeCopy();
}

void RecoveryKeeper::keepCopy()
{
    copyNow();
    waitUntilWritten();
    m_keep = true;
}

namespace {

// Up to this size a copy of the buffer costs less than starting the child of
// a snapshot (about a millisecond either way, each of them for fresh pages).
constexpr qsizetype longestCopied = 1 << 20;

} // namespace

void RecoveryKeeper::takeCopy()
{
    m_pause.stop();
    m_longest.stop();
    Job job{Job::Kind::Write, m_describe()};
    job.copy.written = QDateTime::currentDateTimeUtc();
    // The one piece of work on this thread: the text taken as it is now, so
    // that the writer never looks at a text that typing changes.
    const QByteArrayView buffer = m_editor.utf8View();
    if (buffer.size() > longestCopied)
        job.snapshot = MemorySnapshot::take(buffer);
    if (!job.snapshot) {
        try {
            job.copy.text = buffer.toByteArray();
        } catch (const std::bad_alloc &) {
            report(QStringLiteral("Für die Sicherungskopie ist nicht genug Speicher frei."));
            return;
        }
    }
    enqueue(std::move(job));
}

void RecoveryKeeper::enqueue(Job job)
{
    {
        const std::lock_guard lock(m_mutex);
        // Only the newest copy matters; a removal makes every copy before it
        // pointless.
        if (job.kind == Job::Kind::Remove || job.kind == Job::Kind::Release) {
            std::erase_if(m_jobs, [](const Job &j) { return j.kind == Job::Kind::Write; });
        } else if (!m_jobs.empty() && m_jobs.back().kind == Job::Kind::Write) {
            m_jobs.back() = std::move(job);
            return;
        }
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_all();
}

void RecoveryKeeper::waitUntilWritten()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

QString RecoveryKeeper::copyPath() const
{
    // Set by the writer before its first copy; read after waitUntilWritten().
    return m_slot.copyPath();
}

void RecoveryKeeper::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_jobs.empty()) {
            if (m_stop)
                break;
            continue;
        }
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        QString problem;
        switch (job.kind) {
        case Job::Kind::Write:
            problem = job.snapshot ? m_slot.write(job.copy, *job.snapshot) : m_slot.write(job.copy);
            QMetaObject::invokeMethod(this, [this, problem] { report(problem); },
                                      Qt::QueuedConnection);
            break;
        case Job::Kind::Remove:
        case Job::Kind::Release:
            m_slot.remove(job.kind == Job::Kind::Release);
            break;
        }
        job = {}; // a snapshot's child ends here, not under the lock
        lock.lock();
        m_busy = false;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
    m_idle.notify_all();
}

void RecoveryKeeper::report(const QString &problem)
{
    if (problem.isEmpty()) {
        m_saidFailure = false;
        return;
    }
    if (m_saidFailure)
        return;
    m_saidFailure = true;
    Q_EMIT failed(problem + QStringLiteral(" Ohne Sicherungskopie geht bei einem Absturz "
                                           "verloren, was nicht gespeichert ist."));
}

void offerRecoveryCopies(const QString &folder, MessageBoxes &messages,
                         const std::function<bool(RecoveryCopy &&)> &restore,
                         const std::function<void(const QString &)> &status,
                         const std::function<std::unique_ptr<WorkProgress>(qint64)> &reading)
{
    std::vector<std::unique_ptr<Leftover>> leftovers = claimLeftovers(folder);
    for (std::size_t i = 0; i < leftovers.size(); ++i) {
        Leftover &leftover = *leftovers[i];
        QString reason;
        std::optional<RecoveryCopy> copy;
        {
            // A long copy takes seconds to be read and checked; the box is
            // gone again before its question.
            const qint64 size = leftover.copySize();
            const std::unique_ptr<WorkProgress> progress = reading ? reading(size) : nullptr;
            WorkMeter meter(progress.get(), 2 * size); // read, then checksummed
            copy = leftover.read(&reason, progress ? meter.unstoppableRest() : ReadTold());
        }
        if (!copy) {
            const QString aside = leftover.setAside();
            messages.show(QStringLiteral("Die Sicherungskopie %1 ist beschädigt (%2) und wurde "
                                         "beiseitegelegt als %3.")
                              .arg(leftover.copyPath(), reason, aside),
                          MsgButtons::Ok, MsgIcon::Critical);
            continue;
        }
        const QLocale german(QLocale::German, QLocale::Germany);
        const QDateTime when = copy->written.toLocalTime();
        const QString what = copy->path.isEmpty()
                                 ? QStringLiteral("eines neuen Textes ohne Dateinamen")
                                 : QStringLiteral("von %1").arg(copy->path);
        const QString question =
            QStringLiteral("Kelo wurde beendet, ohne einen geänderten Text zu speichern. Es gibt "
                           "eine Sicherungskopie %1, zuletzt gesichert am %2 um %3 Uhr (%4 "
                           "Zeilen).\n\nSoll dieser Text wiederhergestellt werden ?")
                .arg(what, german.toString(when.date(), QStringLiteral("dd.MM.yyyy")),
                     german.toString(when.time(), QStringLiteral("HH:mm:ss")))
                .arg(copy->text.count("\r\n") + 1);
        switch (messages.show(question, MsgButtons::YesNo, MsgIcon::None, {}, MsgAnswer::Yes)) {
        case MsgAnswer::Yes:
            if (!restore(std::move(*copy)))
                return;
            leftover.remove();
            if (i + 1 < leftovers.size())
                status(QStringLiteral("Weitere Sicherungskopien werden beim nächsten Start "
                                      "angeboten."));
            return;
        case MsgAnswer::No:
            leftover.remove();
            break;
        default:
            break; // kept for a later start
        }
    }
}

} // namespace kelo
