// What start-up checks and prepares before the main screen comes up, and what it says.
#include "shell/start_up.h"
#include "files/data_folder.h"
#include "spool/local_copy.h"
#include "spool/record_spool.h"
#include "support/data_folder_fixture.h"
#include "support/file_conditions.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>

#include <grp.h>
#include <pwd.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using Kind = StartUpMessage::Kind;

const QString kInconsistentFolder =
    u"フォルダー \\attendane_manegement内のファイルが不整合です。\r\n\r\n"
    u"フォルダー内のファイル群の名前などを確かめてください"_s;
const QString kNoHoursToday =
    u"今日の勤務時間が確認できません。\r\n\r\n"
    u"「設定・その他」 から今日の勤務時間の設定を行ってください"_s;

class StartUpTest : public ::testing::Test {
  protected:
    StartUpOutcome start(const QDate& today) {
        return prepareStart(folder.appFolder(), today,
                            [this](std::chrono::milliseconds wait) { waited.push_back(wait); });
    }

    // Names and bytes of every file in the data folder.
    std::map<std::string, QByteArray> snapshot() const {
        std::map<std::string, QByteArray> files;
        for (const auto& entry :
             std::filesystem::directory_iterator(folder.appFolder() / kDataFolderName)) {
            const std::string name = entry.path().filename().string();
            files[name] = entry.is_regular_file() ? folder.readBytes(name) : QByteArray("<dir>");
        }
        return files;
    }

    test::DataFolder folder;
    const QDate monday{2024, 6, 3};
    const QDate saturday{2024, 6, 8};
    std::vector<std::chrono::milliseconds> waited;
};

// A lock file is left to the writer's running rule: it may be another PC's whose write a
// network cut holds up, however long it has stood.
TEST_F(StartUpTest, CompleteFolderAddsTodaysHoursAndLeavesALockFileToTheRunningRule) {
    folder.writeBytes(kLockFile, QByteArray("host=other pid=1 boot=b token=1\r\n"));
    const StartUpOutcome outcome = start(monday);
    EXPECT_TRUE(outcome.dataFolderComplete);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_TRUE(folder.exists(kLockFile));
    EXPECT_TRUE(waited.empty());
    EXPECT_TRUE(folder.readBytes(kWorkingHoursFile).endsWith("2024/06/03,08:15,16:45,00:45\r\n"));
}

// A folder with content where the lock file goes can never be the lock: no punch could
// succeed, so start-up says so, naming it, and leaves it there.
TEST_F(StartUpTest, AFolderInTheLockFilesPlaceIsToldOnce) {
    std::filesystem::create_directory(folder.file(kLockFile));
    folder.writeBytes(std::string(kLockFile) + "/note.txt", QByteArray("x"));
    const StartUpOutcome outcome = start(monday);
    EXPECT_TRUE(outcome.dataFolderComplete);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_EQ(outcome.messages[0].kind, Kind::Plain);
    EXPECT_TRUE(
        outcome.messages[0].text.contains(QFile::decodeName(folder.file(kLockFile).c_str())));
    EXPECT_TRUE(std::filesystem::is_directory(folder.file(kLockFile)));
}

TEST_F(StartUpTest, MissingFilesGiveOneMessageAndTouchNothing) {
    folder.remove(kJournalFile);
    folder.remove("analysis_of_data.xlsm");
    folder.remove("absentee.txt");
    folder.writeBytes(kLockFile, QByteArray());
    const auto before = snapshot();
    const StartUpOutcome outcome = start(monday);
    EXPECT_FALSE(outcome.dataFolderComplete);
    EXPECT_EQ(outcome.messages, (std::vector<StartUpMessage>{{Kind::Plain, kInconsistentFolder}}));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(StartUpTest, AFolderInAFilesPlaceCountsAsMissing) {
    folder.remove(kJournalFile);
    std::filesystem::create_directory(folder.file(kJournalFile));
    const StartUpOutcome outcome = start(monday);
    EXPECT_FALSE(outcome.dataFolderComplete);
    EXPECT_EQ(outcome.messages.size(), 1u);
}

TEST_F(StartUpTest, DayWithoutHoursIsToldAndStartUpGoesOn) {
    folder.writeBytes(kLockFile, QByteArray());
    const QByteArray hoursBefore = folder.readBytes(kWorkingHoursFile);
    const StartUpOutcome outcome = start(saturday);
    EXPECT_TRUE(outcome.dataFolderComplete);
    EXPECT_EQ(outcome.messages, (std::vector<StartUpMessage>{{Kind::Plain, kNoHoursToday}}));
    EXPECT_EQ(folder.readBytes(kWorkingHoursFile), hoursBefore);
    EXPECT_TRUE(folder.exists(kLockFile));  // left to the writer's running rule
}

// A working-hours file that another program holds: the error report, and the
// stale lock stays until the next start.
TEST_F(StartUpTest, UnreadableWorkingHoursAreReportedAndTheLockStays) {
    folder.writeBytes(kLockFile, QByteArray());
    const int fd = ::open(folder.file(kWorkingHoursFile).c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const StartUpOutcome outcome = start(monday);
    ::close(fd);
    EXPECT_TRUE(outcome.dataFolderComplete);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_EQ(outcome.messages[0].kind, Kind::Error);
    EXPECT_TRUE(outcome.messages[0].text.contains(QString::fromLatin1(kWorkingHoursFile)));
    EXPECT_TRUE(outcome.messages[0].text.contains(u"ほかのプログラムが使用中です"_s))
        << outcome.messages[0].text.toStdString();
    EXPECT_TRUE(folder.exists(kLockFile));
}

// An account that may not write the data folder (not yet in its group) is told so at
// start, naming the folder, the account and the group, and start-up goes on.
TEST_F(StartUpTest, AFolderThisAccountCannotWriteIsToldNamingAccountAndGroup) {
    const std::filesystem::path dataFolder = folder.appFolder() / kDataFolderName;
    test::WithoutDacOverride caps;
    test::ScopedMode mode(dataFolder, 0555);
    if (!test::folderIsReadOnly(dataFolder)) {
        FAIL() << "cannot make a folder read-only here, so the outcome cannot be shown";
    }
    const StartUpOutcome outcome = start(monday);
    EXPECT_TRUE(outcome.dataFolderComplete);
    ASSERT_FALSE(outcome.messages.empty());
    const QString& text = outcome.messages[0].text;
    EXPECT_TRUE(text.contains(QFile::decodeName(dataFolder.c_str()))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name)));
    struct stat st {};
    ASSERT_EQ(::stat(dataFolder.c_str(), &st), 0);
    EXPECT_TRUE(text.contains(QString::fromLocal8Bit(::getgrgid(st.st_gid)->gr_name)));
}

// Another PC appending to working_hours.txt at that moment: start-up waits it out.
TEST_F(StartUpTest, AWorkingHoursFileInUseForAMomentIsWaitedOut) {
    const int fd = ::open(folder.file(kWorkingHoursFile).c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const StartUpOutcome outcome =
        prepareStart(folder.appFolder(), monday, [&](std::chrono::milliseconds wait) {
            waited.push_back(wait);
            ::flock(fd, LOCK_UN);  // the other PC's append ends
        });
    ::close(fd);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_FALSE(waited.empty());
    EXPECT_TRUE(folder.readBytes(kWorkingHoursFile).endsWith("2024/06/03,08:15,16:45,00:45\r\n"));
}

// Where a start runs when the data folder is not there: on the local copy taken of it,
// else as usual (the folder set up wrong gets its message). A copy of another folder is no
// copy of this one. A folder that answers is started on whatever copy there is.
TEST_F(StartUpTest, AStartRunsOnTheLocalCopyOnlyOfThisFolderWhenTheFolderIsGone) {
    using Place = StartPlan::Place;
    const std::filesystem::path spool = folder.appFolder() / "spool";
    const std::filesystem::path data = folder.appFolder() / kDataFolderName;
    const std::filesystem::path away = folder.appFolder() / "away";
    const auto plan = [&] { return planStart(folder.appFolder(), spool, std::chrono::seconds(5)); };
    EXPECT_EQ(plan().place, Place::Share);

    std::filesystem::rename(data, away);
    EXPECT_EQ(plan().place, Place::Share);  // no copy: the usual message and end
    std::filesystem::rename(away, data);

    keepLocalCopy(folder.appFolder(), spool, QDateTime(monday, QTime(17, 5)));
    EXPECT_EQ(plan().place, Place::Share);
    std::filesystem::rename(data, away);
    const StartPlan onCopy = plan();
    EXPECT_EQ(onCopy.place, Place::LocalCopy);
    ASSERT_TRUE(onCopy.copy.has_value());
    EXPECT_EQ(onCopy.copy->takenAt, QDateTime(monday, QTime(17, 5)));
    EXPECT_NE(onCopy.why, "");

    test::DataFolder other;
    keepLocalCopy(other.appFolder(), spool, QDateTime(monday, QTime(17, 5)));
    EXPECT_EQ(plan().place, Place::Share);
}

// Records kept for another data folder (mounted from another server) are never sent to
// this one: moved aside whole, and said.
TEST_F(StartUpTest, RecordsKeptForAnotherDataFolderAreMovedAsideAndNotSent) {
    const std::filesystem::path spool = folder.appFolder() / "spool";
    const QDateTime now(monday, QTime(7, 52));
    RecordSpool(spool).keep({now, u"出勤,山田　花子,2024/06/03,07:50,IC記録,詳細なし,事由なし"_s});
    EXPECT_EQ(holdRecordsOfAnotherFolder(folder.appFolder(), spool, now), std::nullopt);

    keepLocalCopy(folder.appFolder(), spool, now);
    EXPECT_EQ(holdRecordsOfAnotherFolder(folder.appFolder(), spool, now), std::nullopt);
    EXPECT_EQ(RecordSpool(spool).load().records.size(), 1u);

    // The copy's identity as another server's share would have left it.
    const std::filesystem::path identity = spool / kLocalCopyFolder / "identity.txt";
    {
        QFile file(QString::fromStdString(identity.string()));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray text = file.readAll();
        text.replace("from=\n", "from=//old-server/tavomi\n");
        ASSERT_TRUE(file.resize(0) && file.seek(0));
        file.write(text);
    }
    const auto held = holdRecordsOfAnotherFolder(folder.appFolder(), spool, now);
    ASSERT_TRUE(held.has_value());
    EXPECT_TRUE(held->text.startsWith(
        u"このPCに保存されていた記録 1 件は、別のデータフォルダー（//old-server/tavomi）"_s))
        << held->text.toStdString();
    EXPECT_TRUE(RecordSpool(spool).load().records.empty());
    EXPECT_TRUE(std::filesystem::exists(spool / "spool-held-20240603-075200.txt"));
}

}  // namespace
}  // namespace tavomi
