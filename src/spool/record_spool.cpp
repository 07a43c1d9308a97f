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

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

constexpr auto kTimeFormat = "yyyy-MM-dd HH:mm:ss";

// Every account of the group keeps and sends what another one kept; the umask would say no.
constexpr mode_t kShared = 0660;
constexpr mode_t kSharedFolder = 0770;

using std::chrono::steady_clock;

std::unique_lock<std::timed_mutex> lockUntil(std::timed_mutex& mutex,
                                             steady_clock::time_point deadline,
                                             const std::filesystem::path& file) {
    std::unique_lock guard(mutex, deadline);
    if (!guard.owns_lock()) {
        throw FileError(file, "cannot lock", EWOULDBLOCK);
    }
    return guard;
}

// Opens and locks the spool file that stands at the path now: another process may have
// replaced it while this one waited for the lock. An empty descriptor when the file is not
// there and `flags` do not create it. Waits for another holder of the lock only until
// `deadline`.
UniqueFd openLocked(const std::filesystem::path& file, int flags,
                    steady_clock::time_point deadline) {
    constexpr std::chrono::milliseconds kRetry{10};
    for (;;) {
        UniqueFd fd = (flags & O_CREAT) != 0 ? openDataFile(file, flags, "cannot open", kShared)
                                             : openDataFileIfPresent(file, flags, "cannot open");
        if (!fd) {
            return fd;
        }
        while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EWOULDBLOCK || steady_clock::now() >= deadline) {
                throw FileError(file, "cannot lock", errno);
            }
            std::this_thread::sleep_for(kRetry);
        }
        struct stat opened {
        }, current{};
        if (::fstat(fd.get(), &opened) == 0 && ::lstat(file.c_str(), &current) == 0 &&
            opened.st_dev == current.st_dev && opened.st_ino == current.st_ino) {
            return fd;
        }
    }
}

void makeFolder(const std::filesystem::path& folder) {
    if (::mkdir(folder.c_str(), kSharedFolder) == 0) {
        ::chmod(folder.c_str(), kSharedFolder);
    } else if (errno != EEXIST) {
        throw FileError(folder, "cannot create the folder", errno);
    }
}

// Appends `bytes` whole and synced, or leaves the file as it was: a write that stops part
// way (a full disk) is cut off again, so that the next append never continues a torn line.
void appendWhole(int fd, const QByteArray& bytes, const std::filesystem::path& file) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        throw FileError(file, "cannot write", errno);
    }
    int error = writeFully(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const char* action = "cannot write";
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
        action = "cannot sync";
    }
    if (error != 0) {
        if (::ftruncate(fd, st.st_size) != 0 || ::fsync(fd) != 0) {
            action = "cannot restore";
        }
        throw FileError(file, action, error);
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
    // A record survives the round trip unchanged, and holds no control character (a record's
    // line never does: 0x1A would cut the journal short, a lone LF split it); anything else
    // is damage, set aside rather than sent.
    const bool hasControl = std::any_of(record.line.begin(), record.line.end(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7F;
    });
    if (!record.keptAt.isValid() || hasControl || encodeCp932(record.line) != lineBytes ||
        std::holds_alternative<LineProblem>(readPunchRecord(record.line))) {
        return std::nullopt;
    }
    return record;
}

void setAside(const std::filesystem::path& file, const QByteArray& bytes) {
    const UniqueFd aside =
        openDataFile(file, O_RDWR | O_CREAT | O_APPEND, "cannot open for appending", kShared);
    ::fchmod(aside.get(), kShared);
    appendWhole(aside.get(), bytes, file);
}

// A crash part way through a keep leaves a torn last line: it goes aside before the next
// record is appended, which must never join it.
void setAsideTornEnd(int fd, const std::filesystem::path& file) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        throw FileError(file, "cannot read", errno);
    }
    char last[2] = {};
    const off_t from = std::max<off_t>(0, st.st_size - 2);
    const ssize_t got = readFully(fd, last, static_cast<std::size_t>(st.st_size - from), from);
    if (got < 0) {
        throw FileError(file, "cannot read", errno);
    }
    if (got == 0 || (got == 2 && last[0] == '\r' && last[1] == '\n')) {
        return;
    }
    QByteArray bytes(static_cast<qsizetype>(st.st_size), '\0');
    if (readFully(fd, bytes.data(), static_cast<std::size_t>(bytes.size()), 0) != bytes.size()) {
        throw FileError(file, "cannot read", errno != 0 ? errno : EIO);
    }
    const qsizetype lineBreak = bytes.lastIndexOf("\r\n");
    const qsizetype wholeEnd = lineBreak < 0 ? 0 : lineBreak + 2;
    // Set aside first: a crash in between keeps the torn bytes twice, never none.
    setAside(file.string() + RecordSpool::kSetAsideSuffix, bytes.sliced(wholeEnd));
    if (::ftruncate(fd, wholeEnd) != 0 || ::fsync(fd) != 0) {
        throw FileError(file, "cannot write", errno);
    }
}

struct SpoolEntry {
    SpooledRecord record;
    std::optional<qint64> sentFrom;  // set for a note
};

QByteArray noteLine(const SpooledRecord& record, qint64 journalSize) {
    return '@' + QByteArray::number(journalSize) + '\t' + spoolLine(record);
}

// A record line, or a note on one ("@SIZE TAB" before the record's own line).
std::optional<SpoolEntry> readSpoolEntry(QByteArrayView bytes) {
    if (!bytes.startsWith('@')) {
        auto record = readSpoolLine(bytes);
        return record ? std::optional<SpoolEntry>(SpoolEntry{std::move(*record), {}})
                      : std::nullopt;
    }
    const qsizetype tab = bytes.indexOf('\t');
    bool ok = false;
    const qint64 size = tab > 1 ? bytes.sliced(1, tab - 1).toLongLong(&ok) : 0;
    auto record = ok && size >= 0 ? readSpoolLine(bytes.sliced(tab + 1)) : std::nullopt;
    if (!record) {
        return std::nullopt;
    }
    return SpoolEntry{std::move(*record), size};
}

// A note belongs to the oldest record before it that is equal and has none yet.
bool attachNote(SpoolContents& contents, const SpoolEntry& note) {
    for (std::size_t i = 0; i < contents.records.size(); ++i) {
        if (!contents.sentFrom[i] && contents.records[i] == note.record) {
            contents.sentFrom[i] = note.sentFrom;
            return true;
        }
    }
    return false;
}

// The spool's file as it holds `contents`: each note right after its record.
QByteArray spoolBytes(const SpoolContents& contents) {
    QByteArray bytes;
    for (std::size_t i = 0; i < contents.records.size(); ++i) {
        bytes += spoolLine(contents.records[i]);
        if (contents.sentFrom[i]) {
            bytes += noteLine(contents.records[i], *contents.sentFrom[i]);
        }
    }
    return bytes;
}

}  // namespace

QByteArray spoolLine(const SpooledRecord& record) {
    return record.keptAt.toString(kTimeFormat).toLatin1() + '\t' + encodeCp932(record.line) +
           "\r\n";
}

RecordSpool::RecordSpool(std::filesystem::path folder) : folder_(std::move(folder)) {}

void RecordSpool::keep(const SpooledRecord& record) {
    const auto deadline = steady_clock::now() + kLockWait;
    const auto guard = lockUntil(mutex_, deadline, file());
    makeFolder(folder_);
    const UniqueFd fd = openLocked(file(), O_RDWR | O_CREAT | O_APPEND, deadline);
    ::fchmod(fd.get(), kShared);
    setAsideTornEnd(fd.get(), file());
    appendWhole(fd.get(), spoolLine(record), file());
}

SpoolContents RecordSpool::load() {
    const auto deadline = steady_clock::now() + kLockWait;
    const auto guard = lockUntil(mutex_, deadline, file());
    const UniqueFd fd = openLocked(file(), O_RDONLY, deadline);
    if (!fd) {
        return {};
    }
    return loadLocked(fd.get());
}

SpoolContents RecordSpool::loadLocked(int fd) {
    SpoolContents contents;
    const QByteArray bytes = readToEnd(fd, file());
    bool staleNote = false;
    for (const QByteArrayView entry : entriesOf(bytes)) {
        const std::optional<SpoolEntry> read =
            entry.endsWith("\r\n") ? readSpoolEntry(entry.chopped(2)) : std::nullopt;
        if (!read) {
            contents.setAside.append(entry);
        } else if (!read->sentFrom) {
            contents.records.push_back(read->record);
            contents.sentFrom.emplace_back();
        } else if (!attachNote(contents, *read)) {
            staleNote = true;  // its record went with an older version's rewrite
        }
    }
    if (!contents.setAside.isEmpty()) {
        contents.setAsideFile = file().string() + kSetAsideSuffix;
        // Set aside first: a crash in between keeps the damaged bytes twice, never none.
        setAside(contents.setAsideFile, contents.setAside);
    }
    if (!contents.setAside.isEmpty() || staleNote) {
        replaceFileWhole(file(), spoolBytes(contents), kShared);
    }
    return contents;
}

std::optional<SpooledRecord> RecordSpool::first() {
    {
        const auto deadline = steady_clock::now() + kLockWait;
        const auto guard = lockUntil(mutex_, deadline, file());
        const UniqueFd fd = openLocked(file(), O_RDONLY, deadline);
        if (!fd) {
            return std::nullopt;
        }
        QByteArray bytes;
        char buffer[4096];
        qsizetype lineEnd = -1;
        while (lineEnd < 0) {
            const ssize_t n = readOnce(fd.get(), buffer, sizeof buffer);
            if (n < 0) {
                throw FileError(file(), "cannot read", errno);
            }
            if (n == 0) {
                break;
            }
            bytes.append(buffer, n);
            lineEnd = bytes.indexOf("\r\n");
        }
        if (bytes.isEmpty()) {
            return std::nullopt;
        }
        if (lineEnd >= 0) {
            if (auto record = readSpoolLine(QByteArrayView(bytes).first(lineEnd))) {
                return record;
            }
        }
    }
    SpoolContents contents = load();
    if (contents.records.empty()) {
        return std::nullopt;
    }
    return std::move(contents.records.front());
}

void RecordSpool::noteSending(const std::vector<SpooledRecord>& records, qint64 journalSize) {
    if (records.empty()) {
        return;
    }
    const auto deadline = steady_clock::now() + kLockWait;
    const auto guard = lockUntil(mutex_, deadline, file());
    const UniqueFd fd = openLocked(file(), O_RDWR | O_APPEND, deadline);
    if (!fd) {
        return;  // nothing waits: nothing to note
    }
    setAsideTornEnd(fd.get(), file());
    QByteArray notes;
    for (const SpooledRecord& record : records) {
        notes += noteLine(record, journalSize);
    }
    appendWhole(fd.get(), notes, file());
}

void RecordSpool::remove(const std::vector<SpooledRecord>& records) {
    const auto deadline = steady_clock::now() + kLockWait;
    const auto guard = lockUntil(mutex_, deadline, file());
    const UniqueFd fd = openLocked(file(), O_RDONLY, deadline);
    if (!fd) {
        return;
    }
    SpoolContents contents = loadLocked(fd.get());
    std::vector<bool> gone(contents.records.size(), false);
    bool changed = false;
    for (const SpooledRecord& record : records) {
        for (std::size_t i = 0; i < contents.records.size(); ++i) {
            if (!gone[i] && contents.records[i] == record) {
                gone[i] = true;
                changed = true;
                break;
            }
        }
    }
    if (!changed) {
        return;
    }
    SpoolContents left;
    for (std::size_t i = 0; i < contents.records.size(); ++i) {
        if (!gone[i]) {
            left.records.push_back(contents.records[i]);
            left.sentFrom.push_back(contents.sentFrom[i]);
        }
    }
    replaceFileWhole(file(), spoolBytes(left), kShared);
}

}  // namespace tavomi
