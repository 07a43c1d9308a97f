#pragma once

#include <array>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tavomi {

inline constexpr std::string_view kDataFolderName = "attendance_manegement";

inline constexpr std::string_view kCardholderListFile = "associate_with_card.txt";
inline constexpr std::string_view kJournalFile = "keeper.txt";
inline constexpr std::string_view kWeeklyTableFile = "ordinary_working_hours.txt";
inline constexpr std::string_view kWorkingHoursFile = "working_hours.txt";
inline constexpr std::string_view kLockFile = "rock_file.txt";

// The seven files that must exist at start, in the order they are tested.
inline constexpr std::array<std::string_view, 7> kRequiredFiles = {
    kCardholderListFile,     kJournalFile,
    kWeeklyTableFile,        kWorkingHoursFile,
    "analysis_of_data.xlsm", "working_hours_allocation.txt",
    "absentee.txt",
};

// Every data file path is formed anew from the program's folder; nothing caches it.
std::filesystem::path dataFilePath(const std::filesystem::path& appFolder,
                                   std::string_view fileName);

// The required files that are not regular files (a folder of that name counts as
// missing), tested in table order.
std::vector<std::string_view> missingDataFiles(const std::filesystem::path& appFolder);

// True when a regular file (not a folder) exists at the path.
bool regularFileExists(const std::filesystem::path& path);

}  // namespace tavomi
