#pragma once

#include "files/journal_lock.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>

namespace tavomi {

// Old writers end a file at this byte; what follows it is no part of the file.
inline constexpr char kEndOfFileMark = 0x1A;

// The bytes a data file's line is written as: CP932, then CR LF.
QByteArray lineBytesAsWritten(const QString& line);

// Appends one line to an existing data file: a 0x1A within the last 128 bytes
// cuts the file there (and NUL bytes before it, or at the file's end, go too), a missing final line
// break is supplied, the text goes out in CP932 with CR LF in one write under an exclusive lock,
// and is synced to disk. Never creates the file, and never writes through a symbolic link or to
// anything but a regular file. Throws FileError; the file is then byte-identical to what it was
// before, unless the error says that it could not be restored, or that it was left as it is since
// another writer's data follows (a failed append never cuts another writer's bytes). Once the line
// is synced it counts as written: a failure to close after that is only logged to standard error.
void appendLine(const std::filesystem::path& file, const QString& line);

// The same for several lines in one write: all of them are in the file, or none.
// Returns the offset where the first of them begins.
qint64 appendLines(const std::filesystem::path& file, const QStringList& lines);

// Runs with the file open and locked and the place of the write decided (the offset the
// write goes to), just before the write: the share lab holds a write there and cuts the
// network under it.
using BeforeWrite = std::function<void(qint64 writeAt)>;
qint64 appendLines(const std::filesystem::path& file, const QStringList& lines,
                   const BeforeWrite& beforeWrite);

enum class WriteOutcome { Written, Busy, JournalMissing };

// "Written", "Busy" or "JournalMissing": how the tools that drive appends print an outcome.
const char* writeOutcomeName(WriteOutcome outcome);

// What a writer does while it holds the journal's lock around one append. `lines`, when
// set, says what goes in, each its own line, in place of the line given (none: nothing is
// appended and the outcome is still Written); `done` runs after the append, before the
// lock goes, with the offset where the first line begins (-1 when nothing was
// appended), and must not throw: the lines are in the journal by then. Either may be
// empty.
struct WhileLocked {
    std::function<QStringList()> lines;
    std::function<void(qint64 at)> done;
    BeforeWrite beforeWrite;  // see appendLines
};

// The card screens' order: lock present -> Busy; else take the lock, append when
// the journal exists (else JournalMissing), and release the lock in every case.
WriteOutcome writeRecordLockingFirst(const std::filesystem::path& appFolder, const QString& line,
                                     JournalLock& lock);
WriteOutcome writeRecordLockingFirst(const std::filesystem::path& appFolder, const QString& line,
                                     JournalLock& lock, const WhileLocked& whileLocked);

// The manual entry's order: lock present -> Busy; journal missing -> JournalMissing
// without taking the lock; else take the lock, append, release.
WriteOutcome writeRecordCheckingJournalFirst(const std::filesystem::path& appFolder,
                                             const QString& line, JournalLock& lock);
WriteOutcome writeRecordCheckingJournalFirst(const std::filesystem::path& appFolder,
                                             const QString& line, JournalLock& lock,
                                             const WhileLocked& whileLocked);

}  // namespace tavomi
