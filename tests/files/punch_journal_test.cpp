#include "files/punch_journal.h"
#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "support/data_folder_fixture.h"

#include "support/file_conditions.h"
#include "support/journal_header.h"
#include "support/qt_printers.h"
#include "writer_process.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

QByteArray cp932(const char16_t* text) {
    return encodeCp932(QString::fromUtf16(text));
}

const QString kRecord = u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし"_s;
const QByteArray kRecordBytes = cp932(u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし");
const QByteArray kHeaderBytes = cp932(test::kJournalHeader) + "\r\n";

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
        {"CR without LF at the end", h + "x,y\r", kRecord, h + "x,y\r\n" + rec},
        {"0x1A as last byte", h + "\x1A", kRecord, h + rec},
        {"NUL bytes a server's power cut left", h + rec + QByteArray(53, '\0'), kRecord,
         h + rec + rec},
        {"NUL bytes after a torn record", h + "x,y" + QByteArray(10, '\0'), kRecord,
         h + "x,y\r\n" + rec},
        {"NUL bytes before a 0x1A mark", h + rec + QByteArray(5, '\0') + "\x1A", kRecord,
         h + rec + rec},
        {"0x1A alone", QByteArray("\x1A"), kRecord, rec},
        {"0x1A after a line without break", h + "x,y\x1A", kRecord, h + "x,y\r\n" + rec},
        {"0x1A within the last 128 bytes", h + "\x1A" + "tail\r\n", kRecord, h + rec},
        {"first 0x1A of several", h + "\x1A" + "ab\x1A" + "cd", kRecord, h + rec},
        {"0x1A exactly 128 bytes before the end", h + "\x1A" + filler(127), kRecord, h + rec},
        {"0x1A 129 bytes before the end", h + "\x1A" + filler(128), kRecord,
         h + "\x1A" + filler(128) + rec},
        {"0x1A far before the end", h + "\x1A" + filler(4000), kRecord,
         h + "\x1A" + filler(4000) + rec},
        {"unmappable characters", h, u"出勤,山田😀花子\u200B,x"_s,
         h + cp932(u"出勤,山田?花子?,x\r\n")},
        {"CP932 specials", h, u"～①髙﨑ｱ"_s, h + "\x81\x60\x87\x40\xFB\xFC\xFA\xB1\xB1\r\n"},
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

// Anyone who can write to a shared data folder could put a link there to another
// file of the punching user's (a shell start-up file, say). Appending refuses
// whatever is not a regular file, and a link's target stays as it was.
TEST_F(AppendLine, RefusesALinkOrAnythingButARegularFile) {
    const std::filesystem::path target = folder.appFolder() / "profile";
    const struct {
        const char* what;
        std::function<void(const std::filesystem::path&)> put;
        int errnum;
        const char* cause;
    } cases[] = {
        {"link to a file", [&](const auto& p) { std::filesystem::create_symlink(target, p); },
         ELOOP, "is a symbolic link"},
        {"link to nothing",
         [&](const auto& p) { std::filesystem::create_symlink(target.string() + ".none", p); },
         ELOOP, "is a symbolic link"},
        {"FIFO", [](const auto& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, EINVAL,
         "is not a regular file"},
        {"folder", [](const auto& p) { std::filesystem::create_directory(p); }, EISDIR,
         std::strerror(EISDIR)},
    };
    const QByteArray targetBytes = "export PATH=/usr/bin\n";
    for (const auto& c : cases) {
        {
            QFile f(QString::fromStdString(target.string()));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(targetBytes);
        }
        std::filesystem::remove(journal());
        c.put(journal());
        try {
            appendLine(journal(), kRecord);
            ADD_FAILURE() << c.what << ": no FileError";
        } catch (const FileError& e) {
            EXPECT_EQ(e.errorNumber(), c.errnum) << c.what;
            EXPECT_EQ(std::string(e.what()),
                      "cannot open for appending " + journal().string() + ": " + c.cause)
                << c.what;
        }
        QFile f(QString::fromStdString(target.string()));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), targetBytes) << c.what;
        EXPECT_FALSE(std::filesystem::exists(target.string() + ".none")) << c.what;
        std::filesystem::remove(journal());
    }
}

// The package points the data folder at a share by a link; only files inside it may not be links.
TEST_F(AppendLine, TheDataFolderItselfMayBeALink) {
    const std::filesystem::path dataFolder = journal().parent_path();
    const std::filesystem::path share = folder.appFolder() / "share";
    std::filesystem::rename(dataFolder, share);
    std::filesystem::create_directory_symlink(share, dataFolder);

    JournalLock lock;
    EXPECT_EQ(writeRecordLockingFirst(folder.appFolder(), kRecord, lock), WriteOutcome::Written);
    EXPECT_EQ(journalBytes(), kHeaderBytes + kRecordBytes + "\r\n");
    EXPECT_TRUE(std::filesystem::is_symlink(dataFolder));
}

// ---- a writer process meeting faults -----------------------------------------

class WriterProcess : public AppendLine {
  protected:
    test::WriterRun write(const std::string& faults = {}) {
        return write(test::WriterConditions::withFaults(faults));
    }
    test::WriterRun write(const test::WriterConditions& conditions) {
        return test::runWriter(
            {folder.appFolder().string(), "locking-first", kRecord.toStdString()}, conditions);
    }
    std::string fileError(int errnum, const std::string& text) const {
        return "FileError " + std::to_string(errnum) + " " + text + " " + journal().string() + ": ";
    }
};

const QByteArray kOneRecord = kHeaderBytes + kRecordBytes + "\r\n";
// What fault_shim.cpp's other-writer appends.
const QByteArray kOtherRecord = "another PC's record\r\n";
// A 0x1A mark followed by more bytes than a record has: the cut must shorten the file.
const QByteArray kLongTail = "\x1A" + filler(100);

// Once fdatasync succeeded the record is on disk: a failing close must not have
// the teacher punch again. A fault while the file is put back after a failed
// write is told as such, since the file may then hold part of the record.
TEST_F(WriterProcess, FaultsOnTheWayAreToldForWhatTheyLeft) {
    const struct {
        const char* what;
        QByteArray before;
        std::string faults;
        std::string outcome;  // the whole line, or the start of a FileError's
        std::optional<QByteArray> after;
    } cases[] = {
        {"close fails after the sync", kOneRecord, "close:1:EIO", "Written",
         kOneRecord + kRecordBytes + "\r\n"},
        {"write fails", kOneRecord, "pwrite:1:ENOSPC", fileError(ENOSPC, "cannot write"),
         kOneRecord},
        {"sync fails", kOneRecord + kLongTail, "fdatasync:1:EIO", fileError(EIO, "cannot write"),
         kOneRecord + kLongTail},
        {"sync fails, then cutting the record off fails", kOneRecord,
         "fdatasync:1:EIO,ftruncate:1:EIO", fileError(EIO, "cannot restore"), std::nullopt},
        {"write fails, then putting the tail back fails", kOneRecord + kLongTail,
         "pwrite:1:EIO,pwrite:2:ENOSPC", fileError(ENOSPC, "cannot restore"), kOneRecord},
        {"sync fails, and again after the restore", kOneRecord, "fdatasync:1:EIO,fdatasync:2:EIO",
         fileError(EIO, "cannot restore"), std::nullopt},
        // Another PC took over the lock while the write hung on the share: its record
        // is never cut by the rollback.
        {"another writer appends, then the hung write fails", kOneRecord, "pwrite:1:other-writer",
         fileError(EIO, "cannot write"), kOneRecord + kOtherRecord},
        {"another writer appends after the write, then the sync fails", kOneRecord,
         "fdatasync:1:other-writer", fileError(EIO, "cannot write"),
         kOneRecord + kRecordBytes + "\r\n" + kOtherRecord},
        // This PC's cached size still says the file ends where this write began: the
        // server's size, asked for by an open, tells.
        {"another writer appends unseen by this PC's cache, then the write fails", kOneRecord,
         "pwrite:1:other-writer-unseen", fileError(EIO, "cannot write"), kOneRecord + kOtherRecord},
        // The tail after the 0x1A mark is cut only while nothing follows what was read.
        {"another writer appends while the end is read", kOneRecord + kLongTail,
         "pread:1:other-writer-first", fileError(EAGAIN, "cannot write"),
         kOneRecord + kLongTail + kOtherRecord},
    };
    for (const auto& c : cases) {
        folder.writeBytes(kJournalFile, c.before);
        const test::WriterRun run = write(c.faults);
        EXPECT_EQ(run.exitCode, 0) << c.what << ": " << run.errors;
        if (c.outcome.starts_with("FileError")) {
            EXPECT_TRUE(run.outcome.starts_with(c.outcome)) << c.what << ": " << run.outcome;
        } else {
            EXPECT_EQ(run.outcome, c.outcome) << c.what;
        }
        if (c.after) {
            EXPECT_EQ(journalBytes(), *c.after) << c.what;
        }
        EXPECT_FALSE(folder.exists(kLockFile)) << c.what;
    }
}

TEST_F(WriterProcess, ALateCloseErrorIsLoggedNamingTheFile) {
    const test::WriterRun run = write("close:1:EIO");
    EXPECT_EQ(run.outcome, "Written");
    const std::string logged = "cannot close " + journal().string() + ": " + std::strerror(EIO);
    EXPECT_NE(run.errors.find(logged), std::string::npos) << run.errors;
}

// A writer killed at each step of an append leaves only whole lines: the journal
// as it was (less the tail after a 0x1A mark, discarded anyway) or with the
// whole record, never a stray piece of the old tail.
TEST_F(WriterProcess, KilledAtAnyStepItLeavesOnlyWholeLines) {
    const QByteArray record = kRecordBytes + "\r\n";
    const QByteArray unterminated = kHeaderBytes + "x,y";
    const struct {
        const char* what;
        QByteArray before;
        std::string faults;
        QByteArray after;
    } cases[] = {
        {"tail: before the cut", kOneRecord + kLongTail, "ftruncate:1:kill-before",
         kOneRecord + kLongTail},
        {"tail: after the cut", kOneRecord + kLongTail, "ftruncate:1:kill-after", kOneRecord},
        {"tail: after the write", kOneRecord + kLongTail, "pwrite:1:kill-after",
         kOneRecord + record},
        {"tail: after the sync", kOneRecord + kLongTail, "fdatasync:1:kill-after",
         kOneRecord + record},
        {"tail: after the close", kOneRecord + kLongTail, "close:1:kill-after",
         kOneRecord + record},
        {"tail: write failed, killed after the rollback's cut", kOneRecord + kLongTail,
         "pwrite:1:ENOSPC,ftruncate:2:kill-after", kOneRecord},
        {"before the write", kOneRecord, "pwrite:1:kill-before", kOneRecord},
        {"after the write", kOneRecord, "pwrite:1:kill-after", kOneRecord + record},
        {"no final break: before the write", unterminated, "pwrite:1:kill-before", unterminated},
        {"no final break: after the write", unterminated, "pwrite:1:kill-after",
         unterminated + "\r\n" + record},
    };
    for (const auto& c : cases) {
        folder.writeBytes(kJournalFile, c.before);
        folder.remove(kLockFile);
        const test::WriterRun run = write(c.faults);
        EXPECT_EQ(run.killedBy, SIGKILL) << c.what << ": " << run.outcome << run.errors;
        EXPECT_EQ(journalBytes(), c.after) << c.what;
        EXPECT_TRUE(folder.exists(kLockFile)) << c.what << ": killed while holding the lock";
    }
}

// After such a crash the lock it left stands until the running rule takes it over, and
// writing goes on.
TEST_F(WriterProcess, AfterACrashTheLockIsTakenOverAndTheNextRecordFollowsWhole) {
    folder.writeBytes(kJournalFile, kOneRecord + kLongTail);
    ASSERT_EQ(write("pwrite:1:kill-before").killedBy, SIGKILL);

    EXPECT_EQ(clearLeftoverJournalLock(folder.appFolder()).found, LeftoverLock::LeftStanding);
    EXPECT_EQ(write().outcome, "Busy");
    EXPECT_EQ(test::runWriter({folder.appFolder().string(), "taking-over", kRecord.toStdString()},
                              test::WriterConditions::withFaults({}))
                  .outcome,
              "Written");
    EXPECT_EQ(journalBytes(), kOneRecord + kRecordBytes + "\r\n");
    EXPECT_FALSE(folder.exists(kLockFile));
}

// Under a file-size limit (ulimit -f) a short write is retried to learn why it
// stopped; that retry raises SIGXFSZ. With the signal at its default the writer
// dies before its rollback, leaving half a record and the lock: the program
// ignores it, so the write fails with EFBIG and the rollback runs.
TEST_F(WriterProcess, AFileSizeLimitFailsTheWriteWholeOnlyWhileSigxfszIsIgnored) {
    const struct {
        const char* what;
        bool ignored;
        int killedBy;
        bool journalAsBefore;
        bool lockLeft;
    } cases[] = {
        {"ignored", true, 0, true, false},
        {"default action", false, SIGXFSZ, false, true},
    };
    for (const auto& c : cases) {
        folder.writeBytes(kJournalFile, kOneRecord);
        folder.remove(kLockFile);
        const test::WriterRun run =
            write(test::WriterConditions::withFileSizeLimit(kOneRecord.size() + 5, c.ignored));
        EXPECT_EQ(run.killedBy, c.killedBy) << c.what;
        if (c.ignored) {
            EXPECT_TRUE(run.outcome.starts_with(fileError(EFBIG, "cannot write")))
                << c.what << ": " << run.outcome;
        }
        EXPECT_EQ(journalBytes() == kOneRecord, c.journalAsBefore) << c.what;
        EXPECT_EQ(folder.exists(kLockFile), c.lockLeft) << c.what;
    }
}

// ---- orders A and B ----------------------------------------------------------

// The two orders of writing a record, and what each leaves at the lock file's place.
class LockFile : public AppendLine {};

using WriteRecord = WriteOutcome (*)(const std::filesystem::path&, const QString&, JournalLock&);

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
    WriteOutcome write() { return GetParam().write(folder.appFolder(), kRecord, journalLock); }
    JournalLock journalLock;
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
// in a read-only folder only the locking-first order meets the lock's creation error.
// The hook before the write runs under both locks with nothing of the line written yet (a
// tail of NUL bytes already cut), and is given the place the line's bytes go to (a missing
// line break goes there first).
TEST_F(LockFile, TheHookBeforeTheWriteSeesTheJournalAsItWasAndWhereTheWriteGoes) {
    struct Case {
        const char* what;
        QByteArray before;
        QByteArray inHook;
        qint64 writeAt;
        qint64 lineAt;
    };
    const QByteArray h = kHeaderBytes;
    const Case cases[] = {
        {"header only", h, h, h.size(), h.size()},
        {"no final line break", h + "x,y", h + "x,y", h.size() + 3, h.size() + 5},
        {"NUL bytes at the end", h + QByteArray(7, '\0'), h, h.size(), h.size()},
    };
    for (const Case& c : cases) {
        folder.writeBytes(kJournalFile, c.before);
        std::optional<qint64> seenAt;
        qint64 doneAt = -1;
        WhileLocked whileLocked;
        whileLocked.beforeWrite = [&](qint64 writeAt) {
            seenAt = writeAt;
            EXPECT_TRUE(folder.exists(kLockFile)) << c.what;
            EXPECT_EQ(journalBytes(), c.inHook) << c.what;
        };
        whileLocked.done = [&](qint64 at) { doneAt = at; };
        JournalLock journalLock;
        EXPECT_EQ(writeRecordLockingFirst(folder.appFolder(), kRecord, journalLock, whileLocked),
                  WriteOutcome::Written);
        EXPECT_EQ(seenAt, c.writeAt) << c.what;
        EXPECT_EQ(doneAt, c.lineAt) << c.what;
        EXPECT_EQ(journalBytes().mid(c.lineAt), kRecordBytes + "\r\n") << c.what;
    }
}

TEST_F(LockFile, OnlyTheLockingFirstOrderTakesTheLockForAMissingJournal) {
    folder.remove(kJournalFile);
    const std::filesystem::path dataFolder = journal().parent_path();
    test::WithoutDacOverride caps;
    test::ScopedMode mode(dataFolder, 0555);
    if (!test::folderIsReadOnly(dataFolder)) {
        FAIL() << "cannot make a folder read-only here, so the outcome cannot be shown";
    }
    JournalLock journalLock;
    EXPECT_THROW(writeRecordLockingFirst(folder.appFolder(), kRecord, journalLock), FileError);
    EXPECT_EQ(writeRecordCheckingJournalFirst(folder.appFolder(), kRecord, journalLock),
              WriteOutcome::JournalMissing);
    EXPECT_FALSE(folder.exists(kJournalFile));
    EXPECT_FALSE(folder.exists(kLockFile));
}

}  // namespace
}  // namespace tavomi
