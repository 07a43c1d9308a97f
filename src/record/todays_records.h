#pragma once
// A teacher's records of the day, as the punch screen shows them under the name, so that
// a second 出勤 in the evening is seen before it is pressed.

#include "record/punch_line.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <vector>

namespace tavomi {

// The lines of the journal's last `bytes` (whole lines only, decoded); nullopt when it
// cannot be read. Another PC's records of the day are found there.
std::optional<QStringList> journalLastLines(const std::filesystem::path& appFolder,
                                            qint64 bytes = 256 * 1024);

// What is known of the day on this PC: the lines it wrote in this run and those that wait
// in its spool.
struct OwnLines {
    QStringList written;
    QStringList waiting;
};

// The holder's records of the date, in time order: from the journal's lines when they
// could be read (they hold what this PC wrote), else from what this PC wrote; with what
// waits in the spool that the journal does not hold yet.
std::vector<PunchEvent> todaysRecordsOf(const QString& name, const QDate& date, const OwnLines& own,
                                        const std::optional<QStringList>& journal);

// 「今日の記録　出勤 07:52　外出 13:10」, 「今日の記録　なし」; without the journal it says that
// the other PCs' records are left out.
QString todaysRecordsText(const std::vector<PunchEvent>& records, bool journalRead);

}  // namespace tavomi
