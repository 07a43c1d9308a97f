// The built program, started from a copy in a temporary program folder, with a
// private runtime folder for its single-instance marker.
#include "files/cp932.h"
#include "files/data_folder.h"
#include "shell/program_folder.h"
#include "spool/local_copy.h"
#include "spool/record_spool.h"
#include "support/wait.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using test::waitUntil;

// Whether the running process ignores the signal (its SigIgn mask in /proc).
bool ignoresSignal(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigIgn:")) {
            const quint64 mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
            return (mask >> (signal - 1)) & 1U;
        }
    }
    return false;
}

class AppTest : public ::testing::Test {
  protected:
    test::ProgramFolder appFolder;
    test::DataFolder& folder = appFolder.data;

    QProcess& start(const char* program) { return appFolder.start(program); }
};

// A lock file found at start is left to the writer's running rule: it may be another PC's
// whose write a network cut holds up.
TEST_F(AppTest, StartUpLeavesALockFileAndASecondCopyEndsAtOnce) {
    folder.writeBytes(kLockFile, QByteArray());
    const QByteArray hoursBefore = folder.readBytes(kWorkingHoursFile);
    QProcess& first = start("tavomi");
    // Today's working hours are made at start: it has started.
    ASSERT_TRUE(
        waitUntil([&] { return folder.readBytes(kWorkingHoursFile) != hoursBefore; }, 15000))
        << first.readAllStandardError().toStdString();
    EXPECT_TRUE(folder.exists(kLockFile));

    EXPECT_TRUE(ignoresSignal(first.processId(), SIGXFSZ))
        << "a file-size limit would kill it in the middle of an append";

    QElapsedTimer clock;
    clock.start();
    QProcess& second = start("tavomi");
    ASSERT_TRUE(second.waitForFinished(5000));
    const qint64 secondRanMs = clock.elapsed();
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput() + second.readAllStandardError(), QByteArray());
    EXPECT_LT(secondRanMs, 2000);
    EXPECT_EQ(first.state(), QProcess::Running);
    RecordProperty("second_copy_ms", static_cast<int>(secondRanMs));

    // The marker goes with the first copy however it ends: the next start runs.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(5000));
    QProcess& third = start("tavomi");
    EXPECT_FALSE(third.waitForFinished(3000)) << third.readAllStandardError().toStdString();
    EXPECT_EQ(third.state(), QProcess::Running);
}

TEST_F(AppTest, ThreeMissingFilesGiveOneMessageAndTouchNothing) {
    folder.remove(kCardholderListFile);
    folder.remove(kWorkingHoursFile);
    folder.remove("working_hours_allocation.txt");
    folder.writeBytes(kLockFile, QByteArray());
    const auto before = appFolder.snapshot();

    QProcess& probe = start("tavomi_probe");
    ASSERT_TRUE(probe.waitForFinished(15000));
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(probe.readAllStandardOutput()),
              u"BOX\tTavomi\tフォルダー \\attendane_manegement内のファイルが"
              u"不整合です。\\n\\nフォルダー内のファイル群の名前などを確かめて"
              u"ください\n"_s);
    EXPECT_EQ(appFolder.snapshot(), before);
}

// A day without working hours: the message, and then the clock runs.
TEST_F(AppTest, DayWithoutHoursIsToldAndTheProgramRunsOn) {
    folder.writeLines(kWeeklyTableFile, {u"曜日,開始,終了,休憩"_s});
    folder.writeBytes(kLockFile, QByteArray());
    const QString told =
        u"BOX\tTavomi\t今日の勤務時間が確認できません。\\n\\n"
        u"「設定・その他」 から今日の勤務時間の設定を行ってください\n"_s;
    QProcess& probe = start("tavomi_probe");
    QString printed;
    EXPECT_TRUE(waitUntil(
        [&] {
            printed += QString::fromUtf8(probe.readAllStandardOutput());
            return printed == told;
        },
        15000))
        << printed.toStdString();
    EXPECT_TRUE(folder.exists(kLockFile));  // left to the writer's running rule
    EXPECT_EQ(probe.state(), QProcess::Running);
}

TEST_F(AppTest, WithoutADisplayItSaysSoInOneLine) {
    QProcessEnvironment env = appFolder.environment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(name);
    }
    QProcess& program = appFolder.start("tavomi", env);
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_NE(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput(), QByteArray());
    const QString said = QString::fromUtf8(program.readAllStandardError());
    EXPECT_EQ(said.count(QLatin1Char('\n')), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("xvfb-run"))) << said.toStdString();
}

// A clock started while its data folder is not there runs on the copy an earlier run kept,
// says so on its main screen and in the log, and keeps what it is given; when the folder
// is back, it runs the whole start-up (its messages shown then) and sends what waits, once.
TEST_F(AppTest, WithTheDataFolderGoneItStartsOnItsCopyAndStartsAgainWhenItIsBack) {
    const std::filesystem::path spool = folder.appFolder() / "spool";
    {
        QProcess& first = start("tavomi_probe");
        ASSERT_TRUE(waitUntil([&] { return readLocalCopy(spool).has_value(); }, 15000));
        first.terminate();
        ASSERT_TRUE(first.waitForFinished(10000));
    }
    const QString waiting = u"出勤,山田　花子,2026/12/10,07:50,IC記録,詳細なし,事由なし"_s;
    RecordSpool(spool).keep({QDateTime(QDate(2026, 12, 10), QTime(7, 50)), waiting});
    // No hours today in the folder that comes back (the first run made today's entry; it
    // goes): its start-up then says so.
    folder.writeLines(kWeeklyTableFile, {u"曜日,開始,終了,休憩"_s});
    const QByteArray hours = folder.readBytes(kWorkingHoursFile);
    folder.writeBytes(kWorkingHoursFile, hours.left(hours.indexOf("\r\n") + 2));
    const std::filesystem::path data = folder.appFolder() / kDataFolderName;
    const std::filesystem::path away = folder.appFolder() / "away";
    std::filesystem::rename(data, away);

    QProcess& probe = start("tavomi_probe");
    QString said;
    EXPECT_TRUE(waitUntil(
        [&] {
            said += QString::fromUtf8(probe.readAllStandardError());
            return said.contains(u"the data folder does not answer"_s);
        },
        15000))
        << said.toStdString();
    EXPECT_EQ(probe.state(), QProcess::Running);
    EXPECT_EQ(probe.readAllStandardOutput(), QByteArray());  // no message box

    std::filesystem::rename(away, data);
    QString boxes;
    EXPECT_TRUE(waitUntil(
        [&] {
            boxes += QString::fromUtf8(probe.readAllStandardOutput());
            return boxes.contains(u"今日の勤務時間が確認できません。"_s);
        },
        20000))
        << boxes.toStdString();
    EXPECT_TRUE(waitUntil([&] { return RecordSpool(spool).load().records.empty(); }, 15000));
    const QString journal = decodeCp932(folder.readBytes(kJournalFile));
    EXPECT_EQ(journal.count(waiting), 1) << journal.toStdString();
    EXPECT_EQ(probe.state(), QProcess::Running);
}

}  // namespace
}  // namespace tavomi
