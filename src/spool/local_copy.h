#pragma once
// What a start needs, kept on this PC's own disk beside the spool: the cardholder list and
// the weekly table as they were last read, and which data folder they came from, so that
// the clock can start while the file server is not there yet.

#include <QDateTime>

#include <filesystem>
#include <optional>
#include <string>

namespace tavomi {

// Which data folder records are made for: its path, and the share it is mounted from.
struct DataFolderIdentity {
    std::string folder;
    std::string mountedFrom;  // empty on a local disk
    bool operator==(const DataFolderIdentity&) const = default;
};

// The data folder of appFolder as it is mounted now.
DataFolderIdentity dataFolderIdentity(const std::filesystem::path& appFolder);

struct LocalCopy {
    // A program folder whose data folder holds the two copies, for the usual readers.
    std::filesystem::path appFolder;
    QDateTime takenAt;
    DataFolderIdentity identity;  // the data folder the copy was taken of
};

// The copy's folder inside the spool folder.
inline constexpr const char* kLocalCopyFolder = "start-copy";

// Copies associate_with_card.txt and ordinary_working_hours.txt of the data folder, then
// writes what they are (sizes, checksums, the data folder's identity, `now`). Each file is
// replaced whole (a new file, synced, then renamed), readable by the owner's group only.
// Throws FileError: a data file that cannot be read leaves the copy before as it was; a
// local write that fails part way leaves it torn, which reads as none.
void keepLocalCopy(const std::filesystem::path& appFolder, const std::filesystem::path& spoolFolder,
                   const QDateTime& now);

// The copy, or nullopt when there is none, or when it cannot be read or is torn (a file
// that is not what the identity says).
std::optional<LocalCopy> readLocalCopy(const std::filesystem::path& spoolFolder);

}  // namespace tavomi
