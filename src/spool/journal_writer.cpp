#include "spool/journal_writer.h"

#include "files/cp932.h"
#include "files/data_file_io.h"
#include "files/data_folder.h"
#include "files/data_folder_probe.h"
#include "files/file_error.h"
#include "files/journal_lock.h"
#include "files/unique_fd.h"
#include "files/working_hours.h"
#include "record/punch_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// Records sent in one append and taken off the spool in one replacement: a long backlog
// goes in time proportional to its records, not to their square.
constexpr std::size_t kBatch = 500;

void log(const std::string& text) {
    std::fprintf(stderr, "tavomi: %s\n", text.c_str());
}

// The journal's size as the file server has it now (a fresh open asks it).
qint64 journalSize(const std::filesystem::path& journal) {
    const UniqueFd fd = openDataFile(journal, O_RDONLY, "cannot open");
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        throw FileError(journal, "cannot read", errno);
    }
    return st.st_size;
}

// Of the first `count` records waiting, those an append carried before a crash took the
// spool's update with it. Only a record with a note can be in the journal, and only in
// what was appended after the size the note gives (a whole line ending past it); there
// the lines equal to it are counted against the records equal to it that have notes, so
// an earlier identical record never counts and a weekend of others' records in between
// hides none.
std::vector<bool> alreadySent(const std::filesystem::path& journal, const SpoolContents& waiting,
                              std::size_t count) {
    std::vector<bool> sent(count, false);
    struct Same {
        std::vector<std::size_t> records;
        qint64 from = 0;
    };
    std::map<QByteArray, Same> noted;
    qint64 earliest = -1;
    for (std::size_t i = 0; i < count; ++i) {
        if (const auto from = waiting.sentFrom[i]) {
            Same& same = noted[lineBytesAsWritten(waiting.records[i].line)];
            same.from = same.records.empty() ? *from : std::min(same.from, *from);
            same.records.push_back(i);
            earliest = earliest < 0 ? *from : std::min(earliest, *from);
        }
    }
    if (noted.empty()) {
        return sent;
    }
    const UniqueFd fd = openDataFile(journal, O_RDONLY, "cannot open");
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        throw FileError(journal, "cannot read", errno);
    }
    // From a little before: a line cut in at an end-of-file mark starts before the size.
    const qint64 readFrom = std::max<qint64>(0, earliest - 1024);
    if (st.st_size <= readFrom) {
        return sent;
    }
    QByteArray bytes(static_cast<qsizetype>(st.st_size - readFrom), '\0');
    const ssize_t done =
        readFully(fd.get(), bytes.data(), static_cast<std::size_t>(bytes.size()), readFrom);
    if (done < 0) {
        throw FileError(journal, "cannot read", errno);
    }
    bytes.truncate(done);
    for (const auto& [line, same] : noted) {
        std::size_t found = 0;
        for (qsizetype at = bytes.indexOf(line); at >= 0; at = bytes.indexOf(line, at + 1)) {
            const bool lineStart = at > 0 ? bytes[at - 1] == '\n' : readFrom == 0;
            if (lineStart && readFrom + at + line.size() > same.from) {
                ++found;
            }
        }
        for (std::size_t k = 0; k < std::min(found, same.records.size()); ++k) {
            sent[same.records[k]] = true;
        }
    }
    return sent;
}

}  // namespace

bool anotherPcHoldsTheJournal(const FileError& error, const std::filesystem::path& journal) {
    const int errnum = error.errorNumber();
    if (error.path() != journal ||
        (errnum != EAGAIN && errnum != EWOULDBLOCK && errnum != EACCES)) {
        return false;
    }
    struct statfs fs {};
    if (::statfs(journal.c_str(), &fs) != 0) {
        return false;
    }
    // cifs (old and new magic), SMB, NFS, and FUSE file systems such as sshfs.
    static constexpr std::array<unsigned long, 5> kShares = {0xff534d42, 0xfe534d42, 0x517b, 0x6969,
                                                             0x65735546};
    if (std::find(kShares.begin(), kShares.end(), static_cast<unsigned long>(fs.f_type)) ==
        kShares.end()) {
        return false;
    }
    return errnum != EACCES || ::faccessat(AT_FDCWD, journal.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
}

bool shareLooksUnreachable(const std::filesystem::path& appFolder) {
    struct stat st {};
    const std::filesystem::path folder = appFolder / kDataFolderName;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return true;
    }
    return missingDataFiles(appFolder).size() == kRequiredFiles.size();
}

// One screen's record on its way. Its mutex guards every field but `request`; the writer
// (no screen) decides what became of it.
class JournalWriter::Pending {
  public:
    Pending(WriteRequest request, std::weak_ptr<WriterThread> writer)
        : request(std::move(request)), writer(std::move(writer)) {}

    const WriteRequest request;
    // Weak: a job still queued when the writer goes must not keep it alive.
    const std::weak_ptr<WriterThread> writer;
    std::mutex mutex;
    std::condition_variable done;
    std::optional<WriteResult> result;
    bool kept = false;       // in the spool
    bool abandoned = false;  // kept by the screen, which went on without its outcome
    bool written = false;    // in the journal, whatever the outcome says yet
    // The journal's size just before its append, once the append has begun.
    std::optional<qint64> journalSizeBefore;
};

// The writer thread's body: the jobs of the screens in order, and what waits in the spool.
// Shared by the JournalWriter and its thread, which may outlive it while a write hangs.
class JournalWriter::WriterThread {
  public:
    WriterThread(std::filesystem::path appFolder, std::filesystem::path spoolFolder, Clock clock,
                 Append append, std::chrono::milliseconds recheckAfter)
        : appFolder(std::move(appFolder)),
          spool(std::move(spoolFolder)),
          clock(std::move(clock)),
          append(std::move(append)),
          recheckAfter(recheckAfter) {}

    void run();
    // Keeps the record of a job whose wait ran out, on the screen's thread; an outcome that
    // came meanwhile wins.
    WriteResult keepForScreen(Pending& job);
    // While the share is known away, or sending is held: the record kept now, and true
    // with its outcome set; false when it goes the usual way.
    bool keepAtOnce(Pending& job);
    // Reads the spool and tells the listener when its status changed.
    void refreshStatus();

    // Set once, read from any thread.
    const std::filesystem::path appFolder;
    RecordSpool spool;  // safe from any thread by itself
    const Clock clock;
    const Append append;
    const std::chrono::milliseconds recheckAfter;

    // Screens keeping a record just now, which the send of a long backlog lets go first.
    std::atomic<int> screensKeeping{0};
    // The share did not answer the last write, or one hung for a screen's wait; cleared when
    // a record lands.
    std::atomic<bool> shareAway{false};
    std::atomic<bool> sendingHeld{false};

    // `mutex` guards these.
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::deque<std::shared_ptr<Pending>> queue;
    std::deque<std::pair<QDate, HoursDone>> hoursToDerive;  // oldest first
    bool hoursAdded = false;                                // since the thread last looked
    bool stopping = false;
    bool ended = false;
    SpoolStatus status;
    bool statusUnsure = false;  // the spool could not be read at the last look
    StatusChanged onStatusChanged;
    std::string lastSendProblem;  // logged once, not at every retry
    std::deque<QString> written;  // the lines this run put in the journal, the last ones

  private:
    enum class SendStop { AllSent, Unreachable, Busy, JournalMissing, Failed };

    // A record this writer put in the journal, to be read back when a late write of
    // another PC can no longer land on it.
    struct Landed {
        qint64 at = 0;
        QString line;
        std::chrono::steady_clock::time_point due;
    };

    // The writer thread's alone.
    JournalLock lock;
    std::vector<SpooledRecord> landedButKept;  // in the journal, still in the spool
    std::deque<Landed> toRecheck;              // by due time

    void noteLanded(qint64 at, const QStringList& lines);
    void recheckDue();

    void runJob(const std::shared_ptr<Pending>& job);
    WriteResult writeNow(Pending& job);
    WriteResult keepOnThread(Pending& job);
    WriteResult busyOrKept(Pending& job);
    std::filesystem::path journalFile() const { return dataFilePath(appFolder, kJournalFile); }
    WriteResult keepJob(Pending& job, bool forScreen);
    void finish(Pending& job, WriteResult result);
    bool noteSending(Pending& job) noexcept;  // with job.mutex held; false when not noted
    void removeFromSpool(const SpooledRecord& record) noexcept;
    SendStop sendWaiting();
    bool isUnreachable(const FileError& error) const;
    void deriveHoursOfSent(const QString& line);
    void deriveWaitingHours();
    void noteSendProblem(const std::string& problem);
};

void JournalWriter::WriterThread::run() {
    sendWaiting();
    for (;;) {
        std::shared_ptr<Pending> job;
        {
            std::unique_lock guard(mutex);
            auto ready = [this] { return stopping || !queue.empty() || hoursAdded; };
            std::optional<std::chrono::steady_clock::time_point> until;
            if (status.waiting > 0 || statusUnsure || !hoursToDerive.empty()) {
                until = std::chrono::steady_clock::now() + kRetryEvery;
            }
            if (!toRecheck.empty() && (!until || toRecheck.front().due < *until)) {
                until = toRecheck.front().due;
            }
            if (until) {
                wake.wait_until(guard, *until, ready);
            } else {
                wake.wait(guard, ready);
            }
            if (stopping) {
                break;
            }
            if (!queue.empty()) {
                job = std::move(queue.front());
                queue.pop_front();
            }
            hoursAdded = false;
        }
        if (job) {
            runJob(job);
        } else {
            sendWaiting();
            deriveWaitingHours();
        }
        recheckDue();
    }
    const std::lock_guard guard(mutex);
    queue.clear();  // their screens kept them, or went away
    ended = true;
    finished.notify_all();
}

void JournalWriter::WriterThread::runJob(const std::shared_ptr<Pending>& job) {
    {
        const std::lock_guard guard(job->mutex);
        if (job->abandoned) {
            // Kept while an earlier write hung: it goes with the spool, in its order.
            sendWaiting();
            return;
        }
    }
    WriteResult result;
    try {
        const SendStop sent = sendWaiting();
        {
            const std::lock_guard guard(job->mutex);
            if (job->abandoned) {
                // Kept by its screen while the backlog went: the spool carries it, in its
                // order; appended here too, it would stand in the journal twice.
                return;
            }
        }
        switch (sent) {
            case SendStop::AllSent:
                result = writeNow(*job);
                break;
            case SendStop::Unreachable:
                shareAway = true;
                result = keepOnThread(*job);
                break;
            case SendStop::Busy:
                result = busyOrKept(*job);
                break;
            case SendStop::JournalMissing:
                result.kind = WriteResult::Kind::JournalMissing;
                break;
            case SendStop::Failed:
                // What waits could not go (logged): no fault of this punch. It keeps its
                // place behind them, or goes now when the spool itself is what fails.
                result = keepOnThread(*job);
                if (result.kind == WriteResult::Kind::Failed) {
                    result = writeNow(*job);
                }
                break;
        }
    } catch (const FileError& e) {
        if (isUnreachable(e) || anotherPcHoldsTheJournal(e, journalFile())) {
            shareAway = shareAway || isUnreachable(e);
            result = keepOnThread(*job);
        } else {
            result.kind = WriteResult::Kind::Failed;
            result.error = std::current_exception();
        }
    } catch (...) {
        result.kind = WriteResult::Kind::Failed;
        result.error = std::current_exception();
    }
    finish(*job, std::move(result));
}

WriteResult JournalWriter::WriterThread::writeNow(Pending& job) {
    const WriteRequest& request = job.request;
    // Kept meanwhile by a screen that went on, the record comes off the spool before the
    // journal's lock goes: no copy of Tavomi on this PC may send it again.
    const WhileLocked takeOffTheSpool{
        [this, &job] {
            // Where the record goes: kept by a screen meanwhile, it carries a note of it, so
            // that a crash after the append finds it in the journal and never sends it again.
            const qint64 size = journalSize(dataFilePath(appFolder, kJournalFile));
            const std::lock_guard guard(job.mutex);
            job.journalSizeBefore = size;
            if (job.kept && !noteSending(job)) {
                // Without its note a crash would send it twice: the spool sends it later.
                return QStringList{};
            }
            return QStringList{job.request.line};
        },
        [this, &job](qint64 at) {
            if (at < 0) {
                return;  // nothing went in
            }
            noteLanded(at, {job.request.line});
            const std::lock_guard guard(job.mutex);
            job.written = true;
            if (job.kept) {
                removeFromSpool({job.request.madeAt, job.request.line});
            }
        },
        {}};
    const WriteOutcome outcome =
        append(appFolder, request.line, lock, request.order, takeOffTheSpool);
    WriteResult result;
    switch (outcome) {
        case WriteOutcome::Busy:
            return busyOrKept(job);
        case WriteOutcome::JournalMissing:
            if (shareLooksUnreachable(appFolder)) {
                throw FileError(appFolder / kDataFolderName, "cannot reach", ENOTCONN);
            }
            result.kind = WriteResult::Kind::JournalMissing;
            return result;
        case WriteOutcome::Written:
            break;
    }
    result.kind = WriteResult::Kind::Written;
    if (request.hoursDate) {
        try {
            result.hours = deriveWorkingHours(appFolder, *request.hoursDate);
        } catch (...) {
            result.hoursError = std::current_exception();
        }
    }
    return result;
}

WriteResult JournalWriter::WriterThread::busyOrKept(Pending& job) {
    if (lock.inTheWayFor() >= kKeepBehindALockAfter) {
        WriteResult kept = keepOnThread(job);
        if (kept.kind == WriteResult::Kind::Kept) {
            return kept;
        }
    }
    WriteResult busy;
    busy.kind = WriteResult::Kind::Busy;
    return busy;
}

WriteResult JournalWriter::WriterThread::keepOnThread(Pending& job) {
    return keepJob(job, false);
}

WriteResult JournalWriter::WriterThread::keepForScreen(Pending& job) {
    ++screensKeeping;
    WriteResult result = keepJob(job, true);
    --screensKeeping;
    return result;
}

bool JournalWriter::WriterThread::keepAtOnce(Pending& job) {
    if (!sendingHeld && !shareAway) {
        return false;
    }
    WriteResult kept = keepForScreen(job);
    // When the spool fails, the record tries the share as usual, unless nothing is sent.
    if (kept.kind != WriteResult::Kind::Kept && !sendingHeld) {
        return false;
    }
    const std::lock_guard guard(job.mutex);
    job.result = std::move(kept);
    return true;
}

bool JournalWriter::WriterThread::isUnreachable(const FileError& error) const {
    return isUnreachableError(error.errorNumber()) || shareLooksUnreachable(appFolder);
}

WriteResult JournalWriter::WriterThread::keepJob(Pending& job, bool forScreen) {
    WriteResult result;
    {
        const std::lock_guard guard(job.mutex);
        if (forScreen) {
            if (job.result) {
                return *job.result;
            }
            if (job.written) {
                result.kind = WriteResult::Kind::Written;  // went through meanwhile
                return result;
            }
        }
        if (!job.kept) {
            try {
                spool.keep({job.request.madeAt, job.request.line});
                job.kept = true;
            } catch (...) {
                result.kind = WriteResult::Kind::Failed;
                result.error = std::current_exception();
                return result;
            }
            if (job.journalSizeBefore) {
                noteSending(job);  // its append has begun and may still land
            }
        }
        if (forScreen) {
            job.abandoned = true;
        }
    }
    refreshStatus();
    result.kind = WriteResult::Kind::Kept;
    return result;
}

void JournalWriter::WriterThread::finish(Pending& job, WriteResult result) {
    {
        const std::lock_guard guard(job.mutex);
        if (!job.abandoned) {
            job.result = std::move(result);
            job.done.notify_all();
            return;
        }
    }
    refreshStatus();  // a kept record that went through after all is off the spool
}

bool JournalWriter::WriterThread::noteSending(Pending& job) noexcept {
    try {
        spool.noteSending({{job.request.madeAt, job.request.line}}, *job.journalSizeBefore);
        return true;
    } catch (const std::exception& e) {
        log(std::string("cannot note a kept record's append in the spool: ") + e.what());
        return false;
    }
}

void JournalWriter::WriterThread::removeFromSpool(const SpooledRecord& record) noexcept {
    try {
        spool.remove(record);
    } catch (const std::exception& e) {
        landedButKept.push_back(record);  // taken off before anything is sent again
        // Under the journal's lock the next send finds it at the journal's end.
        log(std::string("cannot take a written record off the spool: ") + e.what());
    }
}

JournalWriter::WriterThread::SendStop JournalWriter::WriterThread::sendWaiting() {
    SendStop stop = SendStop::AllSent;
    try {
        const std::filesystem::path journal = dataFilePath(appFolder, kJournalFile);
        for (std::optional<SpooledRecord> next = spool.first(); next; next = spool.first()) {
            // A screen keeping a record goes first: the spool is not held from it.
            while (screensKeeping.load() > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            std::vector<SpooledRecord> batch;  // off the spool once appended
            QStringList appended;              // what of it goes in now
            std::exception_ptr removeError;
            const WhileLocked send{
                [&] {
                    // Under the journal's lock, which every copy of Tavomi on this PC takes
                    // to send: what waits now is what no other copy has sent. A record this
                    // writer put in the journal whose removal failed goes first.
                    if (!landedButKept.empty()) {
                        spool.remove(landedButKept);
                        landedButKept.clear();
                    }
                    const SpoolContents waiting = spool.load();
                    const std::size_t count = std::min(kBatch, waiting.records.size());
                    const std::vector<bool> sent = alreadySent(journal, waiting, count);
                    std::vector<SpooledRecord> unnoted;
                    QStringList lines;
                    for (std::size_t i = 0; i < count; ++i) {
                        batch.push_back(waiting.records[i]);
                        if (sent[i]) {
                            continue;
                        }
                        lines << waiting.records[i].line;
                        if (!waiting.sentFrom[i]) {
                            unnoted.push_back(waiting.records[i]);
                        }
                    }
                    // A noted record not found keeps its older note, which still covers
                    // this append.
                    if (!lines.isEmpty()) {
                        spool.noteSending(unnoted, journalSize(journal));
                    }
                    appended = lines;
                    return lines;
                },
                [&](qint64 at) {
                    noteLanded(at, appended);
                    // Their dates' hours first: once off the spool, the records are done
                    // with.
                    for (const SpooledRecord& record : batch) {
                        deriveHoursOfSent(record.line);
                    }
                    try {
                        spool.remove(batch);
                    } catch (...) {
                        removeError = std::current_exception();
                    }
                },
                {}};
            // The line given stands for the batch, which is decided under the lock.
            const WriteOutcome outcome =
                append(appFolder, next->line, lock, WriteOrder::LockingFirst, send);
            if (outcome == WriteOutcome::Busy) {
                stop = SendStop::Busy;
                break;
            }
            if (outcome == WriteOutcome::JournalMissing) {
                stop = shareLooksUnreachable(appFolder) ? SendStop::Unreachable
                                                        : SendStop::JournalMissing;
                break;
            }
            if (removeError) {
                std::rethrow_exception(removeError);  // sent, but still waiting: stop here
            }
        }
        noteSendProblem({});
    } catch (const FileError& e) {
        stop = isUnreachable(e) || anotherPcHoldsTheJournal(e, journalFile())
                   ? SendStop::Unreachable
                   : SendStop::Failed;
        noteSendProblem(e.what());
    } catch (const std::exception& e) {
        stop = SendStop::Failed;
        noteSendProblem(e.what());
    }
    refreshStatus();
    return stop;
}

void JournalWriter::WriterThread::noteLanded(qint64 at, const QStringList& lines) {
    if (at < 0) {
        return;
    }
    shareAway = false;
    {
        constexpr std::size_t kWrittenKept = 4000;
        const std::lock_guard guard(mutex);
        written.insert(written.end(), lines.begin(), lines.end());
        while (written.size() > kWrittenKept) {
            written.pop_front();
        }
    }
    const auto due = std::chrono::steady_clock::now() + recheckAfter;
    for (const QString& line : lines) {
        toRecheck.push_back({at, line, due});
        at += lineBytesAsWritten(line).size();
    }
}

// Reads back the records whose time has come. One that is no longer at its place, nor
// anywhere after it, was overwritten by a late write of another PC: it is kept in the
// spool and so written again, in order, under the lock, with the note that keeps it from
// going twice. A journal that cannot be read now is read again later. A copy found after
// its place stands for one record only, and never one at the place of another record
// this writer wrote: two equal punches are two records.
void JournalWriter::WriterThread::recheckDue() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<Landed> due;
    while (!toRecheck.empty() && toRecheck.front().due <= now) {
        due.push_back(std::move(toRecheck.front()));
        toRecheck.pop_front();
    }
    if (due.empty()) {
        return;
    }
    const auto tryLater = [&](std::vector<Landed> again) {
        for (Landed& landed : again) {
            landed.due = now + kRetryEvery;
        }
        toRecheck.insert(toRecheck.end(), again.begin(), again.end());
        std::stable_sort(toRecheck.begin(), toRecheck.end(),
                         [](const Landed& a, const Landed& b) { return a.due < b.due; });
    };
    const std::filesystem::path journal = journalFile();
    qint64 from = due.front().at;
    for (const Landed& landed : due) {
        from = std::min(from, landed.at);
    }
    QByteArray bytes;
    try {
        const UniqueFd fd = openDataFile(journal, O_RDONLY, "cannot open");
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) {
            throw FileError(journal, "cannot read", errno);
        }
        bytes.resize(static_cast<qsizetype>(std::max<qint64>(0, st.st_size - from)));
        const ssize_t got =
            readFully(fd.get(), bytes.data(), static_cast<std::size_t>(bytes.size()), from);
        if (got < 0) {
            throw FileError(journal, "cannot read", errno);
        }
        bytes.truncate(got);
    } catch (const std::exception& e) {
        noteSendProblem(std::string("the check of records written waits: ") + e.what());
        tryLater(std::move(due));
        return;
    }
    std::set<qint64> ownPlaces;  // of every record still to be checked: each is its own
    for (const Landed& landed : due) {
        ownPlaces.insert(landed.at);
    }
    for (const Landed& landed : toRecheck) {
        ownPlaces.insert(landed.at);
    }
    std::set<qint64> copiesTaken;
    std::vector<Landed> missing;
    for (Landed& landed : due) {
        const QByteArray wanted = lineBytesAsWritten(landed.line);
        const qsizetype place = static_cast<qsizetype>(landed.at - from);
        if (bytes.sliced(std::min(place, bytes.size())).startsWith(wanted)) {
            continue;
        }
        bool elsewhere = false;
        for (qsizetype at = bytes.indexOf(wanted, place); at >= 0 && !elsewhere;
             at = bytes.indexOf(wanted, at + 1)) {
            const qint64 copy = from + at;
            elsewhere = (at == 0 || bytes[at - 1] == '\n') && !ownPlaces.contains(copy) &&
                        copiesTaken.insert(copy).second;
        }
        if (!elsewhere) {
            missing.push_back(std::move(landed));
        }
    }
    std::vector<Landed> notKept;
    for (Landed& landed : missing) {
        log("a record written at byte " + std::to_string(landed.at) + " of " + journal.string() +
            " is no longer there (a late write of another PC landed on it); it is written "
            "again: " +
            landed.line.toStdString());
        try {
            spool.keep({clock(), landed.line});
        } catch (const std::exception& e) {
            log(std::string("cannot keep it: ") + e.what());
            notKept.push_back(std::move(landed));
        }
    }
    if (!notKept.empty()) {
        tryLater(std::move(notKept));
    }
    if (missing.size() > notKept.size()) {
        sendWaiting();
    }
}

// A manual record makes sure of its date's working hours, sent late or not.
void JournalWriter::WriterThread::deriveHoursOfSent(const QString& line) {
    const auto record = readPunchRecord(line);
    const auto* punch = std::get_if<PunchRecord>(&record);
    if (punch == nullptr || punch->source != RecordSource::Manual) {
        return;
    }
    try {
        deriveWorkingHours(appFolder, punch->date);
    } catch (const std::exception& e) {
        log(std::string("a sent manual record's working hours: ") + e.what());
    }
}

void JournalWriter::WriterThread::deriveWaitingHours() {
    for (;;) {
        std::pair<QDate, HoursDone> next;
        {
            const std::lock_guard guard(mutex);
            if (hoursToDerive.empty()) {
                return;
            }
            next = hoursToDerive.front();
        }
        std::optional<DerivationOutcome> outcome;
        std::exception_ptr error;
        try {
            outcome = deriveWorkingHours(appFolder, next.first);
        } catch (const FileError& e) {
            if (isUnreachable(e)) {
                noteSendProblem(std::string("the new date's working hours wait for the share: ") +
                                e.what());
                return;  // tried again at the next retry, before any later date
            }
            error = std::current_exception();
        } catch (const std::exception&) {
            error = std::current_exception();
        }
        {
            const std::lock_guard guard(mutex);
            hoursToDerive.pop_front();
        }
        if (next.second) {
            next.second(outcome, error);
        }
    }
}

void JournalWriter::WriterThread::noteSendProblem(const std::string& problem) {
    std::lock_guard guard(mutex);
    if (problem != lastSendProblem && !problem.empty()) {
        log("records wait in the spool: " + problem);
    }
    lastSendProblem = problem;
}

void JournalWriter::WriterThread::refreshStatus() {
    SpoolStatus now;
    try {
        const SpoolContents contents = spool.load();
        if (contents.setAsideSize > 0) {
            log("the spool held " + std::to_string(contents.setAsideSize) +
                " bytes that are no whole record; they were moved to " +
                contents.setAsideFile.string());
        }
        now.waiting = static_cast<int>(contents.records.size());
        if (!contents.records.empty()) {
            now.oldest = contents.records.front().keptAt;
        }
    } catch (const std::exception& e) {
        log(std::string("cannot read the spool: ") + e.what());
        // Something may wait that the status does not count: the thread looks again.
        const std::lock_guard guard(mutex);
        statusUnsure = true;
        return;
    }
    const std::filesystem::path setAside = spool.file().string() + RecordSpool::kSetAsideSuffix;
    if (struct stat st{}; ::stat(setAside.c_str(), &st) == 0) {
        now.setAsideFile = setAside;
    }
    StatusChanged tell;
    {
        const std::lock_guard guard(mutex);
        statusUnsure = false;
        if (now == status) {
            return;
        }
        const SpoolStatus before = std::exchange(status, now);
        if (now.waiting != before.waiting) {
            log(now.waiting == 0
                    ? std::string("every record kept on this PC has been sent to the journal")
                    : std::to_string(now.waiting) + " record(s) kept on this PC since " +
                          now.oldest.toString(Qt::ISODate).toStdString() + " in " +
                          spool.file().string());
        }
        tell = onStatusChanged;
    }
    if (tell) {
        tell(now);
    }
}

WriteOutcome JournalWriter::appendToShare(const std::filesystem::path& appFolder,
                                          const QString& line, JournalLock& lock, WriteOrder order,
                                          const WhileLocked& whileLocked) {
    return order == WriteOrder::LockingFirst
               ? writeRecordLockingFirst(appFolder, line, lock, whileLocked)
               : writeRecordCheckingJournalFirst(appFolder, line, lock, whileLocked);
}

JournalWriter::JournalWriter(std::filesystem::path appFolder, std::filesystem::path spoolFolder,
                             Clock clock, Append append, std::chrono::milliseconds recheckAfter)
    : writer_(std::make_shared<WriterThread>(std::move(appFolder), std::move(spoolFolder),
                                             std::move(clock), std::move(append), recheckAfter)) {}

JournalWriter::~JournalWriter() {
    std::unique_lock guard(writer_->mutex);
    writer_->stopping = true;
    writer_->wake.notify_all();
    if (!thread_.joinable()) {
        return;
    }
    const bool ended =
        writer_->finished.wait_for(guard, kExitWait, [this] { return writer_->ended; });
    guard.unlock();
    if (ended) {
        thread_.join();
    } else {
        log("a write to the share still hangs at exit; its record is kept on this PC");
        const std::lock_guard again(writer_->mutex);
        writer_->onStatusChanged = {};  // whoever listened is going away
        thread_.detach();
    }
}

void JournalWriter::setStatusChanged(StatusChanged onChange) {
    const std::lock_guard guard(writer_->mutex);
    writer_->onStatusChanged = std::move(onChange);
}

void JournalWriter::start() {
    if (!thread_.joinable() && !writer_->sendingHeld) {
        thread_ = std::thread([writer = writer_] { writer->run(); });
    }
}

void JournalWriter::deriveHoursOf(const QDate& date, HoursDone done) {
    start();
    const std::lock_guard guard(writer_->mutex);
    writer_->hoursToDerive.emplace_back(date, std::move(done));
    writer_->hoursAdded = true;
    writer_->wake.notify_all();
}

void JournalWriter::keepWithoutSending() {
    writer_->sendingHeld = true;
    writer_->refreshStatus();  // what an earlier run left, shown from the first
}

std::shared_ptr<JournalWriter::Pending> JournalWriter::submit(WriteRequest request) {
    if (!request.madeAt.isValid()) {
        request.madeAt = writer_->clock();
    }
    auto pending = std::make_shared<Pending>(std::move(request), writer_);
    if (writer_->keepAtOnce(*pending) && writer_->sendingHeld) {
        return pending;  // kept, or failed when the spool cannot take it
    }
    // A record kept at once still goes to the thread, which sends the spool with it.
    start();
    const std::lock_guard guard(writer_->mutex);
    writer_->queue.push_back(pending);
    writer_->wake.notify_all();
    return pending;
}

WriteResult JournalWriter::await(const std::shared_ptr<Pending>& pending,
                                 std::chrono::milliseconds wait,
                                 const std::function<void()>& between) {
    using std::chrono::steady_clock;
    constexpr std::chrono::milliseconds kSlice{50};
    const auto deadline = steady_clock::now() + wait;
    std::unique_lock guard(pending->mutex);
    while (!pending->result) {
        const auto now = steady_clock::now();
        if (now >= deadline) {
            break;
        }
        pending->done.wait_for(guard, std::min<steady_clock::duration>(kSlice, deadline - now));
        if (!pending->result && between) {
            guard.unlock();
            between();
            guard.lock();
        }
    }
    if (pending->result) {
        return *pending->result;
    }
    guard.unlock();
    const std::shared_ptr<WriterThread> writer = pending->writer.lock();
    if (!writer) {
        WriteResult gone;
        gone.error = std::make_exception_ptr(std::runtime_error("the journal writer has ended"));
        return gone;
    }
    const WriteResult kept = writer->keepForScreen(*pending);
    if (kept.kind == WriteResult::Kind::Kept) {
        writer->shareAway = true;  // the write hangs: the next punches need not wait for it
    }
    if (kept.kind != WriteResult::Kind::Failed) {
        return kept;
    }
    // Neither written nor kept yet: the append may still go through, so only its own
    // outcome may say "failed".
    guard.lock();
    while (!pending->result) {
        pending->done.wait_for(guard, kSlice);
        if (!pending->result && between) {
            guard.unlock();
            between();
            guard.lock();
        }
    }
    return *pending->result;
}

WriteResult JournalWriter::write(WriteRequest request, const std::function<void()>& between) {
    return await(submit(std::move(request)), kScreenWait, between);
}

SpoolStatus JournalWriter::spoolStatus() const {
    const std::lock_guard guard(writer_->mutex);
    return writer_->status;
}

QStringList JournalWriter::recentlyWritten() const {
    const std::lock_guard guard(writer_->mutex);
    return QStringList(writer_->written.begin(), writer_->written.end());
}

const std::filesystem::path& JournalWriter::spoolFolder() const {
    return writer_->spool.folder();
}

}  // namespace tavomi
