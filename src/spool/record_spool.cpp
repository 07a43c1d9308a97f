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

// No record's line comes near this; a longer one is damage, read past in chunks rather
// than held whole.
constexpr qsizetype kLongestEntry = 64 * 1024;
constexpr std::size_t kReadChunk = 1024 * 1024;

// The spool's entries in order, read a chunk at a time: a spool grown huge with damage (a
// disk that gave back zeros after a crash, a stray file copied over it) costs neither its
// size in memory nor a scan per byte.
class EntryReader {
  public:
    struct Entry {
        QByteArrayView bytes;  // valid until the next call
        bool whole = false;    // a line with its CR LF, of a record's length at most
    };

    EntryReader(int fd, std::filesystem::path file) : fd_(fd), file_(std::move(file)) {}

    // The next entry; a damaged run longer than any record comes in parts, none whole.
    std::optional<Entry> next() {
        for (;;) {
            const qsizetype end = buffer_.indexOf("\r\n", std::max(start_, scanned_));
            if (end >= 0) {
                const bool partOfLong = std::exchange(inLongLine_, false);
                return take(end + 2, !partOfLong && end + 2 - start_ <= kLongestEntry);
            }
            const qsizetype unread = buffer_.size() - start_;
            if (unread > kLongestEntry) {
                inLongLine_ = true;
                return take(buffer_.size() - 1, false);  // the last byte may be a CR
            }
            if (atEnd_) {
                return unread > 0 ? std::optional(take(buffer_.size(), false)) : std::nullopt;
            }
            scanned_ = std::max<qsizetype>(start_, buffer_.size() - 1);
            readMore();
        }
    }

  private:
    Entry take(qsizetype end, bool whole) {
        const Entry entry{QByteArrayView(buffer_).sliced(start_, end - start_), whole};
        start_ = end;
        scanned_ = end;
        return entry;
    }

    void readMore() {
        buffer_.remove(0, start_);
        scanned_ -= start_;
        start_ = 0;
        const qsizetype had = buffer_.size();
        buffer_.resize(had + static_cast<qsizetype>(kReadChunk));
        const ssize_t n = readOnce(fd_, buffer_.data() + had, kReadChunk);
        if (n < 0) {
            throw FileError(file_, "cannot read", errno);
        }
        buffer_.resize(had + n);
        atEnd_ = n == 0;
    }

    int fd_;
    std::filesystem::path file_;
    QByteArray buffer_;
    qsizetype start_ = 0;
    qsizetype scanned_ = 0;
    bool atEnd_ = false;
    bool inLongLine_ = false;
};

std::optional<SpooledRecord> readSpoolLine(QByteArrayView bytes) {
    // The time has a fixed length: damage is told at once, not parsed as a time.
    const qsizetype tab = std::char_traits<char>::length(kTimeFormat);
    if (bytes.size() <= tab || bytes[tab] != '\t') {
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

// The file damaged bytes are moved to, appended to in parts and synced once; when any part
// fails, it is cut back to what it held, and the spool keeps its damage for the next try.
class SetAsideFile {
  public:
    explicit SetAsideFile(std::filesystem::path file) : file_(std::move(file)) {}

    const std::filesystem::path& path() const { return file_; }
    qint64 added() const { return added_; }

    void add(QByteArrayView bytes) {
        if (!fd_) {
            fd_ = openDataFile(file_, O_RDWR | O_CREAT | O_APPEND, "cannot open for appending",
                               kShared);
            ::fchmod(fd_.get(), kShared);
            struct stat st {};
            if (::fstat(fd_.get(), &st) != 0) {
                throw FileError(file_, "cannot write", errno);
            }
            before_ = st.st_size;
        }
        if (const int error =
                writeFully(fd_.get(), bytes.data(), static_cast<std::size_t>(bytes.size()))) {
            fail("cannot write", error);
        }
        added_ += bytes.size();
    }

    void sync() {
        if (fd_ && ::fsync(fd_.get()) != 0) {
            fail("cannot sync", errno);
        }
    }

  private:
    [[noreturn]] void fail(const char* action, int error) {
        if (::ftruncate(fd_.get(), before_) != 0 || ::fsync(fd_.get()) != 0) {
            action = "cannot restore";
        }
        throw FileError(file_, action, error);
    }

    std::filesystem::path file_;
    UniqueFd fd_;
    off_t before_ = 0;
    qint64 added_ = 0;
};

std::filesystem::path setAsidePath(const std::filesystem::path& file) {
    return file.string() + RecordSpool::kSetAsideSuffix;
}

// Where the spool's whole lines end: after its last CR LF, looked for from the end.
off_t wholeLinesEnd(int fd, off_t size, const std::filesystem::path& file) {
    char buffer[64 * 1024];
    off_t to = size;
    while (to > 0) {
        // One byte more than a step back, so that a CR LF across two reads is seen.
        const off_t from = std::max<off_t>(0, to - static_cast<off_t>(sizeof buffer) + 1);
        const ssize_t got = readFully(fd, buffer, static_cast<std::size_t>(to - from), from);
        if (got != to - from) {
            throw FileError(file, "cannot read", got < 0 ? errno : EIO);
        }
        const QByteArrayView read(buffer, got);
        if (const qsizetype at = read.lastIndexOf("\r\n"); at >= 0) {
            return from + at + 2;
        }
        to = from == 0 ? 0 : from + 1;
    }
    return 0;
}

// A crash part way through a keep leaves a torn last line: it goes aside before the next
// record is appended, which must never join it.
void setAsideTornEnd(int fd, const std::filesystem::path& file) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        throw FileError(file, "cannot read", errno);
    }
    const off_t end = wholeLinesEnd(fd, st.st_size, file);
    if (end == st.st_size) {
        return;
    }
    // Set aside first: a crash in between keeps the torn bytes twice, never none.
    SetAsideFile aside(setAsidePath(file));
    char buffer[64 * 1024];
    for (off_t at = end; at < st.st_size;) {
        const auto size = static_cast<std::size_t>(
            std::min<off_t>(static_cast<off_t>(sizeof buffer), st.st_size - at));
        const ssize_t got = readFully(fd, buffer, size, at);
        if (got <= 0) {
            throw FileError(file, "cannot read", got < 0 ? errno : EIO);
        }
        aside.add(QByteArrayView(buffer, got));
        at += got;
    }
    aside.sync();
    if (::ftruncate(fd, end) != 0 || ::fsync(fd) != 0) {
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
    SetAsideFile aside(setAsidePath(file()));
    EntryReader reader(fd, file());
    bool staleNote = false;
    for (auto entry = reader.next(); entry; entry = reader.next()) {
        const std::optional<SpoolEntry> read =
            entry->whole ? readSpoolEntry(entry->bytes.chopped(2)) : std::nullopt;
        if (!read) {
            // Set aside first: a crash before the spool is replaced keeps the damaged bytes
            // twice, never none.
            aside.add(entry->bytes);
        } else if (!read->sentFrom) {
            contents.records.push_back(read->record);
            contents.sentFrom.emplace_back();
        } else if (!attachNote(contents, *read)) {
            staleNote = true;  // its record went with an older version's rewrite
        }
    }
    aside.sync();
    if (aside.added() > 0) {
        contents.setAsideSize = aside.added();
        contents.setAsideFile = aside.path();
    }
    if (aside.added() > 0 || staleNote) {
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
        EntryReader reader(fd.get(), file());
        const auto entry = reader.next();
        if (!entry) {
            return std::nullopt;
        }
        if (entry->whole) {
            if (auto record = readSpoolLine(entry->bytes.chopped(2))) {
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
