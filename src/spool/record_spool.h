#pragma once
// Records this PC keeps on its own disk while the share does not take them, in the order
// they were made, until they are sent on to the journal.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

namespace tavomi {

struct SpooledRecord {
    QDateTime keptAt;
    QString line;  // the journal's line, without its line break
    bool operator==(const SpooledRecord&) const = default;
};

struct SpoolContents {
    std::vector<SpooledRecord> records;
    // Per record: the journal's size just before an append that may have carried it, so
    // that a crash after the append finds it there; none for a record not sent yet.
    std::vector<std::optional<qint64>> sentFrom;
    // How many bytes were no whole record (a torn last line, text that is no record); they
    // were moved to the file named here and are no longer in the spool.
    qint64 setAsideSize = 0;
    std::filesystem::path setAsideFile;
};

// One file, spool.txt, in a folder on the local disk: a line per record, "keptAt TAB
// record" in CP932 with CR LF, appended and synced before the record counts as kept;
// before a record is sent, a note "@SIZE TAB keptAt TAB record" after it says how long
// the journal was just before the append that carries it. Every other change replaces
// the file whole, so a record and its note go together. Safe to use from several threads, and from
// several processes and accounts of the group on this PC (an exclusive flock; the files
// and the folder are group-writable whatever the umask). No call waits for another
// longer than kLockWait: it fails instead, so a screen never freezes on a spool that
// someone holds.
class RecordSpool {
  public:
    static constexpr const char* kFileName = "spool.txt";
    static constexpr const char* kSetAsideSuffix = ".damaged";
    static constexpr std::chrono::milliseconds kLockWait{300};

    explicit RecordSpool(std::filesystem::path folder);

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path file() const { return folder_ / kFileName; }

    // Appends and syncs. Makes the folder when it is not there. Throws FileError; the
    // file is then as it was (an append that failed part way is cut off again).
    void keep(const SpooledRecord& record);

    // The records waiting, oldest first. A damaged part is moved aside first (the file
    // then holds only whole records). Throws FileError when the spool cannot be read or
    // repaired; a missing spool is an empty one.
    SpoolContents load();

    // The oldest record waiting, read without the rest; nothing when none waits. Damage
    // before it is set aside first, as load() does. Throws FileError.
    std::optional<SpooledRecord> first();

    // Notes that `records` (waiting, without a note) go to the journal in an append made
    // when it held `journalSize` bytes: appended and synced before that append. Throws
    // FileError.
    void noteSending(const std::vector<SpooledRecord>& records, qint64 journalSize);

    // Takes each of `records` off the spool (the oldest equal one, with its note) in one
    // replacement; a record not there is passed over. Throws FileError.
    void remove(const std::vector<SpooledRecord>& records);
    void remove(const SpooledRecord& record) { remove(std::vector<SpooledRecord>{record}); }

  private:
    SpoolContents loadLocked(int fd);

    std::filesystem::path folder_;
    std::timed_mutex mutex_;
};

// A record as the spool file holds it, line break included.
QByteArray spoolLine(const SpooledRecord& record);

}  // namespace tavomi
