// This PC's status file for the office: when it is written, what it says, and that a status
// that cannot be written holds up no punch.
#include "spool/pc_status_reporter.h"

#include "files/cp932.h"
#include "files/data_folder.h"
#include "spool/journal_writer.h"
#include "spool/local_copy.h"
#include "support/data_folder_fixture.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using test::waitUntil;

const QDateTime kStart(QDate(2026, 12, 10), QTime(7, 50));

PcStatus statusWaiting(int waiting) {
    return {u"reception-1"_s, u"2.8.24"_s, {}, waiting, {}, {}};
}

// Each case: the tries before (seconds after kStart, records waiting, written or failed),
// then whether a status with `waiting` records is due at `at`.
TEST(PcStatusScheduleTest, AtMostOnceAMinuteAndOnlyWhenSomethingChanged) {
    struct Try {
        int at;
        int waiting;
        bool written;
    };
    const struct {
        const char* what;
        std::vector<Try> before;
        int at;
        int waiting;
        bool due;
    } cases[] = {
        {"the first look writes", {}, 0, 0, true},
        {"nothing changed", {{0, 0, true}}, 300, 0, false},
        {"a change within the minute waits", {{0, 0, true}}, 59, 1, false},
        {"a change after the minute is written", {{0, 0, true}}, 60, 1, true},
        {"an idle PC, the time it reached not yet old", {{0, 0, true}}, 599, 0, false},
        {"an idle PC tells it is there every ten minutes", {{0, 0, true}}, 600, 0, true},
        {"a failed try counts for the minute", {{0, 0, false}}, 59, 0, false},
        {"a failed try is tried again after it", {{0, 0, false}}, 60, 0, true},
        {"a change whose write failed is tried again",
         {{0, 0, true}, {60, 1, false}},
         120,
         1,
         true},
        {"a change that went back to what the file holds",
         {{0, 0, true}, {60, 1, false}},
         120,
         0,
         false},
        {"the clock was set back", {{0, 0, true}}, -300, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PcStatusSchedule schedule;
        for (const Try& t : c.before) {
            const auto due = schedule.due(statusWaiting(t.waiting), kStart.addSecs(t.at));
            ASSERT_TRUE(due.has_value());
            schedule.tried(*due, t.written);
        }
        const QDateTime at = kStart.addSecs(c.at);
        const auto due = schedule.due(statusWaiting(c.waiting), at);
        ASSERT_EQ(due.has_value(), c.due);
        if (due) {
            EXPECT_EQ(due->reached, at);  // the write itself reaches the share
            EXPECT_EQ(due->waiting, c.waiting);
        }
    }
}

QString record(int minute) {
    return u"出勤,山田　花子,2026/12/10,07:%1,IC記録,詳細なし,事由なし"_s.arg(minute, 2, 10,
                                                                              QChar(u'0'));
}

// A clock the test moves; the reporter reads it from its thread.
class TestClock {
  public:
    JournalWriter::Clock clock() {
        return [this] {
            const std::lock_guard guard(mutex_);
            return now_;
        };
    }
    void advance(int seconds) {
        const std::lock_guard guard(mutex_);
        now_ = now_.addSecs(seconds);
    }
    QDateTime now() {
        const std::lock_guard guard(mutex_);
        return now_;
    }

  private:
    std::mutex mutex_;
    QDateTime now_ = kStart;
};

class PcStatusReporterTest : public ::testing::Test {
  protected:
    PcStatusReporterTest() { folder.writeLines(kJournalFile, {u"header"_s}); }

    std::filesystem::path spoolFolder() const { return folder.appFolder() / "spool"; }
    std::unique_ptr<PcStatusReporter> makeReporter(
        PcStatusReporter::Write write = &writePcStatus,
        std::chrono::milliseconds exitWait = PcStatusReporter::kExitWait) {
        return std::make_unique<PcStatusReporter>(folder.appFolder(), writer, u"reception-1"_s,
                                                  u"2.8.24"_s, clock.clock(), std::move(write),
                                                  std::chrono::milliseconds(5), exitWait);
    }
    std::optional<PcStatus> statusInFolder() const {
        for (const PcStatusFile& file : readPcStatuses(folder.appFolder())) {
            if (file.fileName == "reception-1.txt") {
                return file.read.status;
            }
        }
        return std::nullopt;
    }
    QStringList journal() const {
        QStringList lines = decodeCp932(folder.readBytes(kJournalFile)).split(u"\r\n"_s);
        lines.removeFirst();  // the header
        lines.removeLast();   // after the last line break
        return lines;
    }

    test::DataFolder folder;
    TestClock clock;
    JournalWriter writer{folder.appFolder(), spoolFolder(), clock.clock()};
};

TEST_F(PcStatusReporterTest, TheStatusSaysWhatWaitsAndHowOldTheCardListIs) {
    keepLocalCopy(folder.appFolder(), spoolFolder(), kStart.addSecs(-3600));
    writer.keepWithoutSending();
    ASSERT_EQ(writer.write({record(50), WriteOrder::LockingFirst, {}, {}}).kind,
              WriteResult::Kind::Kept);
    const auto reporter = makeReporter();

    ASSERT_TRUE(waitUntil([&] { return statusInFolder().has_value(); }));
    const PcStatus expected{u"reception-1"_s, u"2.8.24"_s,          kStart, 1,
                            kStart,           kStart.addSecs(-3600)};
    EXPECT_EQ(*statusInFolder(), expected);

    // A second record a minute later: written at the next look.
    clock.advance(60);
    ASSERT_EQ(writer.write({record(51), WriteOrder::LockingFirst, {}, {}}).kind,
              WriteResult::Kind::Kept);
    ASSERT_TRUE(waitUntil([&] { return statusInFolder()->waiting == 2; }));
    EXPECT_EQ(statusInFolder()->reached, clock.now());
    EXPECT_EQ(statusInFolder()->waitingSince, kStart);
}

// Counts the reporter's tries, and holds them while closed, as a share that hangs does.
// Shared with the reporter's thread, which a hung write lets outlive the reporter.
class StatusShare : public std::enable_shared_from_this<StatusShare> {
  public:
    PcStatusReporter::Write write() {
        return [self = shared_from_this()](const std::filesystem::path& appFolder,
                                           const PcStatus& status) {
            {
                std::unique_lock guard(self->mutex_);
                ++self->tries_;
                self->changed_.wait(guard, [&] { return self->open_; });
            }
            writePcStatus(appFolder, status);
        };
    }
    int tries() {
        const std::lock_guard guard(mutex_);
        return tries_;
    }
    void setOpen(bool open) {
        const std::lock_guard guard(mutex_);
        open_ = open;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int tries_ = 0;
    bool open_ = true;
};

TEST_F(PcStatusReporterTest, AStatusThatCannotBeWrittenNeverStopsAPunch) {
    const std::filesystem::path pcs = folder.appFolder() / kDataFolderName / kPcStatusFolder;
    const struct {
        const char* what;
        bool hangs;
    } cases[] = {{"the status folder's name is taken by a file", false},
                 {"the status write hangs", true}};
    int minute = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(pcs);
        if (!c.hangs) {
            std::ofstream(pcs) << "not a folder";
        }
        // Shared: a hung write may outlive the reporter.
        auto share = std::make_shared<StatusShare>();
        share->setOpen(!c.hangs);
        auto reporter = makeReporter(share->write(), std::chrono::milliseconds(50));
        ASSERT_TRUE(waitUntil([&] { return share->tries() >= 1; }));

        QStringList punched;
        for (int i = 0; i < 3; ++i) {
            punched << record(minute++);
            EXPECT_EQ(writer.write({punched.back(), WriteOrder::LockingFirst, {}, {}}).kind,
                      WriteResult::Kind::Written);
        }
        EXPECT_EQ(journal().mid(journal().size() - 3), punched);
        reporter.reset();  // a hung write holds up no exit either
        share->setOpen(true);
        EXPECT_EQ(std::filesystem::is_regular_file(pcs), !c.hangs);
    }
}

// The folder of the statuses is no data file: a data folder that holds it still answers,
// and an empty mount point stays one (no status is written there).
TEST_F(PcStatusReporterTest, TheStatusFolderIsNoneOfTheSevenFiles) {
    const auto reporter = makeReporter();
    ASSERT_TRUE(waitUntil([&] { return statusInFolder().has_value(); }));
    EXPECT_TRUE(missingDataFiles(folder.appFolder()).empty());
    EXPECT_FALSE(shareLooksUnreachable(folder.appFolder()));

    test::DataFolder emptyMountPoint;
    for (std::string_view name : kRequiredFiles) {
        emptyMountPoint.remove(name);
    }
    EXPECT_THROW(writePcStatus(emptyMountPoint.appFolder(), statusWaiting(0)), FileError);
    EXPECT_TRUE(shareLooksUnreachable(emptyMountPoint.appFolder()));
}

}  // namespace
}  // namespace tavomi
