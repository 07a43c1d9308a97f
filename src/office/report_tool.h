#pragma once

#include "clock/clock.h"
#include "office/command_line.h"

#include <QString>

#include <cstdio>
#include <filesystem>

namespace tavomi {

// Runs a parsed tavomi-report command, reading the data files and never writing them:
// the report to out (or to the files asked for), warnings and errors to err. Returns the
// exit code: 0 reported (garbled lines included), 1 the journal or an output failed.
// A PDF needs a QGuiApplication.
int runReportCommand(const ReportCommand& command, const std::filesystem::path& appFolder,
                     const Clock& clock, std::FILE* out, std::FILE* err);

struct PeriodReport;

// True when the path names one of Tavomi's data files (or the lock file), which a report
// never writes: an existing file by identity (device and inode), a new one by its path with
// letter case folded.
bool isDataFile(const QString& output, const std::filesystem::path& appFolder);

// Writes the month's CSV whole or not at all. Returns an error text, or an empty text.
QString writeMonthCsv(const PeriodReport& report, const QString& file);

}  // namespace tavomi
