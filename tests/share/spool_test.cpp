// The writer thread and its spool on a share that hangs or fails for real: the data folder
// is a mount of the stand-in share (stand_in_fs.cpp); the spool is on the local disk.

#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/unique_fd.h"
#include "spool/journal_writer.h"
#include "support/data_folder_fixture.h"
#include "support/wait.h"

#include "stand_in.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <chrono>
#include <optional>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using Kind = WriteResult::Kind;
using std::chrono::steady_clock;

QString record(int minute) {
    return u"出勤,山田　花子,2026/12/10,07:%1,IC記録,詳細なし,事由なし"_s.arg(minute, 2, 10,
                                                                              QChar(u'0'));
}

class SpoolOnAShareTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pc = std::make_unique<test::StandInShare>(server.appFolder());
        if (!pc->mounted()) {
            GTEST_SKIP() << pc->whyNot();
        }
        writer = std::make_unique<JournalWriter>(
            pc->appFolder(), std::filesystem::path(local.path().toStdString()) / "spool",
            [] { return QDateTime(QDate(2026, 12, 10), QTime(7, 52)); });
        writer->start();
    }
    void TearDown() override { writer.reset(); }

    WriteResult punch(int minute) {
        return writer->write({record(minute), WriteOrder::LockingFirst, {}, {}});
    }
    // The journal on the server's disk, without its header.
    QStringList journal() const {
        QStringList lines = decodeCp932(server.readBytes(kJournalFile)).split(u"\r\n"_s);
        lines.removeFirst();
        lines.removeLast();
        return lines;
    }
    bool spoolEmpty() const { return writer->spoolStatus().waiting == 0; }

    test::DataFolder server;
    QTemporaryDir local;  // this PC's own disk
    std::unique_ptr<test::StandInShare> pc;
    std::unique_ptr<JournalWriter> writer;
};

TEST_F(SpoolOnAShareTest, AWriteThatHangsTenSecondsIsKeptAtTwoAndLandsOnce) {
    ASSERT_EQ(pc->command("stall write keeper.txt 10"), "ok");
    const auto pressed = steady_clock::now();
    EXPECT_EQ(punch(1).kind, Kind::Kept);
    EXPECT_LT(steady_clock::now() - pressed, JournalWriter::kScreenWait + std::chrono::seconds(1));
    EXPECT_EQ(writer->spoolStatus().waiting, 1);

    // The hung write goes through when the stall ends, and takes its record off the spool.
    ASSERT_TRUE(test::waitUntil([&] { return spoolEmpty(); }, 20000));
    EXPECT_EQ(journal(), QStringList{record(1)});
}

TEST_F(SpoolOnAShareTest, PunchesDuringACutArriveOnceInOrderAfterIt) {
    ASSERT_EQ(pc->command("stall write keeper.txt"), "ok");
    for (int minute = 1; minute <= 3; ++minute) {
        EXPECT_EQ(punch(minute).kind, Kind::Kept);
    }
    // The link comes back and the hung write fails, as cifs failed it.
    ASSERT_EQ(pc->command("fail write keeper.txt EIO"), "ok");
    ASSERT_EQ(pc->command("release write keeper.txt"), "ok");
    ASSERT_TRUE(test::waitUntil([&] { return spoolEmpty(); },
                                static_cast<int>(3 * JournalWriter::kRetryEvery.count())));
    EXPECT_EQ(journal(), (QStringList{record(1), record(2), record(3)}));
    EXPECT_FALSE(server.exists(kLockFile));
}

// Another PC holds keeper.txt's lock on the server (its append, or a PC stopped while it
// appended) while no lock file stands in the way: that PC is writing, so the punch is
// kept, never reported as a file error, and goes out once the other lets go.
TEST_F(SpoolOnAShareTest, AnotherPcsLockOnTheJournalKeepsThePunch) {
    test::StandInShare other(server.appFolder());
    ASSERT_TRUE(other.mounted()) << other.whyNot();
    std::optional<UniqueFd> held(UniqueFd(
        ::open((other.appFolder() / kDataFolderName / kJournalFile).c_str(), O_RDWR | O_CLOEXEC)));
    ASSERT_EQ(::flock(held->get(), LOCK_EX | LOCK_NB), 0);

    const WriteResult result = punch(1);
    EXPECT_EQ(result.kind, Kind::Kept);
    EXPECT_EQ(writer->spoolStatus().waiting, 1);
    held.reset();
    ASSERT_TRUE(test::waitUntil([&] { return spoolEmpty(); },
                                static_cast<int>(2 * JournalWriter::kRetryEvery.count())));
    EXPECT_EQ(journal(), QStringList{record(1)});
}

}  // namespace
}  // namespace tavomi
