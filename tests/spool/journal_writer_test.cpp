// The writer thread against real files in a temporary data folder, with a share that
// hangs or fails on demand put in front of the real append.

#include "spool/journal_writer.h"
#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/punch_journal.h"
#include "files/unique_fd.h"
#include "support/data_folder_fixture.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using Kind = WriteResult::Kind;
using test::waitUntil;

constexpr std::chrono::milliseconds kShortWait{200};

QString record(int minute, const QString& source = u"IC記録"_s) {
    return u"出勤,山田　花子,2026/12/10,07:%1,%2,詳細なし,事由なし"_s
        .arg(minute, 2, 10, QChar(u'0'))
        .arg(source);
}

// Stands between the writer and the share: while closed, every append waits; opened
// with an error, the next append fails with it instead of writing.
// Shared with the writer's thread, which may outlive a test when a write still hangs.
class Share : public std::enable_shared_from_this<Share> {
  public:
    JournalWriter::Append append() {
        return [self = shared_from_this()](const std::filesystem::path& appFolder,
                                           const QString& line, JournalLock& lock, WriteOrder order,
                                           const WhileLocked& whileLocked) {
            return self->appendThrough(appFolder, line, lock, order, whileLocked);
        };
    }
    WriteOutcome appendThrough(const std::filesystem::path& appFolder, const QString& line,
                               JournalLock& lock, WriteOrder order,
                               const WhileLocked& whileLocked) {
        {
            std::unique_lock guard(mutex_);
            ++held_;
            changed_.wait(guard, [this] { return open_; });
            --held_;
            if (const int error = std::exchange(failNext_, 0)) {
                throw FileError(appFolder / kDataFolderName / kJournalFile, "cannot write", error);
            }
        }
        return JournalWriter::appendToShare(appFolder, line, lock, order, whileLocked);
    }
    // True while an append waits in front of the share.
    bool holding() {
        const std::lock_guard guard(mutex_);
        return held_ > 0;
    }
    void hang() {
        const std::lock_guard guard(mutex_);
        open_ = false;
    }
    void answer(int failNext = 0) {
        const std::lock_guard guard(mutex_);
        open_ = true;
        failNext_ = failNext;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = true;
    int failNext_ = 0;
    int held_ = 0;
};

class JournalWriterTest : public ::testing::Test {
  protected:
    JournalWriterTest() { folder.writeLines(kJournalFile, {u"header"_s}); }

    std::unique_ptr<JournalWriter> makeWriter() {
        return std::make_unique<JournalWriter>(
            folder.appFolder(), spoolFolder(),
            [] { return QDateTime(QDate(2026, 12, 10), QTime(7, 52)); }, share->append());
    }
    std::filesystem::path spoolFolder() const { return folder.appFolder() / "spool"; }
    WriteResult write(const QString& line, std::chrono::milliseconds wait = kShortWait) {
        return JournalWriter::await(writer->submit({line, WriteOrder::LockingFirst, {}, {}}), wait);
    }
    QStringList spooled() {
        QStringList lines;
        for (const SpooledRecord& r : RecordSpool(spoolFolder()).load().records) {
            lines << r.line;
        }
        return lines;
    }
    QStringList journal() const {
        QStringList lines = decodeCp932(folder.readBytes(kJournalFile)).split(u"\r\n"_s);
        lines.removeFirst();  // the header
        lines.removeLast();   // after the last line break
        return lines;
    }

    test::DataFolder folder;
    std::shared_ptr<Share> share = std::make_shared<Share>();
    std::unique_ptr<JournalWriter> writer = makeWriter();
};

TEST_F(JournalWriterTest, OutcomesTheTeacherActsOnAreNotKept) {
    struct Case {
        const char* what;
        std::function<void(test::DataFolder&)> arrange;
        Kind expected;
        int linesAfter;
        std::size_t waitingAfter = 0;
    };
    const Case cases[] = {
        {"the share answers", [](test::DataFolder&) {}, Kind::Written, 1},
        {"another PC holds the lock", [](test::DataFolder& f) { f.writeBytes(kLockFile, ""); },
         Kind::Busy, 0},
        {"the journal alone is missing", [](test::DataFolder& f) { f.remove(kJournalFile); },
         Kind::JournalMissing, 0},
        {"the journal alone is missing while a record waits",
         [](test::DataFolder& f) {
             f.remove(kJournalFile);
             RecordSpool(f.appFolder() / "spool").keep({QDateTime::currentDateTime(), record(0)});
         },
         Kind::JournalMissing, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::DataFolder fresh;
        fresh.writeLines(kJournalFile, {u"header"_s});
        c.arrange(fresh);
        JournalWriter own(fresh.appFolder(), fresh.appFolder() / "spool",
                          [] { return QDateTime::currentDateTime(); });
        EXPECT_EQ(own.write({record(1), WriteOrder::LockingFirst, {}, {}}).kind, c.expected);
        EXPECT_EQ(RecordSpool(fresh.appFolder() / "spool").load().records.size(), c.waitingAfter);
        if (fresh.exists(kJournalFile)) {
            EXPECT_EQ(fresh.readBytes(kJournalFile).count("\r\n"), 1 + c.linesAfter);
        }
    }
}

TEST_F(JournalWriterTest, AHungWriteIsKeptAndTakenOffTheSpoolWhenItGoesThrough) {
    share->hang();
    EXPECT_EQ(write(record(1)).kind, Kind::Kept);
    EXPECT_EQ(spooled(), QStringList{record(1)});
    EXPECT_EQ(writer->spoolStatus().waiting, 1);

    share->answer();
    ASSERT_TRUE(waitUntil([&] { return spooled().isEmpty(); }));
    EXPECT_EQ(journal(), QStringList{record(1)});
    EXPECT_EQ(write(record(2)).kind, Kind::Written);
    EXPECT_EQ(journal(), (QStringList{record(1), record(2)}));
}

TEST_F(JournalWriterTest, AHungWriteThatFailsIsSentLaterBeforeTheRecordsAfterIt) {
    share->hang();
    EXPECT_EQ(write(record(1)).kind, Kind::Kept);
    EXPECT_EQ(write(record(2)).kind, Kind::Kept);  // queued behind the hung one
    EXPECT_EQ(spooled(), (QStringList{record(1), record(2)}));

    share->answer(EIO);
    ASSERT_TRUE(waitUntil([&] { return spooled().isEmpty(); }, 10000));
    EXPECT_EQ(journal(), (QStringList{record(1), record(2)}));
}

// Once a write hung for a screen's wait, the next punches are kept at once (the screen
// never waits for them) until a send goes through; the journal gets them in their order.
TEST_F(JournalWriterTest, AfterAHungWriteTheNextPunchesAreKeptAtOnceAndSentInOrder) {
    share->hang();
    EXPECT_EQ(write(record(0)).kind, Kind::Kept);
    QStringList made{record(0)};
    for (int minute = 1; minute <= 10; ++minute) {
        made << record(minute);
        int screenWaits = 0;
        EXPECT_EQ(
            writer->write({made.back(), WriteOrder::LockingFirst, {}, {}}, [&] { ++screenWaits; })
                .kind,
            Kind::Kept);
        EXPECT_EQ(screenWaits, 0) << minute;
    }
    EXPECT_EQ(spooled(), made);

    share->answer();
    ASSERT_TRUE(waitUntil([&] { return spooled().isEmpty(); }, 10000));
    EXPECT_EQ(journal(), made);
    // The share answers again: a punch goes to it, and waits for it, as before.
    int screenWaits = 0;
    share->hang();
    EXPECT_EQ(JournalWriter::await(writer->submit({record(11), WriteOrder::LockingFirst, {}, {}}),
                                   kShortWait, [&] { ++screenWaits; })
                  .kind,
              Kind::Kept);
    EXPECT_GT(screenWaits, 0);
    share->answer();
}

// A clock running on its local copy keeps every record at once and sends none, whatever
// the share would do; the next start's writer sends them. A spool that cannot take one
// says so at once.
TEST_F(JournalWriterTest, WithoutSendingEveryRecordIsKeptAtOnceAndNothingIsSent) {
    writer->keepWithoutSending();
    QStringList made;
    for (int minute = 0; minute < 3; ++minute) {
        made << record(minute);
        int screenWaits = 0;
        EXPECT_EQ(
            writer->write({made.back(), WriteOrder::LockingFirst, {}, {}}, [&] { ++screenWaits; })
                .kind,
            Kind::Kept);
        EXPECT_EQ(screenWaits, 0);
    }
    EXPECT_EQ(writer->spoolStatus().waiting, 3);
    EXPECT_EQ(spooled(), made);
    EXPECT_TRUE(journal().isEmpty());

    std::filesystem::rename(spoolFolder(), folder.appFolder() / "spool-aside");
    std::ofstream(spoolFolder()) << "a file where the spool folder goes";
    EXPECT_EQ(write(record(9)).kind, Kind::Failed);
    std::filesystem::remove(spoolFolder());
    std::filesystem::rename(folder.appFolder() / "spool-aside", spoolFolder());

    writer = makeWriter();
    writer->start();
    ASSERT_TRUE(waitUntil([&] { return spooled().isEmpty(); }));
    EXPECT_EQ(journal(), made);
}

// A punch its screen kept while the backlog before it was still going out goes with that
// backlog, and is not appended a second time after it.
TEST_F(JournalWriterTest, APunchKeptWhileTheBacklogGoesIsWrittenOnce) {
    writer->start();
    ASSERT_TRUE(waitUntil([&] { return writer->spoolStatus().waiting == 0; }));
    RecordSpool backlog(spoolFolder());
    backlog.keep({QDateTime(QDate(2026, 12, 10), QTime(7, 40)), record(40)});
    backlog.keep({QDateTime(QDate(2026, 12, 10), QTime(7, 41)), record(41)});
    share->hang();
    const auto punch = writer->submit({record(52), WriteOrder::LockingFirst, {}, {}});
    ASSERT_TRUE(waitUntil([&] { return share->holding(); }));  // sending the backlog for it
    EXPECT_EQ(JournalWriter::await(punch, std::chrono::milliseconds(0)).kind, Kind::Kept);
    share->answer();
    ASSERT_TRUE(waitUntil([&] { return spooled().isEmpty(); }, 10000));
    writer.reset();  // whatever it was still to do is done
    EXPECT_EQ(journal(), (QStringList{record(40), record(41), record(52)}));
}

TEST_F(JournalWriterTest, TwentyPunchesWhileTheShareIsGoneArriveOnceAndInOrder) {
    std::vector<SpoolStatus> told;
    std::mutex toldMutex;
    writer->setStatusChanged([&](const SpoolStatus& s) {
        const std::lock_guard guard(toldMutex);
        told.push_back(s);
    });
    const auto data = folder.appFolder() / kDataFolderName;
    const auto away = folder.appFolder() / "unmounted";
    std::filesystem::rename(data, away);
    QStringList made;
    for (int minute = 0; minute < 20; ++minute) {
        made << record(minute);
        // The 2 s of a screen: a folder that is gone answers at once.
        EXPECT_EQ(write(made.back(), JournalWriter::kScreenWait).kind, Kind::Kept);
    }
    EXPECT_EQ(spooled(), made);
    std::filesystem::rename(away, data);

    // Nothing else is written: the writer looks again by itself.
    ASSERT_TRUE(waitUntil([&] { return spooled().isEmpty(); },
                          static_cast<int>(2 * JournalWriter::kRetryEvery.count())));
    EXPECT_EQ(journal(), made);
    EXPECT_TRUE(waitUntil([&] {
        const std::lock_guard guard(toldMutex);
        return !told.empty() && told.back().waiting == 0;
    }));
    writer->setStatusChanged({});  // `told` goes with this test
    const std::lock_guard guard(toldMutex);
    EXPECT_TRUE(std::any_of(told.begin(), told.end(), [](const SpoolStatus& s) {
        return s.waiting == 20 && s.oldest == QDateTime(QDate(2026, 12, 10), QTime(7, 52));
    }));
}

// A clock left running over midnight: the new date's working hours are derived on the
// writer's thread, with the outcome a start would have.
TEST_F(JournalWriterTest, ANewDatesWorkingHoursAreDerivedOnTheWritersThread) {
    struct Told {
        std::mutex mutex;
        std::vector<std::optional<DerivationOutcome>> outcomes;
    };
    const auto told = std::make_shared<Told>();
    for (const QDate date : {QDate(2026, 12, 14), QDate(2026, 12, 14), QDate(2026, 12, 19)}) {
        writer->deriveHoursOf(
            date, [told](std::optional<DerivationOutcome> outcome, std::exception_ptr error) {
                const std::lock_guard guard(told->mutex);
                told->outcomes.push_back(error ? std::nullopt : outcome);
            });
    }
    ASSERT_TRUE(waitUntil([&] {
        const std::lock_guard guard(told->mutex);
        return told->outcomes.size() == 3;
    }));
    EXPECT_EQ(told->outcomes, (std::vector<std::optional<DerivationOutcome>>{
                                  DerivationOutcome::Appended, DerivationOutcome::AlreadyPresent,
                                  DerivationOutcome::NoWorkingHours}));
    EXPECT_TRUE(decodeCp932(folder.readBytes(kWorkingHoursFile)).contains(u"2026/12/14,"_s));
}

// A crash after the journal's sync and before the spool's update: the records are in the
// journal and still in the spool, with the note of the journal's size before their append.
// Only what was appended after that size counts, and each identical line once.
TEST_F(JournalWriterTest, ARecordSentBeforeACrashIsSentOnceWhateverFollowedIt) {
    writer.reset();
    const QString manual = u"退勤,山田　花子,2026/12/11,16:45,手動記録,詳細なし,事由なし"_s;
    QStringList weekend;  // another PC's records, far more than 64 KiB of them
    for (int i = 0; i < 1500; ++i) {
        weekend << u"出勤,佐藤　一郎,2026/12/12,%1:%2,IC記録,詳細なし,事由なし"_s
                       .arg(i / 60 % 24, 2, 10, QChar(u'0'))
                       .arg(i % 60, 2, 10, QChar(u'0'));
    }
    struct Case {
        const char* what;
        QStringList before;  // in the journal when the append began
        QStringList kept;    // waiting, each noted as going in that append
        QStringList landed;  // what of it reached the journal before the crash
        QStringList after;   // what others appended since
        QStringList resent;  // what the writer appends after all that
    };
    const Case cases[] = {
        {"the append landed", {}, {record(1), manual}, {record(1), manual}, {}, {}},
        {"the append landed and a weekend of records followed",
         {},
         {record(1)},
         {record(1)},
         weekend,
         {}},
        {"the append never landed; an identical record was written before it",
         {record(1)},
         {record(1)},
         {},
         {},
         {record(1)}},
        {"two identical records noted, the append never landed, one identical line after",
         {},
         {record(1), record(1)},
         {},
         {record(1)},
         {record(1)}},
        {"two identical records noted, both landed",
         {},
         {record(1), record(1)},
         {record(1), record(1)},
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(spoolFolder());
        folder.writeLines(kJournalFile, QStringList{u"header"_s} + c.before);
        const qint64 size = folder.readBytes(kJournalFile).size();
        RecordSpool spool(spoolFolder());
        std::vector<SpooledRecord> kept;
        for (const QString& line : c.kept) {
            kept.push_back({QDateTime(QDate(2026, 12, 10), QTime(7, 52)), line});
            spool.keep(kept.back());
        }
        spool.noteSending(kept, size);
        folder.writeLines(kJournalFile, QStringList{u"header"_s} + c.before + c.landed + c.after);

        writer = makeWriter();
        writer->start();
        ASSERT_TRUE(waitUntil([&] { return spooled().isEmpty(); }));
        writer.reset();
        EXPECT_EQ(journal(), c.before + c.landed + c.after + c.resent);
        if (c.kept.contains(manual)) {
            EXPECT_TRUE(
                decodeCp932(folder.readBytes(kWorkingHoursFile)).contains(u"2026/12/11,"_s));
        }
    }
}

// A punch's own append that lands while its record is kept (the screen's wait ran out, or
// the share reported an error after all), and a crash before the spool's update: the
// record carries the note of where its append went and is not sent again.
TEST_F(JournalWriterTest, APunchKeptWhileItsAppendLandsIsNotSentAgainAfterACrash) {
    for (const bool screenKeepsFirst : {false, true}) {
        SCOPED_TRACE(screenKeepsFirst ? "kept by the screen before the append began"
                                      : "kept after the append");
        writer.reset();
        std::filesystem::remove_all(spoolFolder());
        folder.writeLines(kJournalFile, {u"header"_s});
        share->hang();
        if (!screenKeepsFirst) {
            share->answer();
        }
        auto crashing = std::make_unique<JournalWriter>(
            folder.appFolder(), spoolFolder(), [] { return QDateTime::currentDateTime(); },
            [self = share](const std::filesystem::path& appFolder, const QString& line,
                           JournalLock& lock, WriteOrder order, const WhileLocked& whileLocked) {
                // The record lands, and the process dies before it can say so.
                const WhileLocked landsOnly{whileLocked.lines, {}, {}};
                self->appendThrough(appFolder, line, lock, order, landsOnly);
                throw FileError(appFolder, "cannot write", EIO);
                return WriteOutcome::Written;
            });
        const auto pending = crashing->submit({record(1), WriteOrder::LockingFirst, {}, {}});
        if (screenKeepsFirst) {
            EXPECT_EQ(JournalWriter::await(pending, kShortWait).kind, Kind::Kept);
            share->answer();
        } else {
            EXPECT_EQ(JournalWriter::await(pending, JournalWriter::kScreenWait).kind, Kind::Kept);
        }
        ASSERT_TRUE(waitUntil([&] { return journal().size() == 1; }));
        crashing.reset();
        EXPECT_EQ(spooled(), QStringList{record(1)});

        writer = makeWriter();
        writer->start();
        ASSERT_TRUE(waitUntil([&] { return spooled().isEmpty(); }));
        EXPECT_EQ(journal(), QStringList{record(1)});
    }
}

// A record kept but never sent is sent, even when the journal's end holds the same line:
// the same teacher, kind and minute written earlier is another punch.
TEST_F(JournalWriterTest, AKeptRecordIdenticalToAnEarlierOneIsSent) {
    writer.reset();
    RecordSpool(spoolFolder()).keep({QDateTime::currentDateTime(), record(1)});
    folder.writeLines(kJournalFile, {u"header"_s, record(1)});
    writer = makeWriter();
    writer->start();
    ASSERT_TRUE(waitUntil([&] { return spooled().isEmpty(); }));
    EXPECT_EQ(journal(), (QStringList{record(1), record(1)}));
}

// A record written is read back once a late write of another PC could no longer land on
// it. One that such a write overwrote (the same length: nothing looks torn) is written
// again, once, even when an equal punch of this writer's follows it; one still in place
// is left alone; a journal that cannot be read at the time is read again later.
TEST_F(JournalWriterTest, ARecordOverwrittenByALateWriteIsWrittenAgainOnce) {
    constexpr std::chrono::milliseconds kRecheck{300};
    const QString late = u"退勤,佐藤　一郎,2026/12/10,07:01,IC記録,詳細なし,事由なし"_s;
    ASSERT_EQ(lineBytesAsWritten(late).size(), lineBytesAsWritten(record(1)).size());
    const auto data = folder.appFolder() / kDataFolderName;
    const auto away = folder.appFolder() / "unmounted";
    struct Case {
        const char* what;
        int punches;       // of record(1), one after the other
        bool overwritten;  // the first of them
        bool awayAtTheCheck;
        QStringList expected;
    };
    const Case cases[] = {
        {"left in place", 1, false, false, {record(1)}},
        {"overwritten", 1, true, false, {late, record(1)}},
        {"overwritten, the share away at the check", 1, true, true, {late, record(1)}},
        {"overwritten, an equal punch after it", 2, true, false, {late, record(1), record(1)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writer.reset();
        std::filesystem::remove_all(spoolFolder());
        folder.writeLines(kJournalFile, {u"header"_s});
        writer = std::make_unique<JournalWriter>(
            folder.appFolder(), spoolFolder(), [] { return QDateTime::currentDateTime(); },
            share->append(), kRecheck);
        for (int i = 0; i < c.punches; ++i) {
            ASSERT_EQ(write(record(1)).kind, Kind::Written);
        }
        if (c.overwritten) {
            QStringList overwritten{u"header"_s, late};
            for (int i = 1; i < c.punches; ++i) {
                overwritten << record(1);
            }
            folder.writeLines(kJournalFile, overwritten);
        }
        if (c.awayAtTheCheck) {
            std::filesystem::rename(data, away);
            std::this_thread::sleep_for(3 * kRecheck);
            std::filesystem::rename(away, data);
        }
        ASSERT_TRUE(waitUntil([&] { return journal() == c.expected; },
                              static_cast<int>(3 * JournalWriter::kRetryEvery.count())))
            << journal().join(u'|').toStdString();
        std::this_thread::sleep_for(5 * kRecheck);  // its own check finds it in place
        EXPECT_EQ(journal(), c.expected);
        EXPECT_TRUE(spooled().isEmpty());
    }
}

// Another PC's lock that stands for more than a few seconds is no append of the moment:
// a punch that meets it is kept and goes out, in order, when the lock goes; a lock just
// taken is busy, as before.
TEST_F(JournalWriterTest, APunchBehindALockThatStandsIsKeptAndAFreshLockIsBusy) {
    folder.writeBytes(kLockFile, "host=other pid=1 boot=b token=1\r\n");
    EXPECT_EQ(write(record(1), JournalWriter::kScreenWait).kind, Kind::Busy);
    std::this_thread::sleep_for(JournalWriter::kKeepBehindALockAfter + kShortWait);
    EXPECT_EQ(write(record(2), JournalWriter::kScreenWait).kind, Kind::Kept);
    EXPECT_EQ(write(record(3), JournalWriter::kScreenWait).kind, Kind::Kept);
    folder.writeBytes(kLockFile, "host=other pid=1 boot=b token=2\r\n");  // taken anew
    EXPECT_EQ(write(record(4), JournalWriter::kScreenWait).kind, Kind::Busy);
    EXPECT_EQ(spooled(), (QStringList{record(2), record(3)}));

    folder.remove(kLockFile);
    ASSERT_TRUE(waitUntil([&] { return spooled().isEmpty(); },
                          static_cast<int>(2 * JournalWriter::kRetryEvery.count())));
    EXPECT_EQ(journal(), (QStringList{record(2), record(3)}));
}

// The look at the journal's end for a record sent before a crash opens keeper.txt as every
// data file is opened: a link in its place is never taken for the journal, so a file it
// points at that happens to end with the record does not make the record count as sent.
TEST_F(JournalWriterTest, ALinkInTheJournalsPlaceNeverMakesAWaitingRecordCountAsSent) {
    writer.reset();
    RecordSpool(spoolFolder()).keep({QDateTime::currentDateTime(), record(1)});
    const auto elsewhere = folder.appFolder() / "elsewhere.txt";
    folder.writeLines(kJournalFile, {u"header"_s, record(1)});
    std::filesystem::rename(folder.file(kJournalFile), elsewhere);
    std::filesystem::create_symlink(elsewhere, folder.file(kJournalFile));

    writer = makeWriter();
    writer->start();
    writer->write({record(2), WriteOrder::LockingFirst, {}, {}});
    EXPECT_TRUE(spooled().contains(record(1)));
}

// The screen's wait ends while the append hangs and the spool cannot take the record: only
// the append's own outcome may say what happened, or a teacher told "failed" punches again.
TEST_F(JournalWriterTest, ARecordNeitherWrittenNorKeptWaitsForTheAppendsOwnOutcome) {
    writer.reset();
    std::filesystem::remove(spoolFolder());
    {
        QFile blocker(QString::fromStdString(spoolFolder().string()));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder goes
    }
    struct Case {
        const char* what;
        int error;  // the hung append's end
        Kind expected;
        int linesAfter;
    };
    const Case cases[] = {
        {"the append goes through", 0, Kind::Written, 1},
        {"the append fails", EIO, Kind::Failed, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        folder.writeLines(kJournalFile, {u"header"_s});
        writer = makeWriter();
        share->hang();
        std::thread answer([&] {
            std::this_thread::sleep_for(3 * kShortWait);
            share->answer(c.error);
        });
        const WriteResult result = write(record(1));
        answer.join();
        EXPECT_EQ(result.kind, c.expected);
        if (c.expected == Kind::Failed) {
            EXPECT_THROW(std::rethrow_exception(result.error), FileError);
        }
        EXPECT_EQ(journal().size(), c.linesAfter);
        writer.reset();
    }
}

// What goes wrong with the records waiting is theirs: the new punch is written, or kept
// behind them, and never reported failed for it; nor does it wait past the screen's 2 s.
TEST_F(JournalWriterTest, AFaultOfWhatWaitsIsNotThePunchsOutcome) {
    struct Case {
        const char* what;
        std::function<UniqueFd()> arrange;  // held while the punch is made
        Kind expected;
    };
    const auto spoolFile = [&] { return RecordSpool(spoolFolder()).file(); };
    const Case cases[] = {
        {"a link as spool.txt",
         [&] {
             std::filesystem::create_directories(spoolFolder());
             std::filesystem::create_symlink(folder.file(kJournalFile), spoolFile());
             return UniqueFd();
         },
         Kind::Written},
        {"a FIFO as spool.txt",
         [&] {
             std::filesystem::create_directories(spoolFolder());
             ::mkfifo(spoolFile().c_str(), 0660);
             return UniqueFd();
         },
         Kind::Written},
        {"a torn line in spool.txt and a FIFO as spool.txt.damaged",
         [&] {
             std::filesystem::create_directories(spoolFolder());
             QFile torn(QString::fromStdString(spoolFile().string()));
             EXPECT_TRUE(torn.open(QIODevice::WriteOnly));
             torn.write("2026-12-10 07:52:00\t");
             ::mkfifo((spoolFile().string() + RecordSpool::kSetAsideSuffix).c_str(), 0660);
             return UniqueFd();
         },
         Kind::Written},
        {"another copy holds the spool's lock",
         [&] {
             RecordSpool(spoolFolder()).keep({QDateTime::currentDateTime(), record(0)});
             UniqueFd held(::open(spoolFile().c_str(), O_RDONLY | O_CLOEXEC));
             ::flock(held.get(), LOCK_EX);
             return held;
         },
         Kind::Written},
        {"sending what waits meets another PC's lock on keeper.txt",
         [&] {
             RecordSpool(spoolFolder()).keep({QDateTime::currentDateTime(), record(0)});
             share->answer(EACCES);
             return UniqueFd();
         },
         Kind::Kept},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writer.reset();
        std::filesystem::remove_all(spoolFolder());
        folder.writeLines(kJournalFile, {u"header"_s});
        writer = makeWriter();
        // Past its start-up send, which would meet the fault first.
        ASSERT_EQ(write(record(2)).kind, Kind::Written);
        const UniqueFd held = c.arrange();
        const auto pressed = std::chrono::steady_clock::now();
        const WriteResult result = write(record(1), JournalWriter::kScreenWait);
        EXPECT_LT(std::chrono::steady_clock::now() - pressed, JournalWriter::kScreenWait);
        EXPECT_EQ(result.kind, c.expected);
        if (c.expected == Kind::Written) {
            EXPECT_TRUE(journal().contains(record(1)));
        } else {
            EXPECT_EQ(spooled(), (QStringList{record(0), record(1)}));
        }
    }
}

// Two copies of Tavomi on one PC (two accounts) send from the one spool: each record
// reaches the journal once, in order.
TEST_F(JournalWriterTest, TwoCopiesSendingOneSpoolSendEachRecordOnce) {
    writer.reset();
    RecordSpool spool(spoolFolder());
    QStringList made;
    for (int i = 0; i < 100; ++i) {
        made << u"出勤,山田　花子,2026/12/10,%1:%2,IC記録,詳細なし,事由なし"_s
                    .arg(i / 60, 2, 10, QChar(u'0'))
                    .arg(i % 60, 2, 10, QChar(u'0'));
        spool.keep({QDateTime(QDate(2026, 12, 10), QTime(7, 52)), made.back()});
    }
    const std::string app = folder.appFolder().string();
    const std::string spoolPath = spoolFolder().string();
    std::vector<pid_t> copies;
    for (int copy = 0; copy < 2; ++copy) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::execl(TAVOMI_SPOOL_SENDER, TAVOMI_SPOOL_SENDER, app.c_str(), spoolPath.c_str(), "60",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        copies.push_back(pid);
    }
    for (const pid_t pid : copies) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(journal().size(), made.size());
    EXPECT_EQ(journal(), made);
    EXPECT_TRUE(spooled().isEmpty());
}

TEST_F(JournalWriterTest, AnExitWhileAWriteHangsEndsAndKeepsTheRecord) {
    share->hang();
    EXPECT_EQ(write(record(1)).kind, Kind::Kept);
    const auto before = std::chrono::steady_clock::now();
    writer.reset();
    // Bounded by the writer's own exit wait, not by the hung write.
    EXPECT_LT(std::chrono::steady_clock::now() - before, 4 * JournalWriter::kExitWait);
    EXPECT_EQ(spooled(), QStringList{record(1)});
    share->answer(EIO);
}

}  // namespace
}  // namespace tavomi
