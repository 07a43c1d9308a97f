#pragma once

#include "clock/clock.h"
#include "office/command_line.h"

#include <cstdio>
#include <filesystem>

namespace tavomi {

// Runs a parsed tavomi-report command, reading the data files and never writing them:
// the report to out (or to the files asked for), warnings and errors to err. Returns the
// exit code: 0 reported (garbled lines included), 1 the journal or an output failed.
// A PDF needs a QGuiApplication.
int runReportCommand(const ReportCommand& command, const std::filesystem::path& appFolder,
                     const Clock& clock, std::FILE* out, std::FILE* err);

}  // namespace tavomi
