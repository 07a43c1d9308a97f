#pragma once

#include "clock/clock.h"
#include "office/command_line.h"

#include <QString>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace tavomi {

struct PeriodReport;

// Draws a month's PDF (writeMonthPdf, which needs Qt Gui): an error text, or an empty text
// once written; `pages` gets the number of pages.
using MonthPdfWriter =
    std::function<QString(const PeriodReport& report, const QString& file, int* pages)>;

// Runs a parsed tavomi-report command, reading the data files and never writing them:
// the report to out (or to the files asked for), warnings and errors to err. Returns the
// exit code: 0 reported (garbled lines included), 1 the journal or an output failed.
// A PDF is drawn by writePdf; without one, asking for a PDF is an error.
int runReportCommand(const ReportCommand& command, const std::filesystem::path& appFolder,
                     const Clock& clock, std::FILE* out, std::FILE* err,
                     const MonthPdfWriter& writePdf);

// True when the path names one of Tavomi's data files (or the lock file), which a report
// never writes: an existing file by identity (device and inode), a new one by its path with
// letter case folded.
bool isDataFile(const QString& output, const std::filesystem::path& appFolder);

// Writes the month's CSV whole or not at all. Returns an error text, or an empty text.
QString writeMonthCsv(const PeriodReport& report, const QString& file);

}  // namespace tavomi
