#pragma once
// Every append of the screens runs on one thread, in order, so that a share that hangs
// never holds up a screen; a record the share cannot take now waits in the spool on this
// PC and is sent on when the share answers again.

#include "files/data_folder_probe.h"
#include "files/file_error.h"
#include "files/journal_lock.h"
#include "files/punch_journal.h"
#include "files/working_hours.h"
#include "spool/record_spool.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace tavomi {

enum class WriteOrder {
    LockingFirst,         // the card screens': lock present -> busy, then the journal
    CheckingJournalFirst  // the manual entry's: lock, journal, then take the lock
};

struct WriteRequest {
    QString line;
    WriteOrder order = WriteOrder::LockingFirst;
    // After a written record, the date whose working hours are made sure of (manual entry).
    std::optional<QDate> hoursDate;
    QDateTime madeAt;  // when the spool keeps it, this is its time
};

struct WriteResult {
    enum class Kind {
        Written,
        Kept,  // in the spool on this PC, to be sent when the share answers
        Busy,
        JournalMissing,
        Failed  // `error` holds the FileError (or other exception) to report
    };
    Kind kind = Kind::Failed;
    std::exception_ptr error;
    // With hoursDate, after Written: the derivation's outcome, or its error.
    std::optional<DerivationOutcome> hours;
    std::exception_ptr hoursError;
};

struct SpoolStatus {
    int waiting = 0;
    QDateTime oldest;                    // when the oldest waiting record was kept
    std::filesystem::path setAsideFile;  // set when damaged spool bytes were moved there
    bool operator==(const SpoolStatus&) const = default;
};

// True when the error is a network share's refusal of the journal that another PC's lock
// on it explains (EAGAIN, or EACCES where this account may write it): that PC is
// writing, or stopped while it held the lock; no fault of this PC's. On a local disk the
// same refusal is another program of this PC, reported as it is.
bool anotherPcHoldsTheJournal(const FileError& error, const std::filesystem::path& journal);

// True when the data folder is gone, or none of its files is there (an empty mount point).
bool shareLooksUnreachable(const std::filesystem::path& appFolder);

class JournalWriter {
  public:
    using Clock = std::function<QDateTime()>;
    using StatusChanged = std::function<void(const SpoolStatus&)>;
    // One append in the given order; tests put a share that hangs or fails in between.
    // `whileLocked` runs under the journal's lock (see writeRecordLockingFirst).
    using Append = std::function<WriteOutcome(const std::filesystem::path& appFolder,
                                              const QString& line, JournalLock& lock,
                                              WriteOrder order, const WhileLocked& whileLocked)>;
    static WriteOutcome appendToShare(const std::filesystem::path& appFolder, const QString& line,
                                      JournalLock& lock, WriteOrder order,
                                      const WhileLocked& whileLocked);
    static constexpr std::chrono::milliseconds kScreenWait{2000};
    static constexpr std::chrono::milliseconds kRetryEvery{5000};
    static constexpr std::chrono::milliseconds kExitWait{3000};
    // A lock that has stood this long is no append of the moment: a punch that meets it
    // is kept and sent when the lock goes, instead of being refused as busy again and
    // again. A lock seen for less is another PC appending right now: busy.
    static constexpr std::chrono::seconds kKeepBehindALockAfter{5};
    // A record written is read back this long after: by then a write of another PC held
    // up by a network cut, which lands at the offset it was given, has landed or failed.
    // A record found overwritten is written again.
    static constexpr std::chrono::milliseconds kRecheckAfter = JournalLock::kStaleAfter;

    // Appends to the data folder of appFolder, under a journal lock of its own; keeps
    // records in spoolFolder on the local disk. `clock` dates the records it keeps.
    JournalWriter(std::filesystem::path appFolder, std::filesystem::path spoolFolder, Clock clock,
                  Append append = &appendToShare,
                  std::chrono::milliseconds recheckAfter = kRecheckAfter);
    // Waits up to kExitWait for a write in progress; a write that still hangs is left to
    // the process's end (its record is in the spool by then).
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Told whenever the spool's status changes: on the writer's thread, or on a screen's
    // thread when its wait ran out and it kept the record itself (await).
    void setStatusChanged(StatusChanged onChange);

    // Starts the thread, which first sends on what an earlier run left in the spool. The
    // first submit starts it too.
    void start();

    // From now on every record is kept in the spool at once and nothing is sent, nor the
    // thread started: the clock runs on its local copy while the share is away, and the
    // next start, with its checks, sends what waits. The status is told once at once.
    void keepWithoutSending();

    class Pending;
    // While the share is known not to answer (a write hung for a screen's wait, or the last
    // try found it unreachable) the record is kept at once, and sent with the spool, in
    // order, once a send goes through again.
    std::shared_ptr<Pending> submit(WriteRequest request);

    // Waits for the outcome up to `wait` (in slices, calling `between` after each, so a
    // screen can repaint). Without an outcome by then the record is kept in the spool
    // (Kept). When the spool cannot take it either, the append may still go through, so
    // it goes on waiting for the append's own outcome: "failed" for a record that then
    // lands would have the teacher punch twice.
    static WriteResult await(const std::shared_ptr<Pending>& pending,
                             std::chrono::milliseconds wait,
                             const std::function<void()>& between = {});

    // Submit and await with kScreenWait.
    WriteResult write(WriteRequest request, const std::function<void()>& between = {});

    // Derives the date's working hours on the writer's thread, after the jobs before it,
    // as a start derives today's: a clock left running over midnight makes each new date's
    // entry. `done` is called on the writer's thread with the outcome, or with the error
    // (a FileError: the file in use by another PC for long, or not writable). While the
    // share does not answer, it is tried again with the spool's retries, never given up.
    using HoursDone = std::function<void(std::optional<DerivationOutcome>, std::exception_ptr)>;
    void deriveHoursOf(const QDate& date, HoursDone done);

    SpoolStatus spoolStatus() const;
    // The lines this writer put in the journal in this run, oldest first (the last
    // thousands at most): a teacher's records of the day when the journal cannot be read.
    QStringList recentlyWritten() const;
    const std::filesystem::path& spoolFolder() const;

  private:
    class WriterThread;
    std::shared_ptr<WriterThread> writer_;
    std::thread thread_;
};

}  // namespace tavomi
