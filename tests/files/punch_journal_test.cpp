#include "files/punch_journal.h"
#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "support/data_folder_fixture.h"

#include "support/file_conditions.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

namespace tavomi {
namespace {

QString s(const char16_t* text) {
    return QString::fromUtf16(text);
}

QByteArray cp932(const char16_t* text) {
    return encodeCp932(QString::fromUtf16(text));
}

const QString kRecord = s(u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし");
const QByteArray kRecordBytes = cp932(u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし");
const QByteArray kHeaderBytes = cp932(u"区分,氏名,日付,時刻,記録方法,詳細,事由\r\n");

TEST(PunchRecord, LineIsSevenFieldsWithoutQuoting) {
    const struct {
        PunchRecord record;
        const char16_t* line;
    } cases[] = {
        {{s(u"出勤"), s(u"山田花子"), "2019/08/28", "07:45", s(kSourceCard), s(u"詳細なし"),
          s(u"事由なし")},
         u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし"},
        {{s(u"中抜"), s(u"山田花子"), "2019/08/28", "02:00", s(kSourceCard), s(u"詳細なし"),
          s(u"事由年休")},
         u"中抜,山田花子,2019/08/28,02:00,IC記録,詳細なし,事由年休"},
        {{s(u"退勤"), s(u"山田花子"), "2019/08/28", "25:30", s(kSourceManual), s(u"詳細bchm1"),
          s(u"事由なし")},
         u"退勤,山田花子,2019/08/28,25:30,手動記録,詳細bchm1,事由なし"},
        // nothing refuses or escapes a comma, a quote or a space in a name
        {{s(u"外出"), s(u"山田,\"花子\" A"), "2019/08/28", "13:10", s(kSourceCard), s(u"詳細s"),
          s(u"事由職専免")},
         u"外出,山田,\"花子\" A,2019/08/28,13:10,IC記録,詳細s,事由職専免"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.record.line(), s(c.line));
    }
}

// ---- appending ---------------------------------------------------------------

struct AppendCase {
    const char* what;
    QByteArray before;
    QString line;
    QByteArray after;
};

QByteArray filler(int size) {
    // Lines of ASCII ending in CR LF, exactly `size` bytes (size >= 2).
    QByteArray bytes(size - 2, 'x');
    for (int i = 40; i < bytes.size(); i += 40) {
        bytes[i - 2] = '\r';
        bytes[i - 1] = '\n';
    }
    return bytes + "\r\n";
}

std::vector<AppendCase> appendCases() {
    const QByteArray rec = kRecordBytes + "\r\n";
    const QByteArray h = kHeaderBytes;
    return {
        {"header only", h, kRecord, h + rec},
        {"0-byte file", QByteArray(), kRecord, rec},
        {"records before", h + rec, kRecord, h + rec + rec},
        {"no final line break", h + "x,y", kRecord, h + "x,y\r\n" + rec},
        {"bare LF at the end", h + "x,y\n", kRecord, h + "x,y\n" + rec},
        {"0x1A as last byte", h + "\x1A", kRecord, h + rec},
        {"0x1A alone", QByteArray("\x1A"), kRecord, rec},
        {"0x1A after a line without break", h + "x,y\x1A", kRecord, h + "x,y\r\n" + rec},
        {"0x1A within the last 128 bytes", h + "\x1A" + "tail\r\n", kRecord, h + rec},
        {"first 0x1A of several", h + "\x1A" + "ab\x1A" + "cd", kRecord, h + rec},
        {"0x1A exactly 128 bytes before the end", h + "\x1A" + filler(127), kRecord, h + rec},
        {"0x1A 129 bytes before the end", h + "\x1A" + filler(128), kRecord,
         h + "\x1A" + filler(128) + rec},
        {"0x1A far before the end", h + "\x1A" + filler(4000), kRecord,
         h + "\x1A" + filler(4000) + rec},
        {"unmappable characters", h, s(u"出勤,山田😀花子\u200B,x"),
         h + cp932(u"出勤,山田?花子?,x\r\n")},
        {"CP932 specials", h, s(u"～①髙﨑ｱ"), h + "\x81\x60\x87\x40\xFB\xFC\xFA\xB1\xB1\r\n"},
    };
}

class AppendLine : public ::testing::Test {
  protected:
    std::filesystem::path journal() const { return folder.file(kJournalFile); }
    QByteArray journalBytes() const { return folder.readBytes(kJournalFile); }

    test::DataFolder folder;
};

TEST_F(AppendLine, AppendsOneCrLfLineInCp932) {
    for (const AppendCase& c : appendCases()) {
        folder.writeBytes(kJournalFile, c.before);
        appendLine(journal(), c.line);
        EXPECT_EQ(journalBytes(), c.after) << c.what;
    }
}

TEST_F(AppendLine, NeverCreatesTheFile) {
    folder.remove(kJournalFile);
    try {
        appendLine(journal(), kRecord);
        FAIL() << "no FileError";
    } catch (const FileError& e) {
        EXPECT_EQ(e.errorNumber(), ENOENT);
        EXPECT_NE(std::string(e.what()).find(std::strerror(ENOENT)), std::string::npos) << e.what();
    }
    EXPECT_FALSE(folder.exists(kJournalFile));
}

// Each way an append can fail leaves the file exactly as it was.
struct FailureCase {
    const char* what;
    QByteArray before;
    int errnum;  // the platform's error the FileError carries
    // Sets the failure up for the scope of the returned guard.
    std::function<std::shared_ptr<void>(const test::DataFolder&)> arrange;
};

std::shared_ptr<void> holdExclusively(const test::DataFolder& folder) {
    return std::make_shared<test::HeldFile>(folder.file(kJournalFile), LOCK_EX);
}

std::shared_ptr<void> holdShared(const test::DataFolder& folder) {
    return std::make_shared<test::HeldFile>(folder.file(kJournalFile), LOCK_SH);
}

std::shared_ptr<void> limitSize(const test::DataFolder& folder, qint64 extra) {
    const auto size = std::filesystem::file_size(folder.file(kJournalFile));
    return std::make_shared<test::FileSizeLimit>(size + extra);
}

TEST_F(AppendLine, FailureLeavesTheFileByteIdentical) {
    const QByteArray h = kHeaderBytes;
    const FailureCase cases[] = {
        {"held by another writer", h + kRecordBytes + "\r\n", EWOULDBLOCK, holdExclusively},
        {"held by a reader", h, EWOULDBLOCK, holdShared},
        {"disk full at once", h, EFBIG, [](const auto& f) { return limitSize(f, 0); }},
        {"disk full part way", h, EFBIG, [](const auto& f) { return limitSize(f, 5); }},
        {"disk full after a missing break", h + "x,y", EFBIG,
         [](const auto& f) { return limitSize(f, 1); }},
        // The cut and the line's first bytes fit, the rest does not: the cut
        // must be undone too.
        {"disk full after the 0x1A cut", h + "\x1A" + "0123456789", EFBIG,
         [](const auto& f) { return limitSize(f, 0); }},
        {"disk full with 0x1A last", h + "\x1A", EFBIG,
         [](const auto& f) { return limitSize(f, 3); }},
    };
    for (const FailureCase& c : cases) {
        folder.writeBytes(kJournalFile, c.before);
        {
            auto condition = c.arrange(folder);
            try {
                appendLine(journal(), kRecord);
                ADD_FAILURE() << c.what << ": no FileError";
            } catch (const FileError& e) {
                EXPECT_EQ(e.errorNumber(), c.errnum) << c.what << ": " << e.what();
            }
        }
        EXPECT_EQ(journalBytes(), c.before) << c.what;
    }
}

TEST_F(AppendLine, ReadOnlyFileIsAFileErrorAndStaysUnchanged) {
    const QByteArray before = kHeaderBytes + "\x1A";
    folder.writeBytes(kJournalFile, before);
    {
        test::WithoutDacOverride caps;
        test::ScopedMode mode(journal(), 0444);
        if (!test::fileIsReadOnly(journal())) {
            FAIL() << "cannot make a file read-only here, so the outcome cannot be shown";
        }
        EXPECT_THROW(appendLine(journal(), kRecord), FileError);
    }
    EXPECT_EQ(journalBytes(), before);
}

// ---- lock file ---------------------------------------------------------------

class LockFile : public AppendLine {
  protected:
    std::filesystem::path lock() const { return folder.file(kLockFile); }
};

TEST_F(LockFile, CreateRockTakesTheLockOnlyWhenFree) {
    ASSERT_TRUE(takeJournalLock(lock()));
    EXPECT_EQ(folder.readBytes(kLockFile), QByteArray());

    // Someone else's lock is neither taken over nor truncated.
    folder.writeBytes(kLockFile, "other");
    EXPECT_FALSE(takeJournalLock(lock()));
    EXPECT_EQ(folder.readBytes(kLockFile), QByteArray("other"));

    releaseJournalLock(lock());
    EXPECT_FALSE(folder.exists(kLockFile));
    releaseJournalLock(lock());  // nothing to delete: ignored
}

TEST_F(LockFile, ReadOnlyFolder) {
    const std::filesystem::path dataFolder = journal().parent_path();
    folder.writeBytes(kLockFile, "");
    {
        test::WithoutDacOverride caps;
        test::ScopedMode mode(dataFolder, 0555);
        if (!test::folderIsReadOnly(dataFolder)) {
            FAIL() << "cannot make a folder read-only here, so the outcome cannot be shown";
        }
        releaseJournalLock(lock());  // fails, and is ignored
        EXPECT_TRUE(folder.exists(kLockFile));
    }
    folder.remove(kLockFile);
    {
        test::WithoutDacOverride caps;
        test::ScopedMode mode(dataFolder, 0555);
        EXPECT_THROW(takeJournalLock(lock()), FileError);
    }
    EXPECT_FALSE(folder.exists(kLockFile));
}

// ---- orders A and B ----------------------------------------------------------

using WriteRecord = WriteOutcome (*)(const std::filesystem::path&, const QString&);

struct Order {
    const char* name;
    WriteRecord write;
};

const Order kOrders[] = {{"locking first", writeRecordLockingFirst},
                         {"checking journal first", writeRecordCheckingJournalFirst}};

void PrintTo(const Order& order, std::ostream* os) {
    *os << order.name;
}

class WriteOrder : public LockFile, public ::testing::WithParamInterface<Order> {
  protected:
    WriteOutcome write() { return GetParam().write(folder.appFolder(), kRecord); }
};

TEST_P(WriteOrder, WritesAndReleasesTheLock) {
    EXPECT_EQ(write(), WriteOutcome::Written);
    EXPECT_EQ(journalBytes(), kHeaderBytes + kRecordBytes + "\r\n");
    EXPECT_FALSE(folder.exists(kLockFile));
}

TEST_P(WriteOrder, LockPresentIsBusyAndTouchesNothing) {
    folder.writeBytes(kLockFile, "");
    EXPECT_EQ(write(), WriteOutcome::Busy);
    EXPECT_EQ(journalBytes(), kHeaderBytes);
    EXPECT_TRUE(folder.exists(kLockFile));

    // Busy wins even when the journal is gone.
    folder.remove(kJournalFile);
    EXPECT_EQ(write(), WriteOutcome::Busy);
    EXPECT_TRUE(folder.exists(kLockFile));
    EXPECT_FALSE(folder.exists(kJournalFile));
}

TEST_P(WriteOrder, JournalMissingCreatesNothing) {
    folder.remove(kJournalFile);
    EXPECT_EQ(write(), WriteOutcome::JournalMissing);
    EXPECT_FALSE(folder.exists(kJournalFile));
    EXPECT_FALSE(folder.exists(kLockFile));
}

TEST_P(WriteOrder, AnAppendErrorPropagatesAndReleasesTheLock) {
    {
        test::HeldFile writer(journal(), LOCK_EX);
        EXPECT_THROW(write(), FileError);
    }
    EXPECT_EQ(journalBytes(), kHeaderBytes);
    EXPECT_FALSE(folder.exists(kLockFile));

    {
        auto full = limitSize(folder, 10);
        EXPECT_THROW(write(), FileError);
    }
    EXPECT_EQ(journalBytes(), kHeaderBytes);
    EXPECT_FALSE(folder.exists(kLockFile));
}

TEST_P(WriteOrder, ReadOnlyFolderIsAFileErrorThatChangesNothing) {
    const std::filesystem::path dataFolder = journal().parent_path();
    test::WithoutDacOverride caps;
    test::ScopedMode mode(dataFolder, 0555);
    if (!test::folderIsReadOnly(dataFolder)) {
        FAIL() << "cannot make a folder read-only here, so the outcome cannot be shown";
    }
    EXPECT_THROW(write(), FileError);
    EXPECT_EQ(journalBytes(), kHeaderBytes);
    EXPECT_FALSE(folder.exists(kLockFile));
}

INSTANTIATE_TEST_SUITE_P(Orders, WriteOrder, ::testing::ValuesIn(kOrders), [](const auto& info) {
    return std::string(info.param.name) == "locking first" ? "LockingFirst"
                                                           : "CheckingJournalFirst";
});

// The card screens take the lock before they look for the journal, the manual entry looks first:
// in a read-only folder only A meets the lock's creation error.
TEST_F(LockFile, OnlyOrderATakesTheLockForAMissingJournal) {
    folder.remove(kJournalFile);
    const std::filesystem::path dataFolder = journal().parent_path();
    test::WithoutDacOverride caps;
    test::ScopedMode mode(dataFolder, 0555);
    if (!test::folderIsReadOnly(dataFolder)) {
        FAIL() << "cannot make a folder read-only here, so the outcome cannot be shown";
    }
    EXPECT_THROW(writeRecordLockingFirst(folder.appFolder(), kRecord), FileError);
    EXPECT_EQ(writeRecordCheckingJournalFirst(folder.appFolder(), kRecord),
              WriteOutcome::JournalMissing);
    EXPECT_FALSE(folder.exists(kJournalFile));
    EXPECT_FALSE(folder.exists(kLockFile));
}

}  // namespace
}  // namespace tavomi
