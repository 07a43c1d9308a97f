// The spool on this PC's disk: what is kept comes back whole and in order, a damaged part
// goes aside without taking a whole record with it.

#include "spool/record_spool.h"
#include "files/cp932.h"
#include "files/file_error.h"
#include "files/unique_fd.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <string_view>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

const QDateTime kAt(QDate(2026, 12, 10), QTime(7, 52, 3));
const QString kFirst = u"出勤,山田　花子,2026/12/10,07:52,IC記録,詳細なし,事由なし"_s;
const QString kSecond = u"退勤,佐藤太郎,2026/12/10,16:45,手動記録,詳細なし,事由なし"_s;

QByteArray readFile(const std::filesystem::path& path) {
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const std::filesystem::path& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path.string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A disk that holds no more than `bytes` in any file, while it lives (SIGXFSZ ignored).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        const rlimit limit{bytes, before_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &before_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit before_{};
};

class RecordSpoolTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    RecordSpool spool{std::filesystem::path(dir.path().toStdString()) / "spool"};
};

TEST_F(RecordSpoolTest, KeepsInOrderAndRemovesByLine) {
    EXPECT_TRUE(spool.load().records.empty());  // no folder yet: nothing waits
    EXPECT_FALSE(spool.first());
    spool.keep({kAt, kFirst});
    spool.keep({kAt.addSecs(60), kSecond});
    spool.keep({kAt.addSecs(120), kFirst});
    EXPECT_EQ(readFile(spool.file()).left(20), "2026-12-10 07:52:03\t");
    EXPECT_TRUE(readFile(spool.file()).endsWith(encodeCp932(kFirst) + "\r\n"));

    EXPECT_EQ(spool.first(), (SpooledRecord{kAt, kFirst}));
    spool.remove({kAt, kFirst});
    const SpoolContents contents = spool.load();
    ASSERT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.records[0].line, kSecond);
    EXPECT_EQ(contents.records[1].line, kFirst);
    EXPECT_EQ(contents.records[1].keptAt, kAt.addSecs(120));
    EXPECT_EQ(contents.setAsideSize, 0);
}

// A record's note of the append that carries it goes with the record: kept through
// keeps after it, a damaged part set aside, and taken off with the record alone.
TEST_F(RecordSpoolTest, ANoteOfWhereARecordWentGoesWithItsRecord) {
    spool.keep({kAt, kFirst});
    spool.keep({kAt, kSecond});
    spool.keep({kAt, kFirst});
    spool.noteSending({{kAt, kFirst}, {kAt, kSecond}}, 4096);
    spool.keep({kAt.addSecs(60), kSecond});
    writeFile(spool.file(), readFile(spool.file()) + "torn");
    SpoolContents contents = spool.load();
    ASSERT_EQ(contents.records.size(), 4u);
    EXPECT_EQ(contents.sentFrom, (std::vector<std::optional<qint64>>{4096, 4096, {}, {}}));
    EXPECT_EQ(contents.setAsideSize, 4);
    EXPECT_EQ(readFile(contents.setAsideFile), "torn");

    spool.remove(std::vector<SpooledRecord>{{kAt, kFirst}, {kAt, kSecond}});
    contents = spool.load();
    ASSERT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.records[0], (SpooledRecord{kAt, kFirst}));
    // The identical record left behind was never noted: its note went with the other.
    EXPECT_EQ(contents.sentFrom, (std::vector<std::optional<qint64>>{{}, {}}));
}

TEST_F(RecordSpoolTest, DamagedPartsGoAsideAndWholeRecordsStay) {
    const QByteArray whole = spoolLine({kAt, kFirst});
    struct Case {
        const char* what;
        QByteArray damage;
    };
    const Case cases[] = {
        {"a torn last line", spoolLine({kAt, kSecond}).left(30)},
        {"a line that is no record", "2026-12-10 07:52:03\tnot a record\r\n"},
        {"bytes that are not CP932", "2026-12-10 07:52:03\t\x81\x20,\xff\r\n"},
        {"no time", encodeCp932(kSecond) + "\r\n"},
        // A record's line never holds a control character: sent, 0x1A would cut the journal
        // short at the next append, and a lone LF would split the record in two.
        {"an end-of-file mark in a name",
         "2026-12-10 07:52:03\t" +
             encodeCp932(u"出勤,山田\x1A花子,2026/12/10,07:52,IC記録,詳細なし,事由なし"_s) +
             "\r\n"},
        {"a lone LF in a name",
         "2026-12-10 07:52:03\t" +
             encodeCp932(u"出勤,山田\n花子,2026/12/10,07:52,IC記録,詳細なし,事由なし"_s) + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::create_directories(spool.folder());
        std::filesystem::remove(spool.file().string() + RecordSpool::kSetAsideSuffix);
        const bool atEnd = !c.damage.endsWith("\r\n");
        writeFile(spool.file(), atEnd ? whole + c.damage : c.damage + whole);

        const SpoolContents contents = spool.load();
        ASSERT_EQ(contents.records.size(), 1u);
        EXPECT_EQ(contents.records[0].line, kFirst);
        EXPECT_EQ(contents.setAsideSize, c.damage.size());
        EXPECT_EQ(readFile(contents.setAsideFile), c.damage);
        EXPECT_EQ(readFile(spool.file()), whole);  // repaired: the next load finds no damage
        EXPECT_EQ(spool.load().setAsideSize, 0);
    }
}

// Damage far longer than any record (a disk that gave back zeros after a crash, a file
// copied over the spool) is read past in parts: the records around it stay, a record's
// text inside it is not taken for one, and the damage goes aside byte for byte.
TEST_F(RecordSpoolTest, DamageLongerThanAnyRecordGoesAsideWhole) {
    const QByteArray first = spoolLine({kAt, kFirst});
    const QByteArray second = spoolLine({kAt.addSecs(60), kSecond});
    const QByteArray zeros(3 * 1024 * 1024 + 17, '\0');
    struct Case {
        const char* what;
        QByteArray spool;
        QByteArray damage;
        std::vector<SpooledRecord> records;
    };
    const Case cases[] = {
        {"zeros between two records, ended by a line break",
         first + zeros + "\r\n" + second,
         zeros + "\r\n",
         {{kAt, kFirst}, {kAt.addSecs(60), kSecond}}},
        {"a record's text at the end of a long line",
         first + zeros + second,
         zeros + second,
         {{kAt, kFirst}}},
        {"zeros to the end", first + zeros, zeros, {{kAt, kFirst}}},
        {"nothing but zeros", zeros, zeros, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(spool.folder());
        std::filesystem::create_directories(spool.folder());
        writeFile(spool.file(), c.spool);
        EXPECT_EQ(spool.first(),
                  c.records.empty() ? std::nullopt : std::optional(c.records.front()));
        EXPECT_EQ(spool.load().records, c.records);
        EXPECT_TRUE(readFile(spool.file().string() + RecordSpool::kSetAsideSuffix) == c.damage);
        spool.keep({kAt.addSecs(120), kFirst});
        EXPECT_EQ(spool.load().records.size(), c.records.size() + 1);
    }
}

// A torn end of any length goes aside before the next keep, and only it.
TEST_F(RecordSpoolTest, ALongTornEndGoesAsideBeforeTheNextKeep) {
    const QByteArray first = spoolLine({kAt, kFirst});
    // Longer than one step back from the end, with a CR at a step's edge.
    QByteArray torn(200 * 1024, 'x');
    torn[64 * 1024] = '\r';
    std::filesystem::create_directories(spool.folder());
    writeFile(spool.file(), first + torn);
    spool.keep({kAt.addSecs(60), kSecond});
    EXPECT_TRUE(readFile(spool.file()) == first + spoolLine({kAt.addSecs(60), kSecond}));
    EXPECT_TRUE(readFile(spool.file().string() + RecordSpool::kSetAsideSuffix) == torn);
}

// A disk that fills at any byte of a kept line: the keep fails, the spool is as it was, and
// once there is room again the next keep and everything waiting come out whole.
TEST_F(RecordSpoolTest, AFullDiskAtAnyByteOfALineLeavesTheSpoolAsItWas) {
    const QByteArray line = spoolLine({kAt, kSecond});
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    for (qsizetype cut = 0; cut < line.size(); ++cut) {
        SCOPED_TRACE(cut);
        std::filesystem::remove_all(spool.folder());
        spool.keep({kAt, kFirst});
        const QByteArray before = readFile(spool.file());
        {
            const FileSizeLimit full(static_cast<rlim_t>(before.size() + cut));
            EXPECT_THROW(spool.keep({kAt, kSecond}), FileError);
        }
        EXPECT_EQ(readFile(spool.file()), before);
        spool.keep({kAt.addSecs(60), kSecond});
        const SpoolContents contents = spool.load();
        ASSERT_EQ(contents.records.size(), 2u);
        EXPECT_EQ(contents.records[1].line, kSecond);
        EXPECT_EQ(contents.setAsideSize, 0);
        EXPECT_FALSE(std::filesystem::exists(spool.file().string() + ".new"));
    }
    std::signal(SIGXFSZ, previous);
}

// A crash part way through a keep leaves a torn line; the next record never joins it, and
// the torn one (never reported kept) goes aside as it is.
TEST_F(RecordSpoolTest, ATornLineGoesAsideBeforeTheNextKeep) {
    const QByteArray whole = spoolLine({kAt, kFirst});
    const QByteArray torn = spoolLine({kAt, kSecond});
    for (qsizetype cut = 1; cut < torn.size(); ++cut) {
        SCOPED_TRACE(cut);
        std::filesystem::remove_all(spool.folder());
        std::filesystem::create_directories(spool.folder());
        writeFile(spool.file(), whole + torn.left(cut));
        spool.keep({kAt.addSecs(60), kFirst});
        const SpoolContents contents = spool.load();
        ASSERT_EQ(contents.records.size(), 2u);
        EXPECT_EQ(contents.records[0], (SpooledRecord{kAt, kFirst}));
        EXPECT_EQ(contents.records[1], (SpooledRecord{kAt.addSecs(60), kFirst}));
        EXPECT_EQ(readFile(spool.file().string() + RecordSpool::kSetAsideSuffix), torn.left(cut));
    }
}

// Another account of the group sends what this one kept and keeps after it sent: every
// file the spool makes, and its folder, are group-writable under Debian's umask 022.
TEST_F(RecordSpoolTest, FilesAndFolderAreGroupWritableUnderUmask022) {
    const mode_t previous = ::umask(022);
    spool.keep({kAt, kFirst});
    spool.keep({kAt, kSecond});
    writeFile(spool.file(), readFile(spool.file()) + "torn");
    spool.load();                 // sets the torn part aside, replaces spool.txt
    spool.remove({kAt, kFirst});  // replaces spool.txt
    ::umask(previous);
    for (const std::filesystem::path& made :
         {spool.folder(), spool.file(),
          std::filesystem::path(spool.file().string() + RecordSpool::kSetAsideSuffix)}) {
        SCOPED_TRACE(made.string());
        struct stat st {};
        ASSERT_EQ(::stat(made.c_str(), &st), 0);
        EXPECT_NE(st.st_mode & S_IWGRP, 0u);
    }
}

// A spool that someone holds, or a FIFO where a spool file goes, is an error at once
// (within the spool's short lock wait), never a wait without end.
TEST_F(RecordSpoolTest, AHeldLockOrAFifoIsAnErrorWithinTheLockWait) {
    using std::chrono::steady_clock;
    struct Case {
        const char* what;
        std::function<UniqueFd()> arrange;  // what it returns is held during the calls
    };
    const Case cases[] = {
        {"another process holds the spool's lock",
         [&] {
             spool.keep({kAt, kFirst});
             UniqueFd held(::open(spool.file().c_str(), O_RDONLY | O_CLOEXEC));
             ::flock(held.get(), LOCK_EX);
             return held;
         }},
        {"a FIFO as spool.txt",
         [&] {
             std::filesystem::create_directories(spool.folder());
             ::mkfifo(spool.file().c_str(), 0660);
             return UniqueFd();
         }},
        {"a FIFO as spool.txt.damaged",
         [&] {
             std::filesystem::create_directories(spool.folder());
             writeFile(spool.file(), "torn");
             ::mkfifo((spool.file().string() + RecordSpool::kSetAsideSuffix).c_str(), 0660);
             return UniqueFd();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(spool.folder());
        const UniqueFd held = c.arrange();
        const auto start = steady_clock::now();
        EXPECT_THROW(spool.load(), FileError);
        if (std::string_view(c.what).find("damaged") == std::string_view::npos) {
            EXPECT_THROW(spool.keep({kAt, kSecond}), FileError);
            EXPECT_THROW(spool.remove({kAt, kFirst}), FileError);
        }
        EXPECT_LT(steady_clock::now() - start, 4 * RecordSpool::kLockWait);
    }
}

TEST_F(RecordSpoolTest, AFolderThatCannotBeMadeIsAFileError) {
    writeFile(spool.folder(), "a file where the folder should be");
    EXPECT_THROW(spool.keep({kAt, kFirst}), FileError);
}

}  // namespace
}  // namespace tavomi
