#pragma once

#include "office/punch_line.h"
#include "office/report_period.h"

#include <QtGlobal>

#include <filesystem>
#include <functional>
#include <vector>

namespace tavomi {

// What a report takes from keeper.txt.
struct JournalScan {
    std::vector<PunchEvent> events;    // the period's records, in line order
    std::vector<GarbledLine> garbled;  // lines that are no record and may belong to the period
};

// Reads the journal as a stream: a line is decoded only when its date field's bytes
// belong to the period, or when it has no date field where a record has one. Line 1 is
// the header, unless it reads as a record (the journal was empty when it was written).
//
// A garbled line is kept when its date is in the period, or when no year and month can be
// read from it at all. The file is read without a lock, so that a long report never makes
// a punch fail; an append is one write, so at worst the last line is seen half-written.
// Throws FileError when the file cannot be opened or read.
JournalScan scanJournal(const std::filesystem::path& journal, const ReportPeriod& period);

// Told after each read how many bytes of the journal have been read, and its size when
// opened (a journal that grows meanwhile may pass it). Returning false stops the scan: what
// it returns then is incomplete and is for throwing away.
using ScanProgress = std::function<bool(qint64 bytesRead, qint64 size)>;

JournalScan scanJournal(const std::filesystem::path& journal, const ReportPeriod& period,
                        const ScanProgress& progress);

}  // namespace tavomi
