#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include <filesystem>

namespace tavomi {

inline constexpr const char16_t* kSourceCard = u"IC記録";
inline constexpr const char16_t* kSourceManual = u"手動記録";

// How records (and working_hours.txt) write a date and a time: 2019/08/28, 07:45.
inline constexpr const char* kRecordDateFormat = "yyyy/MM/dd";
inline constexpr const char* kRecordTimeFormat = "HH:mm";
QString recordDateText(const QDate& date);
QString recordTimeText(const QTime& time);

// One line of keeper.txt: seven unquoted comma-separated fields. detail and
// reason carry their words without the leading comma ("詳細bch", "事由なし").
struct PunchRecord {
    QString kind;
    QString name;
    QString date;  // yyyy/MM/dd
    QString time;  // HH:mm, or a length such as 02:00 for 中抜
    QString source;
    QString detail;
    QString reason;

    QString line() const;
};

// Takes the lock by exclusive creation of an empty file. Returns false when the
// file already exists (someone else holds the lock). Throws FileError otherwise.
bool takeJournalLock(const std::filesystem::path& lockFile);

// Releases the lock; a failed deletion is ignored.
void releaseJournalLock(const std::filesystem::path& lockFile) noexcept;

// Appends one line to an existing data file: a 0x1A within the last 128 bytes
// cuts the file there, a missing final line break is supplied, the text goes out
// in CP932 with CR LF in one write under an exclusive lock, and is synced to disk.
// Never creates the file. Throws FileError; the file is then byte-identical to
// what it was before.
void appendLine(const std::filesystem::path& file, const QString& line);

enum class WriteOutcome { Written, Busy, JournalMissing };

// The card screens' order: lock present -> Busy; else take the lock, append when
// the journal exists (else JournalMissing), and release the lock in every case.
WriteOutcome writeRecordLockingFirst(const std::filesystem::path& appFolder, const QString& line);

// The manual entry's order: lock present -> Busy; journal missing -> JournalMissing
// without taking the lock; else take the lock, append, release.
WriteOutcome writeRecordCheckingJournalFirst(const std::filesystem::path& appFolder,
                                             const QString& line);

}  // namespace tavomi
