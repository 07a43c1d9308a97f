#include "spool/pc_status_reporter.h"

#include "spool/local_copy.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

namespace tavomi {

namespace {

bool sameApartFromReached(PcStatus a, const PcStatus& b) {
    a.reached = b.reached;
    return a == b;
}

}  // namespace

std::optional<PcStatus> PcStatusSchedule::due(PcStatus current, const QDateTime& now) const {
    // A clock set back leaves the minute unknown: it counts as passed.
    if (const qint64 since = lastTry_.isValid() ? lastTry_.secsTo(now) : -1;
        since >= 0 && since < kAtMostEvery.count()) {
        return std::nullopt;
    }
    current.reached = now;
    if (!written_ || !sameApartFromReached(current, *written_)) {
        return current;
    }
    const qint64 reachedAgo = written_->reached.secsTo(now);
    if (reachedAgo < 0 || reachedAgo >= std::chrono::seconds(kReachedEvery).count()) {
        return current;
    }
    return std::nullopt;
}

void PcStatusSchedule::tried(const PcStatus& status, bool written) {
    lastTry_ = status.reached;
    if (written) {
        written_ = status;
    }
}

// The thread's body, shared with the reporter: the thread may outlive it in a hung write.
class PcStatusReporter::Turns {
  public:
    // Set once.
    std::filesystem::path appFolder;
    QString pcName;
    QString version;
    JournalWriter::Clock clock;
    Write write;
    std::chrono::milliseconds lookEvery{};

    // `mutex` guards these; `spoolStatus` and `cardList` are only called while `stopping`
    // is false and the mutex is held, as they reach into the reporter's owner.
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    bool stopping = false;
    bool ended = false;
    std::function<SpoolStatus()> spoolStatus;
    std::function<QDateTime()> cardList;

    void run();

  private:
    // The thread's alone.
    PcStatusSchedule schedule;
    std::string lastProblem;  // logged once, not at every turn

    void tryWriting(const PcStatus& status);
};

void PcStatusReporter::Turns::run() {
    for (;;) {
        PcStatus current;
        QDateTime now;
        {
            const std::lock_guard guard(mutex);
            if (stopping) {
                break;
            }
            try {
                const SpoolStatus spool = spoolStatus();
                current = {pcName, version, {}, spool.waiting, spool.oldest, cardList()};
                now = clock();
            } catch (const std::exception& e) {
                std::fprintf(stderr, "tavomi: this PC's status for the office: %s\n", e.what());
            }
        }
        if (now.isValid()) {
            if (const std::optional<PcStatus> status = schedule.due(current, now)) {
                tryWriting(*status);
            }
        }
        std::unique_lock guard(mutex);
        if (wake.wait_for(guard, lookEvery, [this] { return stopping; })) {
            break;
        }
    }
    const std::lock_guard guard(mutex);
    ended = true;
    finished.notify_all();
}

void PcStatusReporter::Turns::tryWriting(const PcStatus& status) {
    std::string problem;
    try {
        write(appFolder, status);
    } catch (const std::exception& e) {
        problem = e.what();
    } catch (...) {
        problem = "an unknown error";
    }
    schedule.tried(status, problem.empty());
    if (problem != lastProblem) {
        std::fprintf(stderr, "tavomi: %s\n",
                     problem.empty()
                         ? "this PC's status for the office is written again"
                         : ("this PC's status for the office is not written: " + problem).c_str());
        lastProblem = problem;
    }
}

PcStatusReporter::PcStatusReporter(std::filesystem::path appFolder, const JournalWriter& writer,
                                   QString pcName, QString version, JournalWriter::Clock clock,
                                   Write write, std::chrono::milliseconds lookEvery,
                                   std::chrono::milliseconds exitWait)
    : turns_(std::make_shared<Turns>()) {
    turns_->appFolder = std::move(appFolder);
    turns_->pcName = std::move(pcName);
    turns_->version = std::move(version);
    turns_->clock = std::move(clock);
    turns_->write = std::move(write);
    turns_->lookEvery = lookEvery;
    turns_->spoolStatus = [&writer] { return writer.spoolStatus(); };
    turns_->cardList = [spoolFolder = writer.spoolFolder()] {
        const std::optional<LocalCopy> copy = readLocalCopy(spoolFolder);
        return copy ? copy->takenAt : QDateTime();
    };
    exitWait_ = exitWait;
    thread_ = std::thread([turns = turns_] { turns->run(); });
}

PcStatusReporter::~PcStatusReporter() {
    std::unique_lock guard(turns_->mutex);
    turns_->stopping = true;
    turns_->wake.notify_all();
    const bool ended =
        turns_->finished.wait_for(guard, exitWait_, [this] { return turns_->ended; });
    guard.unlock();
    if (ended) {
        thread_.join();
    } else {
        std::fprintf(stderr, "tavomi: a write of this PC's status still hangs at exit\n");
        thread_.detach();
    }
}

}  // namespace tavomi
