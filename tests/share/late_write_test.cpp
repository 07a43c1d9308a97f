// A write held up in one PC's client that lands late, at the offset it was given, over the
// record another PC appended meanwhile: two writer threads (src/spool) on two mounts of the
// stand-in share (stand_in_fs.cpp) over one folder, the server's disk.

#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/journal_lock.h"
#include "files/punch_journal.h"
#include "spool/journal_writer.h"
#include "spool/record_spool.h"
#include "support/data_folder_fixture.h"
#include "support/qt_printers.h"
#include "support/wait.h"

#include "stand_in.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using Kind = WriteResult::Kind;
using std::chrono::milliseconds;
using test::StandInShare;
using test::waitUntil;

// One teacher's punch at PC A or PC B; every one the same length, as two punches of one
// kind are: a record overwritten by another looks whole.
QString record(const QString& who, int minute = 45) {
    return u"出勤,%1,2026/12/10,07:%2,IC記録,詳細なし,事由なし"_s.arg(who).arg(minute);
}
const QString kRecordOfA = record(u"青木　一郎"_s);
const QString kRecordOfB = record(u"馬場　二郎"_s);
const QString kLaterRecordOfB = record(u"馬場　二郎"_s, 46);

// The session log (standard error, where the writers log) while it lives.
class SessionLog {
  public:
    SessionLog() : file_(dir_.filePath(u"log"_s)) {
        const int fd = ::open(QFile::encodeName(file_).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~SessionLog() {
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    SessionLog(const SessionLog&) = delete;
    SessionLog& operator=(const SessionLog&) = delete;

    QString text() const {
        QFile log(file_);
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    // The lines so far that hold every one of `parts`.
    QStringList linesWith(const QStringList& parts) const {
        QStringList found;
        for (const QString& line : text().split(u'\n')) {
            if (std::all_of(parts.begin(), parts.end(),
                            [&](const QString& part) { return line.contains(part); })) {
                found << line;
            }
        }
        return found;
    }

  private:
    QTemporaryDir dir_;
    QString file_;
    int saved_ = -1;
};

// A re-check soon after the write, in place of the 300 s, which the late write here does
// not need: it lands when told to.
constexpr milliseconds kShortRecheck{2000};

// PC B's writer, and what the journal holds once A's held write has landed on B's
// record, and at the end.
struct LateWriteCase {
    const char* name;
    milliseconds bRecheckAfter;
    QStringList bPunches;
    QStringList afterTheLateWrite;
    QStringList atTheEnd;
    qsizetype writtenAgain;  // by B, as its log says
};

void PrintTo(const LateWriteCase& c, std::ostream* os) {
    *os << c.name;
}

class LateWriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(lineBytesAsWritten(kRecordOfA).size(), lineBytesAsWritten(kRecordOfB).size());
        pcA = std::make_unique<StandInShare>(server.appFolder());
        if (!pcA->mounted()) {
            GTEST_SKIP() << pcA->whyNot();
        }
        pcB = std::make_unique<StandInShare>(server.appFolder());
        ASSERT_TRUE(pcB->mounted()) << pcB->whyNot();
        // A's lock on keeper.txt does not keep B out: cifs mounted nobrl, or a server that
        // let go of the lock of a PC cut off.
        ASSERT_EQ(pcA->command("nobrl on"), "ok");
        ASSERT_EQ(pcB->command("nobrl on"), "ok");
    }

    std::unique_ptr<JournalWriter> writerOn(const StandInShare& pc, const char* spool,
                                            milliseconds recheckAfter) {
        auto writer = std::make_unique<JournalWriter>(
            pc.appFolder(), std::filesystem::path(local.path().toStdString()) / spool,
            [] { return QDateTime::currentDateTime(); }, &JournalWriter::appendToShare,
            recheckAfter);
        writer->start();
        return writer;
    }

    static WriteResult punch(JournalWriter& writer, const QString& line) {
        return writer.write({line, WriteOrder::LockingFirst, {}, {}});
    }

    // A's append is held in A's client as A's link goes down, with A's lock standing; B
    // finds that lock stale by the rule (its clock moved on past it), takes it over and
    // appends its punches where A's write is to go.
    void aIsHeldWhileBAppends(JournalWriter& b, const QStringList& bPunches) {
        aIsHeldAndBTakesItsLockOver();
        for (const QString& line : bPunches) {
            ASSERT_EQ(punch(b, line).kind, Kind::Written);
        }
        ASSERT_EQ(journal(), bPunches);
    }

    void aIsHeldAndBTakesItsLockOver() {
        ASSERT_EQ(pcA->command("hold keeper.txt"), "ok");
        EXPECT_EQ(punch(*writerA, kRecordOfA).kind, Kind::Kept);  // the screen went on
        ASSERT_EQ(pcA->command("held keeper.txt"), "ok");
        ASSERT_TRUE(server.exists(kLockFile));

        auto now = std::chrono::steady_clock::now();
        JournalLock patient([&now] { return now; });
        const auto lockFile = dataFilePath(pcB->appFolder(), kLockFile);
        ASSERT_TRUE(patient.standsInTheWay(lockFile));
        now += JournalLock::kStaleAfter;
        ASSERT_FALSE(patient.standsInTheWay(lockFile));
    }

    // The journal on the server's disk, without its header.
    QStringList journal() const {
        QStringList lines = decodeCp932(server.readBytes(kJournalFile)).split(u"\r\n"_s);
        lines.removeFirst();
        lines.removeLast();
        return lines;
    }

    // Long enough for a writer's re-check of what it wrote last to have run.
    static void waitPastARecheck() { std::this_thread::sleep_for(2 * kShortRecheck); }

    // Log lines that say B wrote a record of its again.
    QStringList bWroteAgain(const SessionLog& log) const {
        return log.linesWith({u"is no longer there"_s, QString::fromStdString(pcB->appFolder())});
    }

    SessionLog log;
    test::DataFolder server;
    QTemporaryDir local;  // each PC's own disk, for its spool
    // Before the shares, so that they go after them: a write still held in a share fails
    // once the share is gone, and its writer ends.
    std::unique_ptr<JournalWriter> writerA;
    std::unique_ptr<JournalWriter> writerB;
    std::unique_ptr<StandInShare> pcA;
    std::unique_ptr<StandInShare> pcB;
};

class LateWriteOverAnotherPcsRecordTest : public LateWriteTest,
                                          public ::testing::WithParamInterface<LateWriteCase> {};

// A's held write lands over B's record (the fixture really overwrites it). Without a
// re-check B's record, reported written, is gone for good; with one, B reads back what it
// wrote, finds its record overwritten and writes it again, once, with a line in the log;
// a record of B's still in place (B punched twice in that minute) is not taken for it.
TEST_P(LateWriteOverAnotherPcsRecordTest, BsRecordIsWrittenAgainOnceByItsRecheck) {
    const LateWriteCase& c = GetParam();
    writerA = writerOn(*pcA, "spoolA", kShortRecheck);
    writerB = writerOn(*pcB, "spoolB", c.bRecheckAfter);
    aIsHeldWhileBAppends(*writerB, c.bPunches);

    ASSERT_EQ(pcA->command("land keeper.txt"), "ok");
    EXPECT_EQ(journal(), c.afterTheLateWrite);

    // A's punch, kept by its screen, is done with once its write has landed.
    ASSERT_TRUE(waitUntil([&] { return writerA->spoolStatus().waiting == 0; }, 10000));
    ASSERT_TRUE(waitUntil([&] { return journal() == c.atTheEnd; }, 10000))
        << journal().join(u'|').toStdString();
    waitPastARecheck();  // B's check of the record it wrote again finds it in place
    EXPECT_EQ(journal(), c.atTheEnd);
    EXPECT_EQ(writerB->spoolStatus().waiting, 0);
    EXPECT_EQ(bWroteAgain(log).size(), c.writtenAgain) << log.text().toStdString();
    EXPECT_TRUE(log.linesWith({u"is no longer there"_s, QString::fromStdString(pcA->appFolder())})
                    .isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Shares, LateWriteOverAnotherPcsRecordTest,
                         ::testing::Values(LateWriteCase{"WithoutARecheckBsRecordIsLost",
                                                         JournalWriter::kRecheckAfter,
                                                         {kRecordOfB},
                                                         {kRecordOfA},
                                                         {kRecordOfA},
                                                         0},
                                           LateWriteCase{"BsRecordIsWrittenAgain",
                                                         kShortRecheck,
                                                         {kRecordOfB},
                                                         {kRecordOfA},
                                                         {kRecordOfA, kRecordOfB},
                                                         1},
                                           LateWriteCase{"AnIdenticalRecordAfterItIsNotTakenForIt",
                                                         kShortRecheck,
                                                         {kRecordOfB, kRecordOfB},
                                                         {kRecordOfA, kRecordOfB},
                                                         {kRecordOfA, kRecordOfB, kRecordOfB},
                                                         1}),
                         [](const ::testing::TestParamInfo<LateWriteCase>& info) {
                             return info.param.name;
                         });

// B's re-checks come while the share is away again (every read of the journal fails):
// nothing is written meanwhile; once it is back B writes again the record that was
// overwritten, once, and not the one after it, which stands.
TEST_F(LateWriteTest, ARecheckThatCannotReadTheJournalTriesLaterAndWritesOnce) {
    writerA = writerOn(*pcA, "spoolA", kShortRecheck);
    aIsHeldAndBTakesItsLockOver();
    // B's two punches, kept on B while the share was away, go out in one append: they are
    // checked together.
    for (const QString& line : {kRecordOfB, kLaterRecordOfB}) {
        RecordSpool(std::filesystem::path(local.path().toStdString()) / "spoolB")
            .keep({QDateTime::currentDateTime(), line});
    }
    writerB = writerOn(*pcB, "spoolB", kShortRecheck);
    ASSERT_TRUE(waitUntil([&] { return journal().size() == 2; }));
    ASSERT_EQ(journal(), (QStringList{kRecordOfB, kLaterRecordOfB}));
    ASSERT_EQ(pcB->command("fail read keeper.txt EIO until-released"), "ok");

    ASSERT_EQ(pcA->command("land keeper.txt"), "ok");
    ASSERT_EQ(journal(), (QStringList{kRecordOfA, kLaterRecordOfB}));
    ASSERT_TRUE(
        waitUntil([&] { return std::atoi(pcB->command("failed read keeper.txt").c_str()) > 0; },
                  static_cast<int>(3 * JournalWriter::kRetryEvery.count())));
    EXPECT_EQ(journal(), (QStringList{kRecordOfA, kLaterRecordOfB}));
    ASSERT_EQ(pcB->command("release read keeper.txt"), "ok");

    const QStringList atTheEnd{kRecordOfA, kLaterRecordOfB, kRecordOfB};
    ASSERT_TRUE(waitUntil([&] { return journal() == atTheEnd; },
                          static_cast<int>(3 * JournalWriter::kRetryEvery.count())))
        << journal().join(u'|').toStdString();
    EXPECT_FALSE(log.linesWith({u"the check of records written waits"_s}).isEmpty())
        << "the re-check never met the share away";
    waitPastARecheck();
    EXPECT_EQ(journal(), atTheEnd);
    EXPECT_EQ(bWroteAgain(log).size(), 1) << log.text().toStdString();
    EXPECT_EQ(writerB->spoolStatus().waiting, 0);
}

}  // namespace
}  // namespace tavomi
