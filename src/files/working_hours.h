#pragma once

#include <QDate>

#include <filesystem>

namespace tavomi {

enum class DerivationOutcome {
    AlreadyPresent,  // working_hours.txt already holds an entry for the date
    Appended,        // the weekly table's hours for the date's weekday were appended
    NoWorkingHours,  // start equals end (a day off, or no line for the weekday)
    FileMissing,     // working_hours.txt does not exist; nothing written
};

// Appends the date's entry to working_hours.txt from ordinary_working_hours.txt
// unless the date is already present. Throws FileError when a file cannot be
// read or appended to.
DerivationOutcome deriveWorkingHours(const std::filesystem::path& appFolder, const QDate& date);

}  // namespace tavomi
