// The built program started while its file server does not answer: the data folder is a
// link to a mount of the stand-in share (stand_in_fs.cpp) whose every look-up of the folder
// fails as a share that is away fails it.

#include "files/cp932.h"
#include "files/data_folder.h"
#include "shell/program_folder.h"
#include "spool/local_copy.h"
#include "spool/record_spool.h"
#include "support/wait.h"

#include "stand_in.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using test::waitUntil;

class StartWhileAwayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::filesystem::path data = program.data.appFolder() / kDataFolderName;
        std::filesystem::rename(data, serverFolder() / kDataFolderName);
        pc = std::make_unique<test::StandInShare>(serverFolder());
        if (!pc->mounted()) {
            GTEST_SKIP() << pc->whyNot();
        }
        std::filesystem::create_directory_symlink(pc->appFolder() / kDataFolderName, data);
    }

    std::filesystem::path serverFolder() const { return server.path().toStdString(); }
    std::filesystem::path spool() const { return program.data.appFolder() / "spool"; }
    void away() {
        ASSERT_EQ(pc->command("fail stat attendance_manegement ENOTCONN until-released"), "ok");
    }
    void back() { ASSERT_EQ(pc->command("release stat attendance_manegement"), "ok"); }
    QByteArray journalOnTheServer() const {
        QFile file(
            QString::fromStdString((serverFolder() / kDataFolderName / kJournalFile).string()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Waits for the program to say `text` on standard error.
    bool says(QProcess& process, const QString& text, int ms = 20000) {
        return waitUntil(
            [&] {
                said_ += QString::fromUtf8(process.readAllStandardError());
                return said_.contains(text);
            },
            ms);
    }
    QString said() const { return said_; }

    QTemporaryDir server;  // the file server's disk
    test::ProgramFolder program;
    std::unique_ptr<test::StandInShare> pc;

  private:
    QString said_;
};

// With no copy yet the clock waits for the server, and starts on it when it answers; with
// the copy that start kept, the next start while the server is away runs on the copy and
// sends nothing, and once the server answers, what waited reaches the journal once.
TEST_F(StartWhileAwayTest, WaitsWithoutACopyRunsOnItsCopyAndSendsWhenTheServerAnswers) {
    away();
    {
        QProcess& first = program.start("tavomi_probe");
        EXPECT_TRUE(says(first, u"the data folder does not answer"_s)) << said().toStdString();
        EXPECT_EQ(first.state(), QProcess::Running);
        EXPECT_FALSE(readLocalCopy(spool()).has_value());
        back();
        EXPECT_TRUE(says(first, u"answers again"_s)) << said().toStdString();
        EXPECT_TRUE(waitUntil([&] { return readLocalCopy(spool()).has_value(); }, 15000));
        EXPECT_EQ(first.readAllStandardOutput(), QByteArray());  // no message box
        first.terminate();
        ASSERT_TRUE(first.waitForFinished(10000));
    }

    const QString waiting = u"出勤,山田　花子,2026/12/10,07:50,IC記録,詳細なし,事由なし"_s;
    RecordSpool(spool()).keep({QDateTime(QDate(2026, 12, 10), QTime(7, 50)), waiting});
    const QByteArray before = journalOnTheServer();
    away();
    QProcess& second = program.start("tavomi_probe");
    EXPECT_TRUE(says(second, u"the data folder does not answer"_s)) << said().toStdString();
    EXPECT_TRUE(says(second, u"1 record(s) kept on this PC"_s)) << said().toStdString();
    EXPECT_EQ(second.state(), QProcess::Running);
    EXPECT_EQ(journalOnTheServer(), before);
    back();
    EXPECT_TRUE(waitUntil([&] { return RecordSpool(spool()).load().records.empty(); }, 20000));
    EXPECT_EQ(decodeCp932(journalOnTheServer()).count(waiting), 1);
    EXPECT_EQ(second.readAllStandardOutput(), QByteArray());
    EXPECT_EQ(second.state(), QProcess::Running);
}

}  // namespace
}  // namespace tavomi
