// The journal and its lock on a share that misbehaves as the school's did: two PCs are
// two mounts of the stand-in share (stand_in_fs.cpp) over one folder, the server's
// disk; a PC whose write hangs is a writer process of its own.

#include "files/data_folder.h"
#include "files/journal_lock.h"
#include "files/punch_journal.h"
#include "support/data_folder_fixture.h"
#include "support/qt_printers.h"

#include "stand_in.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {

// Names in failure messages.
void PrintTo(LeftoverLock found, std::ostream* os) {
    static const char* const kNames[] = {"None", "LeftStanding", "Removed", "Blocking"};
    *os << kNames[static_cast<int>(found)];
}

namespace {

using test::StandInShare;
using test::WriterProcess;
using ::testing::StartsWith;

QString record(const QString& who) {
    return u"出勤,%1,2019/08/28,07:45,IC記録,詳細なし,事由なし"_s.arg(who);
}

const std::string kFailedWithEagain = "FileError " + std::to_string(EAGAIN) + " ";

class StandInShareTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pcA = std::make_unique<StandInShare>(server.appFolder());
        if (!pcA->mounted()) {
            GTEST_SKIP() << pcA->whyNot();
        }
        pcB = std::make_unique<StandInShare>(server.appFolder());
        ASSERT_TRUE(pcB->mounted()) << pcB->whyNot();
    }

    // The share as both PCs mount it.
    void mountedWith(std::initializer_list<const char*> commands) {
        for (const char* c : commands) {
            ASSERT_EQ(pcA->command(c), "ok") << c;
            ASSERT_EQ(pcB->command(c), "ok") << c;
        }
    }

    // A writer process on `pc`, writing `how` (see tests/files/append_process.cpp).
    WriterProcess& writer(StandInShare& pc, const char* how, const QString& line) {
        return *writers.emplace_back(std::make_unique<WriterProcess>(
            std::vector<std::string>{pc.appFolder().string(), how, line.toStdString()}));
    }

    // A writer process on `pc` whose append hangs (a network cut) until released.
    WriterProcess& hungWriter(StandInShare& pc, const char* how, const QString& line) {
        EXPECT_EQ(pc.command("stall write keeper.txt"), "ok");
        WriterProcess& w = writer(pc, how, line);
        EXPECT_EQ(pc.command("stalled write keeper.txt"), "ok") << "its append never came";
        return w;
    }

    // The lock file's holder line on the server; empty when there is none.
    QByteArray lockLine() const {
        return server.exists(kLockFile) ? server.readBytes(kLockFile) : QByteArray();
    }

    // The link comes back: the hung append fails as cifs failed it.
    void linkBackFailing(StandInShare& pc) {
        ASSERT_EQ(pc.command("fail write keeper.txt EAGAIN"), "ok");
        ASSERT_EQ(pc.command("release write keeper.txt"), "ok");
    }

    static std::filesystem::path lockOn(const StandInShare& pc) {
        return dataFilePath(pc.appFolder(), kLockFile);
    }

    test::DataFolder server;
    // Before the shares, so that they go first: a writer held in a share can only end
    // once the share is gone.
    std::vector<std::unique_ptr<WriterProcess>> writers;
    std::unique_ptr<StandInShare> pcA;
    std::unique_ptr<StandInShare> pcB;
};

// PC A's append hangs in a cut; PC B finds A's lock stale, takes it over and appends 107
// records while A's byte-range lock stays on A's side; A's write then fails. A reports
// the failure and leaves the journal as it is: every one of B's records stays.
TEST_F(StandInShareTest, AHungWritersFailureNeverCutsTheRecordsWrittenMeanwhile) {
    mountedWith({"nobrl on", "fixed-ino rock_file.txt 4242"});
    const QByteArray before = server.readBytes(kJournalFile);
    WriterProcess& a = hungWriter(*pcA, "locking-first", record(u"A"_s));

    auto now = std::chrono::steady_clock::now();
    JournalLock b([&now] { return now; });
    ASSERT_EQ(writeRecordLockingFirst(pcB->appFolder(), record(u"B0"_s), b), WriteOutcome::Busy);
    now += JournalLock::kStaleAfter;
    QStringList written;
    for (int i = 1; i <= 107; ++i) {
        written << record(u"B%1"_s.arg(i));
        ASSERT_EQ(writeRecordLockingFirst(pcB->appFolder(), written.back(), b),
                  WriteOutcome::Written)
            << "record " << i;
    }

    linkBackFailing(*pcA);
    EXPECT_THAT(a.outcome(), StartsWith(kFailedWithEagain));
    EXPECT_EQ(server.readBytes(kJournalFile), before + test::DataFolder::cp932Lines(written));
    EXPECT_FALSE(server.exists(kLockFile));
}

// The server gives the taker's new lock file the inode of A's: when A's hung append
// fails, A's release finds a lock in "its" inode, but not its holder line, and leaves it.
TEST_F(StandInShareTest, AHungWriterLeavesTheNewHoldersLockInTheSameInode) {
    mountedWith({"nobrl on", "fixed-ino rock_file.txt 4242"});
    WriterProcess& a = hungWriter(*pcA, "locking-first", record(u"A"_s));
    const QByteArray holderA = lockLine();
    WriterProcess& b = hungWriter(*pcB, "taking-over", record(u"B"_s));
    const QByteArray holderB = lockLine();
    ASSERT_NE(holderB, holderA);
    ASSERT_EQ(identityAt(lockOn(*pcA)).value_or(FileIdentity{}).inode, 4242u);

    linkBackFailing(*pcA);
    EXPECT_THAT(a.outcome(), StartsWith(kFailedWithEagain));
    EXPECT_EQ(lockLine(), holderB);

    ASSERT_EQ(pcB->command("release write keeper.txt"), "ok");
    EXPECT_EQ(b.outcome(), "Written");
    EXPECT_FALSE(server.exists(kLockFile));
}

// Another PC's lock that this PC's stat does not show (an NFS client's directory cache)
// is found by the start-up check, which looks through an open.
TEST_F(StandInShareTest, StartUpFindsALockThatStatDoesNotShow) {
    if (const std::string hidden = pcA->command("hide-from-stat rock_file.txt"); hidden != "ok") {
        GTEST_SKIP() << hidden;
    }
    const QByteArray other = "host=other pid=7 boot=b token=2\r\n";
    server.writeBytes(kLockFile, other);
    ASSERT_FALSE(identityAt(lockOn(*pcA))) << "the stand-in shows it to lstat";
    EXPECT_EQ(clearLeftoverJournalLock(pcA->appFolder()).found, LeftoverLock::LeftStanding);
    EXPECT_EQ(lockLine(), other);
}

// Two PCs judge the same crashed writer's lock stale at once on a case-insensitive share.
// B's removal hangs; meanwhile A takes the lock over and appends. When B's removal goes
// through it moves A's new lock, which it did not judge: it puts it back and is busy.
TEST_F(StandInShareTest, OfTwoPcsTakingOverTheSameStaleLockOnlyOneGetsIt) {
    mountedWith({"fold-case on", "nobrl on", "fixed-ino rock_file.txt 4242"});
    const QByteArray journalBefore = server.readBytes(kJournalFile);
    server.writeBytes(kLockFile, "host=gone pid=1 boot=b token=0\r\n");
    ASSERT_EQ(pcB->command("stall move rock_file.txt"), "ok");
    WriterProcess& b = writer(*pcB, "taking-over", record(u"B"_s));
    ASSERT_EQ(pcB->command("stalled move rock_file.txt"), "ok");
    WriterProcess& a = hungWriter(*pcA, "taking-over", record(u"A"_s));
    const QByteArray holderA = lockLine();
    ASSERT_EQ(lookAtLock(pcB->appFolder() / "ATTENDANCE_MANEGEMENT" / "Rock_File.txt")
                  .value_or(LockSighting{})
                  .holder,
              holderA.toStdString())
        << "the share folds letter case";

    ASSERT_EQ(pcB->command("release move rock_file.txt"), "ok");
    EXPECT_EQ(b.outcome(), "Busy");
    EXPECT_EQ(lockLine(), holderA);

    ASSERT_EQ(pcA->command("release write keeper.txt"), "ok");
    EXPECT_EQ(a.outcome(), "Written");
    EXPECT_EQ(server.readBytes(kJournalFile),
              journalBefore + test::DataFolder::cp932Lines({record(u"A"_s)}));
    for (const auto& entry :
         std::filesystem::directory_iterator(server.file(kLockFile).parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find("rock"), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace tavomi
