#include "files/journal_lock.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/punch_journal.h"
#include "support/data_folder_fixture.h"

#include "support/file_conditions.h"
#include "support/qt_printers.h"
#include "writer_process.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <latch>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using namespace std::chrono_literals;
using Put = std::function<void(const test::DataFolder&)>;

const QString kRecord = u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし"_s;

// This machine's monotonic clock, moved only by the test.
class TestClock {
  public:
    JournalLock::Now reading() {
        return [this] { return now_; };
    }
    void moveTo(std::chrono::seconds sinceStart) {
        now_ = std::chrono::steady_clock::time_point(1000h + sinceStart);
    }

  private:
    std::chrono::steady_clock::time_point now_{1000h};
};

// ---- what another machine does at the lock's place -----------------------------

std::filesystem::path lockPath(const test::DataFolder& f) {
    return f.file(kLockFile);
}

std::filesystem::path outside(const test::DataFolder& f) {
    return f.appFolder() / "profile";
}

void setModified(const std::filesystem::path& path, std::time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

void putLockFile(const test::DataFolder& f) {
    f.writeBytes(kLockFile, "");
}

// Another writer's lock, written in place (the same file if one stands there).
Put putHolderLine(const char* line) {
    return
        [line](const test::DataFolder& f) { f.writeBytes(kLockFile, QByteArray(line) + "\r\n"); };
}

// The file server's clock may be far from this machine's: only equality counts.
Put lockFileDatedAt(std::time_t seconds) {
    return [seconds](const test::DataFolder& f) {
        putLockFile(f);
        setModified(lockPath(f), seconds);
    };
}

// A new lock file in its place. Made before the old one goes, so it cannot get the
// old one's inode back.
void replaceLockFile(const test::DataFolder& f) {
    const std::filesystem::path fresh = lockPath(f).string() + ".new";
    QFile(QString::fromStdString(fresh.string())).open(QIODevice::WriteOnly);
    std::filesystem::rename(fresh, lockPath(f));
}

void touchLockFile(const test::DataFolder& f) {
    setModified(lockPath(f), std::time(nullptr) + 3600);
}

void removeLockFile(const test::DataFolder& f) {
    f.remove(kLockFile);
}

void putLinkToAFile(const test::DataFolder& f) {
    std::filesystem::create_symlink(outside(f), lockPath(f));
}

void putLinkToNothing(const test::DataFolder& f) {
    std::filesystem::create_symlink(f.appFolder() / "nothing", lockPath(f));
}

void putEmptyFolder(const test::DataFolder& f) {
    std::filesystem::create_directory(lockPath(f));
}

void putFolderWithContent(const test::DataFolder& f) {
    std::filesystem::create_directory(lockPath(f));
    QFile(QString::fromStdString((lockPath(f) / "note.txt").string())).open(QIODevice::WriteOnly);
}

const QByteArray kOutsideBytes = "export PATH=/usr/bin\n";

class LockFixture : public ::testing::Test {
  protected:
    LockFixture() {
        QFile f(QString::fromStdString(outside(folder).string()));
        if (!f.open(QIODevice::WriteOnly) || f.write(kOutsideBytes) != kOutsideBytes.size()) {
            throw std::runtime_error("cannot write " + outside(folder).string());
        }
    }
    std::filesystem::path lockFile() const { return lockPath(folder); }
    bool somethingAtTheLocksPlace() const {
        std::error_code ec;
        return std::filesystem::symlink_status(lockFile(), ec).type() !=
               std::filesystem::file_type::not_found;
    }
    QByteArray outsideBytes() const {
        QFile f(QString::fromStdString(outside(folder).string()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    test::DataFolder folder;
    TestClock clock;
};

// ---- a writer meeting the same lock over time ----------------------------------

using WriteRecord = WriteOutcome (*)(const std::filesystem::path&, const QString&, JournalLock&);

struct Order {
    const char* name;
    WriteRecord write;
};

const Order kOrders[] = {{"LockingFirst", writeRecordLockingFirst},
                         {"CheckingJournalFirst", writeRecordCheckingJournalFirst}};

void PrintTo(const Order& order, std::ostream* os) {
    *os << order.name;
}

struct Attempt {
    std::chrono::seconds at;  // on this machine's clock, from the first attempt
    Put change;               // what happened at the lock's place before it, if anything
    WriteOutcome outcome;
};

struct OverTimeCase {
    const char* what;
    Put put;
    std::vector<Attempt> attempts;
};

std::vector<OverTimeCase> overTimeCases() {
    using O = WriteOutcome;
    constexpr std::chrono::seconds kStale = JournalLock::kStaleAfter;
    const std::time_t now = std::time(nullptr);
    return {
        {"the same lock kStaleAfter after it was first found is stale",
         putLockFile,
         {{0s, {}, O::Busy}, {kStale - 1s, {}, O::Busy}, {kStale, {}, O::Written}}},
        {"the same holder line kStaleAfter after it was first found is stale",
         putHolderLine("host=a pid=1 boot=b token=1"),
         {{0s, {}, O::Busy}, {kStale - 1s, {}, O::Busy}, {kStale, {}, O::Written}}},
        {"the count starts when it is first found, however old the file says it is",
         lockFileDatedAt(now - 24 * 3600),
         {{0s, {}, O::Busy}, {kStale - 1s, {}, O::Busy}, {kStale, {}, O::Written}}},
        {"a file dated ahead of this machine's clock is no different",
         lockFileDatedAt(now + 24 * 3600),
         {{0s, {}, O::Busy}, {kStale - 1s, {}, O::Busy}, {kStale, {}, O::Written}}},
        {"a new lock in its place starts the count again",
         putLockFile,
         {{0s, {}, O::Busy},
          {20s, replaceLockFile, O::Busy},
          {20s + kStale - 1s, {}, O::Busy},
          {20s + kStale, {}, O::Written}}},
        // A file server may give the new lock file the old one's inode: the line tells.
        {"a new holder line in the same file is a new lock",
         putHolderLine("host=a pid=1 boot=b token=1"),
         {{0s, {}, O::Busy},
          {20s, putHolderLine("host=c pid=2 boot=d token=2"), O::Busy},
          {20s + kStale - 1s, {}, O::Busy},
          {20s + kStale, {}, O::Written}}},
        {"a lock given a new time is a new lock",
         putLockFile,
         {{0s, {}, O::Busy},
          {20s, touchLockFile, O::Busy},
          {20s + kStale - 1s, {}, O::Busy},
          {20s + kStale, {}, O::Written}}},
        {"released meanwhile: written at once",
         putLockFile,
         {{0s, {}, O::Busy}, {5s, removeLockFile, O::Written}}},
        {"a link in its place is taken over like a lock, its target untouched",
         putLinkToAFile,
         {{0s, {}, O::Busy}, {kStale - 1s, {}, O::Busy}, {kStale, {}, O::Written}}},
        {"a folder with content cannot be removed: busy for good",
         putFolderWithContent,
         {{0s, {}, O::Busy}, {kStale, {}, O::Busy}, {kStale * 12, {}, O::Busy}}},
    };
}

class LockOverTime : public LockFixture, public ::testing::WithParamInterface<Order> {};

TEST_P(LockOverTime, AStaleLockIsTakenOverAFreshOneNever) {
    for (const OverTimeCase& c : overTimeCases()) {
        folder.writeLines(kJournalFile, {QStringLiteral("header")});
        const QByteArray journalBefore = folder.readBytes(kJournalFile);
        c.put(folder);
        JournalLock lock(clock.reading());
        for (const Attempt& a : c.attempts) {
            if (a.change) {
                a.change(folder);
            }
            clock.moveTo(a.at);
            EXPECT_EQ(GetParam().write(folder.appFolder(), kRecord, lock), a.outcome)
                << c.what << ", at " << a.at.count() << " s";
        }
        const bool written = c.attempts.back().outcome == WriteOutcome::Written;
        EXPECT_EQ(folder.readBytes(kJournalFile) != journalBefore, written) << c.what;
        EXPECT_EQ(somethingAtTheLocksPlace(), !written) << c.what;
        EXPECT_EQ(outsideBytes(), kOutsideBytes) << c.what;
        std::filesystem::remove_all(lockFile());
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, LockOverTime, ::testing::ValuesIn(kOrders),
                         [](const auto& info) { return std::string(info.param.name); });

class JournalLockTest : public LockFixture {};

TEST_F(JournalLockTest, TakenOnlyWhenFreeAndReleasedOnlyByItsHolder) {
    JournalLock lock;
    ASSERT_TRUE(lock.take(lockFile()));
    lock.release(lockFile());
    EXPECT_FALSE(folder.exists(kLockFile));
    lock.release(lockFile());  // nothing to delete: ignored

    // Someone else's lock is neither taken over nor truncated, nor released.
    folder.writeBytes(kLockFile, "other");
    EXPECT_FALSE(lock.take(lockFile()));
    lock.release(lockFile());
    EXPECT_EQ(folder.readBytes(kLockFile), QByteArray("other"));
}

TEST_F(JournalLockTest, ReadOnlyFolder) {
    const std::filesystem::path dataFolder = lockFile().parent_path();
    JournalLock held;
    ASSERT_TRUE(held.take(lockFile()));
    {
        test::WithoutDacOverride caps;
        test::ScopedMode mode(dataFolder, 0555);
        if (!test::folderIsReadOnly(dataFolder)) {
            FAIL() << "cannot make a folder read-only here, so the outcome cannot be shown";
        }
        held.release(lockFile());  // fails, and is ignored
        EXPECT_TRUE(folder.exists(kLockFile));
    }
    folder.remove(kLockFile);
    {
        test::WithoutDacOverride caps;
        test::ScopedMode mode(dataFolder, 0555);
        JournalLock writer;
        EXPECT_THROW(writer.take(lockFile()), FileError);
    }
    EXPECT_FALSE(folder.exists(kLockFile));
}

TEST_F(JournalLockTest, TheLockFileNamesItsHolderAfreshForEveryTake) {
    JournalLock lock;
    ASSERT_TRUE(lock.take(lockFile()));
    const QByteArray first = folder.readBytes(kLockFile);
    EXPECT_EQ(first, QByteArray::fromStdString(lock.holderLine()));
    const QRegularExpression line(
        u"^host=\\S+ pid=%1 boot=\\S+ token=[0-9a-f]{32}\r\n$"_s.arg(QString::number(::getpid())));
    EXPECT_TRUE(line.match(QString::fromLatin1(first)).hasMatch()) << first.toStdString();
    lock.release(lockFile());
    EXPECT_FALSE(somethingAtTheLocksPlace());

    ASSERT_TRUE(lock.take(lockFile()));
    EXPECT_NE(folder.readBytes(kLockFile), first);
    lock.release(lockFile());
}

// A writer that stalled past a takeover (a hung share) finds another holder's lock
// when it wakes, perhaps in the very same file (ext4 on the server reuses the inode at
// once): releasing then must not remove it.
TEST_F(JournalLockTest, AWriterWhoseLockWasTakenOverLeavesTheNewOneAlone) {
    JournalLock stalled;
    ASSERT_TRUE(stalled.take(lockFile()));
    putHolderLine("host=other pid=7 boot=b token=2")(folder);  // the same inode, another line
    stalled.release(lockFile());
    EXPECT_TRUE(somethingAtTheLocksPlace());
    folder.remove(kLockFile);

    TestClock stalledClock;
    JournalLock sleeper(stalledClock.reading());
    JournalLock other(clock.reading());
    ASSERT_TRUE(sleeper.take(lockFile()));
    EXPECT_FALSE(other.take(lockFile()));
    clock.moveTo(JournalLock::kStaleAfter);
    ASSERT_TRUE(other.take(lockFile()));
    sleeper.release(lockFile());
    EXPECT_TRUE(somethingAtTheLocksPlace());
    other.release(lockFile());
    EXPECT_FALSE(somethingAtTheLocksPlace());
}

// Writers that judged the same lock stale at the same moment: exactly one takes it over,
// since only one can move that file aside.
TEST_F(JournalLockTest, OfTwoWritersTakingOverTheSameStaleLockOnlyOneGetsIt) {
    for (int round = 0; round < 200; ++round) {
        putHolderLine("host=gone pid=1 boot=b token=0")(folder);
        TestClock sharedClock;
        JournalLock first(sharedClock.reading());
        JournalLock second(sharedClock.reading());
        ASSERT_TRUE(first.standsInTheWay(lockFile()));
        ASSERT_TRUE(second.standsInTheWay(lockFile()));
        sharedClock.moveTo(JournalLock::kStaleAfter);

        std::latch start(2);
        std::atomic<int> holders = 0;
        auto race = [&](JournalLock& lock) {
            start.arrive_and_wait();
            holders += lock.take(lockFile()) ? 1 : 0;
        };
        std::thread a(race, std::ref(first));
        std::thread b(race, std::ref(second));
        a.join();
        b.join();
        ASSERT_EQ(holders.load(), 1) << "round " << round;
        first.release(lockFile());
        second.release(lockFile());
        ASSERT_FALSE(somethingAtTheLocksPlace()) << "round " << round;
    }
}

// On NFS, lstat answers from a cache that may not show another PC's new lock file for
// half a minute; an open asks the server. A writer process whose lstat does not find the
// lock still meets it: start-up finds it and leaves it standing, and a writer checking
// first is busy (never told that the journal is missing).
TEST_F(JournalLockTest, ALockThatLstatDoesNotShowIsFoundThroughAnOpen) {
    const std::string appFolder = folder.appFolder().string();
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string outcome;
        bool lockLeft;
    } cases[] = {
        {"start-up", {appFolder, "start-up"}, "LeftStanding", true},
        {"checking first", {appFolder, "checking-first", kRecord.toStdString()}, "Busy", true},
    };
    folder.remove(kJournalFile);
    test::WriterConditions unseen;
    unseen.unseen = std::string(kLockFile);
    for (const auto& c : cases) {
        putHolderLine("host=other pid=7 boot=b token=2")(folder);
        const test::WriterRun run = test::runWriter(c.args, unseen);
        EXPECT_EQ(run.outcome, c.outcome) << c.what << ": " << run.errors;
        EXPECT_EQ(somethingAtTheLocksPlace(), c.lockLeft) << c.what;
        std::filesystem::remove_all(lockFile());
    }
}

// A writer's release moves its lock aside before removing it; when another writer took
// the lock over just before (fault_shim.cpp's other-lock-first), what was moved is that
// writer's lock, and it goes back, by a hard link or, where the file system makes none,
// by a rename.
TEST_F(JournalLockTest, ALockMovedAsideByMistakeGoesBack) {
    const struct {
        const char* what;
        std::string faults;
    } cases[] = {
        {"by a link", "rename:1:other-lock-first"},
        {"by a rename", "rename:1:other-lock-first,link:1:EPERM"},
    };
    for (const auto& c : cases) {
        test::WriterConditions conditions = test::WriterConditions::withFaults(c.faults);
        conditions.faultFile = std::string(kLockFile);
        const test::WriterRun run = test::runWriter(
            {folder.appFolder().string(), "locking-first", kRecord.toStdString()}, conditions);
        EXPECT_EQ(run.outcome, "Written") << c.what << ": " << run.errors;
        ASSERT_TRUE(somethingAtTheLocksPlace()) << c.what;
        EXPECT_EQ(folder.readBytes(kLockFile), "host=other pid=7 boot=b token=9\r\n") << c.what;
        for (const auto& entry : std::filesystem::directory_iterator(lockFile().parent_path())) {
            EXPECT_EQ(entry.path().filename().string().find(".aside-"), std::string::npos)
                << c.what << ": " << entry.path();
        }
        std::filesystem::remove_all(lockFile());
    }
}

TEST_F(JournalLockTest, ALinkAtTheLocksPlaceIsBusyAndNeverWrittenThrough) {
    for (const Put& put : {Put(putLinkToAFile), Put(putLinkToNothing)}) {
        put(folder);
        JournalLock lock;
        EXPECT_FALSE(lock.take(lockFile()));
        EXPECT_EQ(outsideBytes(), kOutsideBytes);
        EXPECT_FALSE(std::filesystem::exists(folder.appFolder() / "nothing"));
        folder.remove(kLockFile);
    }
}

// ---- start-up ------------------------------------------------------------------

struct LeftoverCase {
    const char* what;
    Put put;  // at the lock's place when the program starts
    LeftoverLock found;
    bool somethingLeft;
};

std::vector<LeftoverCase> leftoverCases() {
    using L = LeftoverLock;
    return {
        {"nothing", {}, L::None, false},
        // Left by a crash, or another PC's whose write a network cut holds up: start-up
        // cannot tell them apart, so it leaves both to the running rule.
        {"a lock file with a holder line", putHolderLine("host=other pid=1 boot=b token=1"),
         L::LeftStanding, true},
        {"an empty lock file", putLockFile, L::LeftStanding, true},
        {"a link to a file", putLinkToAFile, L::Removed, false},
        {"a link to nothing", putLinkToNothing, L::Removed, false},
        {"an empty folder", putEmptyFolder, L::Removed, false},
        {"a folder with content", putFolderWithContent, L::Blocking, true},
    };
}

using StartUp = LockFixture;

TEST_F(StartUp, RemovesOnlyWhatIsNoLockFileAtAll) {
    for (const LeftoverCase& c : leftoverCases()) {
        if (c.put) {
            c.put(folder);
        }
        const LeftoverLockCheck check = clearLeftoverJournalLock(folder.appFolder());
        EXPECT_EQ(check.found, c.found) << c.what;
        EXPECT_EQ(check.needsMessage(), c.found == LeftoverLock::Blocking) << c.what;
        EXPECT_EQ(check.lockFile, lockFile()) << c.what;
        EXPECT_EQ(somethingAtTheLocksPlace(), c.somethingLeft) << c.what;
        EXPECT_EQ(outsideBytes(), kOutsideBytes) << c.what;
        std::filesystem::remove_all(lockFile());
    }
}

// A link that cannot be removed keeps every writer out, so start-up says so.
TEST_F(StartUp, InAReadOnlyFolderOnlyWhatIsNoLockFileNeedsAMessage) {
    const std::filesystem::path dataFolder = lockFile().parent_path();
    const struct {
        Put put;
        LeftoverLock found;
    } cases[] = {{putLockFile, LeftoverLock::LeftStanding},
                 {putLinkToAFile, LeftoverLock::Blocking}};
    for (const auto& c : cases) {
        c.put(folder);
        {
            test::WithoutDacOverride caps;
            test::ScopedMode mode(dataFolder, 0555);
            if (!test::folderIsReadOnly(dataFolder)) {
                FAIL() << "cannot make a folder read-only here, so the outcome cannot be shown";
            }
            const LeftoverLockCheck check = clearLeftoverJournalLock(folder.appFolder());
            EXPECT_EQ(check.found, c.found);
            EXPECT_EQ(check.needsMessage(), c.found == LeftoverLock::Blocking);
        }
        EXPECT_TRUE(somethingAtTheLocksPlace());
        folder.remove(kLockFile);
    }
}

}  // namespace
}  // namespace tavomi
