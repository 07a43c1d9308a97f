#include "files/punch_journal.h"

#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/unique_fd.h"

#include <QByteArray>
#include <QStringList>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace tavomi {

QString recordDateText(const QDate& date) {
    return date.toString(QString::fromLatin1(kRecordDateFormat));
}

QString recordTimeText(const QTime& time) {
    return time.toString(QString::fromLatin1(kRecordTimeFormat));
}

namespace {

// Only the last 128 bytes are searched for an end-of-file mark.
constexpr off_t kEofMarkWindow = 128;
constexpr char kEofMark = 0x1A;

// Releases the journal's lock file on every path, the error path included, so a
// failed append does not leave every later writer reporting "busy".
class LockRelease {
  public:
    explicit LockRelease(std::filesystem::path lockFile) : lockFile_(std::move(lockFile)) {}
    LockRelease(const LockRelease&) = delete;
    LockRelease& operator=(const LockRelease&) = delete;
    ~LockRelease() { releaseJournalLock(lockFile_); }

  private:
    std::filesystem::path lockFile_;
};

// The end of a file as found before appending: its size, where the new bytes go
// (before a 0x1A mark, if any), and the bytes from there to the end, kept so a
// failed append can put them back.
struct FileEnd {
    off_t size = 0;
    off_t writeAt = 0;
    QByteArray tail;              // bytes [writeAt, size)
    bool needsLineBreak = false;  // the byte before writeAt is not LF
};

FileEnd readFileEnd(int fd, const std::filesystem::path& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        throw FileError(path, "cannot read", errno);
    }
    FileEnd end;
    end.size = st.st_size;
    // One byte more than the window, to see the byte before a mark at its start.
    const off_t readFrom = std::max<off_t>(0, end.size - kEofMarkWindow - 1);
    QByteArray last(static_cast<qsizetype>(end.size - readFrom), '\0');
    if (!last.isEmpty()) {
        const ssize_t got = ::pread(fd, last.data(), last.size(), readFrom);
        if (got != last.size()) {
            throw FileError(path, "cannot read", got < 0 ? errno : EIO);
        }
    }
    const qsizetype windowStart = std::max<qsizetype>(0, last.size() - kEofMarkWindow);
    const qsizetype mark = last.indexOf(kEofMark, windowStart);
    const qsizetype cut = mark >= 0 ? mark : last.size();
    end.writeAt = readFrom + cut;
    end.tail = last.mid(cut);
    end.needsLineBreak = cut > 0 && last[cut - 1] != '\n';
    return end;
}

// Puts the file back to its size and bytes from before the append.
void restoreFileEnd(int fd, const FileEnd& end) {
    if (::ftruncate(fd, end.writeAt) == 0 && !end.tail.isEmpty()) {
        (void)!::pwrite(fd, end.tail.constData(), end.tail.size(), end.writeAt);
    }
    (void)!::ftruncate(fd, end.size);
}

}  // namespace

QString PunchRecord::line() const {
    return QStringList{kind, name, date, time, source, detail, reason}.join(u',');
}

bool takeJournalLock(const std::filesystem::path& lockFile) {
    // Exclusive creation: testing and taking the lock are one step.
    UniqueFd fd(::open(lockFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd) {
        if (errno == EEXIST) {
            return false;
        }
        throw FileError(lockFile, "cannot create the lock file", errno);
    }
    if (fd.close() != 0) {
        const int error = errno;
        ::unlink(lockFile.c_str());
        throw FileError(lockFile, "cannot create the lock file", error);
    }
    return true;
}

void releaseJournalLock(const std::filesystem::path& lockFile) noexcept {
    ::unlink(lockFile.c_str());
}

void appendLine(const std::filesystem::path& file, const QString& line) {
    UniqueFd fd(::open(file.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd) {
        throw FileError(file, "cannot open for appending", errno);
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        throw FileError(file, "cannot open for appending", errno);
    }
    const FileEnd end = readFileEnd(fd.get(), file);

    QByteArray bytes;
    if (end.needsLineBreak) {
        bytes += "\r\n";  // never join the record to an unterminated last line
    }
    bytes += encodeCp932(line);
    bytes += "\r\n";

    // One write, so a record is either whole or (after the rollback) absent.
    const ssize_t written = ::pwrite(fd.get(), bytes.constData(), bytes.size(), end.writeAt);
    if (written != bytes.size()) {
        int writeError = written < 0 ? errno : ENOSPC;
        if (written >= 0) {
            // A short write sets no errno; writing the rest tells why it stopped
            // (disk full, quota, size limit). The rollback follows either way.
            const ssize_t more = ::pwrite(fd.get(), bytes.constData() + written,
                                          bytes.size() - written, end.writeAt + written);
            if (more < 0) {
                writeError = errno;
            }
        }
        restoreFileEnd(fd.get(), end);
        throw FileError(file, "cannot write", writeError);
    }
    const off_t newSize = end.writeAt + bytes.size();
    if (newSize < end.size && ::ftruncate(fd.get(), newSize) != 0) {
        const int error = errno;
        restoreFileEnd(fd.get(), end);
        throw FileError(file, "cannot write", error);
    }
    // On a network share a write error may only surface here.
    if (::fdatasync(fd.get()) != 0) {
        const int error = errno;
        restoreFileEnd(fd.get(), end);
        throw FileError(file, "cannot write", error);
    }
    if (fd.close() != 0) {
        throw FileError(file, "cannot close", errno);
    }
}

WriteOutcome writeRecordLockingFirst(const std::filesystem::path& appFolder, const QString& line) {
    const auto lockFile = dataFilePath(appFolder, kLockFile);
    if (!takeJournalLock(lockFile)) {
        return WriteOutcome::Busy;
    }
    LockRelease release(lockFile);
    const auto journal = dataFilePath(appFolder, kJournalFile);
    if (!regularFileExists(journal)) {
        return WriteOutcome::JournalMissing;
    }
    appendLine(journal, line);
    return WriteOutcome::Written;
}

WriteOutcome writeRecordCheckingJournalFirst(const std::filesystem::path& appFolder,
                                             const QString& line) {
    const auto lockFile = dataFilePath(appFolder, kLockFile);
    std::error_code ec;
    if (std::filesystem::exists(lockFile, ec)) {
        return WriteOutcome::Busy;
    }
    const auto journal = dataFilePath(appFolder, kJournalFile);
    if (!regularFileExists(journal)) {
        return WriteOutcome::JournalMissing;
    }
    if (!takeJournalLock(lockFile)) {
        return WriteOutcome::Busy;
    }
    LockRelease release(lockFile);
    appendLine(journal, line);
    return WriteOutcome::Written;
}

}  // namespace tavomi
