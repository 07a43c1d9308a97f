// The built program, started from a copy in a temporary program folder, with a
// private runtime folder for its single-instance marker.
#include "files/data_folder.h"
#include "shell/program_folder.h"
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

}  // namespace
}  // namespace tavomi
