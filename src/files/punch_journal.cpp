#include "files/punch_journal.h"

#include "files/cp932.h"
#include "files/data_file_io.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/unique_fd.h"

#include <QByteArray>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tavomi {

namespace {

// Only the last 128 bytes are searched for an end-of-file mark.
constexpr off_t kEofMarkWindow = 128;

// The end of a file as found before appending: its size, where the new bytes go
// (before a 0x1A mark and the NUL bytes before it or at the end, if any), and the bytes from there
// to the end, kept so a failed append can put them back.
struct FileEnd {
    off_t size = 0;
    off_t writeAt = 0;
    QByteArray tail;              // bytes [writeAt, size)
    bool needsLineBreak = false;  // the byte before writeAt is not LF
    bool endsInCr = false;        // ... but CR, which only needs its LF
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
        const ssize_t got =
            readFully(fd, last.data(), static_cast<std::size_t>(last.size()), readFrom);
        if (got != last.size()) {
            throw FileError(path, "cannot read", got < 0 ? errno : EIO);
        }
    }
    const qsizetype windowStart = std::max<qsizetype>(0, last.size() - kEofMarkWindow);
    const qsizetype mark = last.indexOf(kEndOfFileMark, windowStart);
    qsizetype cut = mark >= 0 ? mark : last.size();
    // A server that lost power during an append can leave the write's length in NUL
    // bytes; no record holds one, so they go as the bytes after a mark do.
    while (cut > windowStart && last[cut - 1] == '\0') {
        --cut;
    }
    end.writeAt = readFrom + cut;
    end.tail = last.mid(cut);
    end.needsLineBreak = cut > 0 && last[cut - 1] != '\n';
    end.endsInCr = cut > 0 && last[cut - 1] == '\r';
    return end;
}

// Opens an existing data file for appending, under an exclusive lock.
UniqueFd openForAppending(const std::filesystem::path& file) {
    const char* action = "cannot open for appending";
    UniqueFd fd = openDataFile(file, O_RDWR, action);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        throw FileError(file, action, errno);
    }
    return fd;
}

// Writes the new line in one write. A short write sets no errno; writing the rest
// tells why it stopped (disk full, quota, size limit), and the append fails
// either way, so that a record is either whole or absent.
int writeLine(int fd, const QByteArray& bytes, off_t at) {
    const ssize_t written = ::pwrite(fd, bytes.constData(), bytes.size(), at);
    if (written == bytes.size()) {
        return 0;
    }
    if (written < 0) {
        return errno;
    }
    const int rest = writeFully(fd, bytes.constData() + written,
                                static_cast<std::size_t>(bytes.size() - written), at + written);
    return rest != 0 ? rest : ENOSPC;
}

// The file's size now; -1 when it cannot be told.
off_t currentSize(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? st.st_size : -1;
}

// The file's size as the file server has it. An NFS client answers fstat from its
// attribute cache, which need not show what another PC appended, while an open asks
// the server; only the size is taken from that open (on SMB our own lock may refuse
// reads through another handle). Falls back to the descriptor's view when the path
// no longer leads to this file.
off_t sizeOnTheServer(int fd, const std::filesystem::path& file) {
    struct stat own {};
    struct stat fresh {};
    const UniqueFd reopened(
        ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (::fstat(fd, &own) != 0) {
        return -1;
    }
    if (reopened && ::fstat(reopened.get(), &fresh) == 0 && fresh.st_dev == own.st_dev &&
        fresh.st_ino == own.st_ino) {
        return fresh.st_size;
    }
    return own.st_size;
}

// Whether the file ends exactly where this append's own write ended: from writeAt on
// it holds nothing but a leading part of `bytes`. On a share another PC may have
// appended while this write hung (its byte-range lock does not always reach us), and
// a rollback must never cut what another writer wrote.
bool endsWithOwnWrite(int fd, const std::filesystem::path& file, const FileEnd& end,
                      const QByteArray& bytes) {
    const off_t size = sizeOnTheServer(fd, file);
    if (size < end.writeAt || size > end.writeAt + bytes.size()) {
        return false;
    }
    QByteArray found(static_cast<qsizetype>(size - end.writeAt), '\0');
    if (!found.isEmpty() && readFully(fd, found.data(), static_cast<std::size_t>(found.size()),
                                      end.writeAt) != found.size()) {
        return false;
    }
    return found == bytes.left(found.size());
}

// Puts the file back to its size and bytes from before the append; returns 0 or
// the error that kept it from doing so. The cut comes first, so that a crash
// half-way leaves the file as it was less the tail after the 0x1A mark.
int restoreFileEnd(int fd, const FileEnd& end) {
    if (::ftruncate(fd, end.writeAt) != 0) {
        return errno;
    }
    if (const int error = writeFully(fd, end.tail.constData(),
                                     static_cast<std::size_t>(end.tail.size()), end.writeAt)) {
        return error;
    }
    return ::fdatasync(fd) == 0 ? 0 : errno;
}

// Undoes a failed append and reports it; a second fault while undoing is
// reported as such, since the file may then hold part of the line. When the file no
// longer ends with this write alone it is left as it is.
[[noreturn]] void failAppend(int fd, const FileEnd& end, const QByteArray& bytes,
                             const std::filesystem::path& file, int error) {
    if (!endsWithOwnWrite(fd, file, end, bytes)) {
        throw FileError(file, "cannot write", error,
                        std::string(std::strerror(error)) +
                            "; the file was left as it is, since another writer's data "
                            "follows (it may hold part of the line)");
    }
    if (const int restoreError = restoreFileEnd(fd, end)) {
        throw FileError(file, "cannot restore", restoreError,
                        std::string(std::strerror(restoreError)) + " (after the write failed: " +
                            std::strerror(error) + "); its end may hold part of the line");
    }
    throw FileError(file, "cannot write", error);
}

QByteArray lineBytes(const FileEnd& end, const QStringList& lines) {
    QByteArray bytes;
    if (end.needsLineBreak) {
        // Never join the record to an unterminated last line, nor leave its CR doubled.
        bytes += end.endsInCr ? "\n" : "\r\n";
    }
    for (const QString& line : lines) {
        bytes += lineBytesAsWritten(line);
    }
    return bytes;
}

}  // namespace

QByteArray lineBytesAsWritten(const QString& line) {
    return encodeCp932(line) + "\r\n";
}

void appendLine(const std::filesystem::path& file, const QString& line) {
    appendLines(file, QStringList{line});
}

qint64 appendLines(const std::filesystem::path& file, const QStringList& lines) {
    return appendLines(file, lines, {});
}

qint64 appendLines(const std::filesystem::path& file, const QStringList& lines,
                   const BeforeWrite& beforeWrite) {
    UniqueFd fd = openForAppending(file);
    const FileEnd end = readFileEnd(fd.get(), file);
    const QByteArray bytes = lineBytes(end, lines);

    // The cut at the 0x1A mark goes before the write: a crash between the two then
    // leaves the file as it was less its discarded tail, never the tail's remains
    // as a stray line after the new one.
    if (!end.tail.isEmpty()) {
        // Only what this writer saw after the mark is cut, never what another added since.
        if (currentSize(fd.get()) != end.size) {
            throw FileError(file, "cannot write", EAGAIN,
                            "the file changed while it was being appended to; nothing was "
                            "written");
        }
        if (::ftruncate(fd.get(), end.writeAt) != 0) {
            throw FileError(file, "cannot write", errno);
        }
    }
    if (beforeWrite) {
        beforeWrite(end.writeAt);
    }
    if (const int error = writeLine(fd.get(), bytes, end.writeAt)) {
        failAppend(fd.get(), end, bytes, file, error);
    }
    // On a network share a write error may only surface here.
    if (::fdatasync(fd.get()) != 0) {
        failAppend(fd.get(), end, bytes, file, errno);
    }
    // The line is on disk: reporting a failure now would have the teacher punch
    // again and the journal hold the record twice.
    if (fd.close() != 0) {
        const FileError late(file, "cannot close", errno);
        std::fprintf(stderr, "tavomi: %s (the line was written and synced)\n", late.what());
    }
    return end.writeAt + (end.needsLineBreak ? (end.endsInCr ? 1 : 2) : 0);
}

namespace {

WriteOutcome appendWhileLocked(const std::filesystem::path& journal, const QString& line,
                               const WhileLocked& whileLocked) {
    const QStringList lines = whileLocked.lines ? whileLocked.lines() : QStringList{line};
    const qint64 at = lines.isEmpty() ? -1 : appendLines(journal, lines, whileLocked.beforeWrite);
    if (whileLocked.done) {
        whileLocked.done(at);
    }
    return WriteOutcome::Written;
}

}  // namespace

WriteOutcome writeRecordLockingFirst(const std::filesystem::path& appFolder, const QString& line,
                                     JournalLock& lock, const WhileLocked& whileLocked) {
    const auto lockFile = dataFilePath(appFolder, kLockFile);
    if (!lock.take(lockFile)) {
        return WriteOutcome::Busy;
    }
    const JournalLockHold hold(lock, lockFile);
    const auto journal = dataFilePath(appFolder, kJournalFile);
    if (!regularFileExists(journal)) {
        return WriteOutcome::JournalMissing;
    }
    return appendWhileLocked(journal, line, whileLocked);
}

WriteOutcome writeRecordCheckingJournalFirst(const std::filesystem::path& appFolder,
                                             const QString& line, JournalLock& lock,
                                             const WhileLocked& whileLocked) {
    const auto lockFile = dataFilePath(appFolder, kLockFile);
    if (lock.standsInTheWay(lockFile)) {
        return WriteOutcome::Busy;
    }
    const auto journal = dataFilePath(appFolder, kJournalFile);
    if (!regularFileExists(journal)) {
        return WriteOutcome::JournalMissing;
    }
    if (!lock.take(lockFile)) {
        return WriteOutcome::Busy;
    }
    const JournalLockHold hold(lock, lockFile);
    return appendWhileLocked(journal, line, whileLocked);
}

WriteOutcome writeRecordLockingFirst(const std::filesystem::path& appFolder, const QString& line,
                                     JournalLock& lock) {
    return writeRecordLockingFirst(appFolder, line, lock, {});
}

WriteOutcome writeRecordCheckingJournalFirst(const std::filesystem::path& appFolder,
                                             const QString& line, JournalLock& lock) {
    return writeRecordCheckingJournalFirst(appFolder, line, lock, {});
}

const char* writeOutcomeName(WriteOutcome outcome) {
    switch (outcome) {
        case WriteOutcome::Written:
            return "Written";
        case WriteOutcome::Busy:
            return "Busy";
        case WriteOutcome::JournalMissing:
            return "JournalMissing";
    }
    return "?";
}

}  // namespace tavomi
