#include "spool/record_spool.h"

#include "files/cp932.h"
#include "files/data_file_io.h"
#include "files/file_error.h"
#include "files/unique_fd.h"
#include "record/punch_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

constexpr auto kTimeFormat = "yyyy-MM-dd HH:mm:ss";

// Opens and locks the spool file that stands at the path now: another process may have
// replaced it while this one waited for the lock. An empty descriptor when the file is not
// there and `flags` do not create it.
UniqueFd openLocked(const std::filesystem::path& file, int flags) {
    for (;;) {
        UniqueFd fd = (flags & O_CREAT) != 0 ? openDataFile(file, flags, "cannot open")
                                             : openDataFileIfPresent(file, flags, "cannot open");
        if (!fd) {
            return fd;
        }
        if (::flock(fd.get(), LOCK_EX) != 0) {
            throw FileError(file, "cannot lock", errno);
        }
        struct stat opened {
        }, current{};
        if (::fstat(fd.get(), &opened) == 0 && ::stat(file.c_str(), &current) == 0 &&
            opened.st_dev == current.st_dev && opened.st_ino == current.st_ino) {
            return fd;
        }
    }
}

void writeAll(int fd, const QByteArray& bytes, const std::filesystem::path& file) {
    if (const int error =
            writeFully(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()))) {
        throw FileError(file, "cannot write", error);
    }
}

void syncOrThrow(int fd, const std::filesystem::path& file) {
    if (::fsync(fd) != 0) {
        throw FileError(file, "cannot sync", errno);
    }
}

// The spool's lines, each with its CR LF; the last one may lack it (a torn append).
std::vector<QByteArrayView> entriesOf(const QByteArray& bytes) {
    std::vector<QByteArrayView> entries;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf("\r\n", start);
        const qsizetype next = end < 0 ? bytes.size() : end + 2;
        entries.emplace_back(bytes.constData() + start, next - start);
        start = next;
    }
    return entries;
}

std::optional<SpooledRecord> readSpoolLine(QByteArrayView bytes) {
    const qsizetype tab = bytes.indexOf('\t');
    if (tab < 0) {
        return std::nullopt;
    }
    SpooledRecord record;
    record.keptAt = QDateTime::fromString(QString::fromLatin1(bytes.first(tab)), kTimeFormat);
    const QByteArrayView lineBytes = bytes.sliced(tab + 1);
    record.line = decodeCp932(lineBytes);
    // A record survives the round trip unchanged; anything else is damage.
    if (!record.keptAt.isValid() || encodeCp932(record.line) != lineBytes ||
        std::holds_alternative<LineProblem>(readPunchRecord(record.line))) {
        return std::nullopt;
    }
    return record;
}

// Replaces the spool with `bytes` whole: a crash leaves the old file or the new one.
void replaceFile(const std::filesystem::path& file, const QByteArray& bytes) {
    const std::filesystem::path next = file.string() + ".new";
    {
        UniqueFd fd = openDataFile(next, O_WRONLY | O_CREAT | O_TRUNC, "cannot create");
        writeAll(fd.get(), bytes, next);
        syncOrThrow(fd.get(), next);
        if (fd.close() != 0) {
            throw FileError(next, "cannot close", errno);
        }
    }
    if (::rename(next.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(next.c_str());
        throw FileError(file, "cannot replace", error);
    }
    UniqueFd folder(::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) {
        ::fsync(folder.get());
    }
}

void appendSynced(const std::filesystem::path& file, const QByteArray& bytes) {
    UniqueFd fd = openDataFile(file, O_WRONLY | O_CREAT | O_APPEND, "cannot open for appending");
    writeAll(fd.get(), bytes, file);
    syncOrThrow(fd.get(), file);
}

}  // namespace

QByteArray spoolLine(const SpooledRecord& record) {
    return record.keptAt.toString(kTimeFormat).toLatin1() + '\t' + encodeCp932(record.line) +
           "\r\n";
}

RecordSpool::RecordSpool(std::filesystem::path folder) : folder_(std::move(folder)) {}

void RecordSpool::keep(const SpooledRecord& record) {
    const std::lock_guard guard(mutex_);
    if (::mkdir(folder_.c_str(), 0770) != 0 && errno != EEXIST) {
        throw FileError(folder_, "cannot create the folder", errno);
    }
    const UniqueFd fd = openLocked(file(), O_WRONLY | O_CREAT | O_APPEND);
    // Every account of the group sends what another one kept; the umask would say no.
    ::fchmod(fd.get(), 0660);
    writeAll(fd.get(), spoolLine(record), file());
    syncOrThrow(fd.get(), file());
}

SpoolContents RecordSpool::load() {
    const std::lock_guard guard(mutex_);
    SpoolContents contents;
    const UniqueFd fd = openLocked(file(), O_RDONLY);
    if (!fd) {
        return contents;
    }
    const QByteArray bytes = readToEnd(fd.get(), file());
    QByteArray whole;
    for (const QByteArrayView entry : entriesOf(bytes)) {
        std::optional<SpooledRecord> record;
        if (entry.endsWith("\r\n")) {
            record = readSpoolLine(entry.chopped(2));
        }
        if (record) {
            contents.records.push_back(std::move(*record));
            whole.append(entry);
        } else {
            contents.setAside.append(entry);
        }
    }
    if (!contents.setAside.isEmpty()) {
        contents.setAsideFile = file().string() + kSetAsideSuffix;
        // Set aside first: a crash in between keeps the damaged bytes twice, never none.
        appendSynced(contents.setAsideFile, contents.setAside);
        replaceFile(file(), whole);
    }
    return contents;
}

void RecordSpool::remove(const QString& line) {
    const std::lock_guard guard(mutex_);
    const UniqueFd fd = openLocked(file(), O_RDONLY);
    if (!fd) {
        return;
    }
    const QByteArray bytes = readToEnd(fd.get(), file());
    const QByteArray wanted = '\t' + encodeCp932(line) + "\r\n";
    for (const QByteArrayView entry : entriesOf(bytes)) {
        if (entry.endsWith(wanted) && entry.indexOf('\t') == entry.size() - wanted.size()) {
            const qsizetype start = entry.data() - bytes.constData();
            replaceFile(file(), bytes.first(start) + bytes.sliced(start + entry.size()));
            return;
        }
    }
}

}  // namespace tavomi
