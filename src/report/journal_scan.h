#pragma once

#include "record/punch_line.h"
#include "report/report_period.h"

#include <QStringList>
#include <QtGlobal>

#include <deque>
#include <filesystem>
#include <functional>
#include <vector>

namespace tavomi {

// A record of a month before the period, kept for its hours alone (see scanJournal). Small,
// as a fiscal year of a large school holds millions.
struct EarlierRecord {
    qint32 day = 0;  // the record's date as a Julian day
    qint16 minutes = 0;
    RecordKind kind = RecordKind::ClockIn;
    bool leave = false;  // a going-out or return on leave (its reason field says so)
};
static_assert(sizeof(EarlierRecord) == 8);

// What a report takes from keeper.txt.
struct JournalScan {
    // A deque: it grows without copying, which would double the peak for a large month.
    std::deque<PunchEvent> events;     // the period's records, in line order
    std::vector<GarbledLine> garbled;  // lines that are no record and may belong to the period
    // From lookBackFrom's month to the period: each name's records in line order (a name
    // whose bytes are written two ways is one name).
    QStringList earlierNames;
    std::vector<std::vector<EarlierRecord>> earlier;  // by index into earlierNames
    // The first day of the earliest month any record's date field names: where the journal
    // begins, so that months before it are not taken for months without overtime.
    QDate firstMonth;
};

// Reads the journal as a stream: a line is decoded only when its date field's bytes
// belong to the period, or when it has no date field where a record has one. Line 1 is
// the header, unless it reads as a record (the journal was empty when it was written).
//
// A garbled line is kept when its date is in the period, or when no year and month can be
// read from it at all. The file is read without a lock, so that a long report never makes
// a punch fail; an append is one write, so at worst the last line is seen half-written.
// Throws FileError when the file cannot be opened or read.
//
// With lookBackFrom, the records from the first day of its month up to the period are
// kept in `earlier`, for the overtime of the months before (the caps look back up to a
// fiscal year). They are read from the bytes without decoding more than each new name:
// kind, date and time as a record has them; the source, detail and reason fields are not
// checked there, as they carry no hours (their month's report names such a line).
//
// The progress is told after each read how many bytes have been read, and the journal's
// size when opened (a journal that grows meanwhile may pass it). Returning false stops the
// scan: what it returns then is incomplete and is for throwing away.
using ScanProgress = std::function<bool(qint64 bytesRead, qint64 size)>;

JournalScan scanJournal(const std::filesystem::path& journal, const ReportPeriod& period,
                        const QDate& lookBackFrom = QDate(), const ScanProgress& progress = {});

}  // namespace tavomi
