#pragma once
// How each reception PC is, for the office: one small file per PC in a folder of the data
// folder. Each PC writes its own; only the office window reads them. The file's layout is
// spelled here alone, for the writer and the reader.
//
// UTF-8 `key=value` lines with LF, unlike the data files' CP932: no spreadsheet or older
// program reads these, and a host name may hold any character.
//
//   tavomi-pc-status 1
//   pc=reception-1
//   version=2.8.24
//   reached=2026-12-10T07:52:00+09:00
//   waiting=3
//   waiting-since=2026-12-10T07:40:00+09:00
//   card-list=2026-12-09T17:05:00+09:00
//   end
//
// Times are this PC's clock with its offset; an empty time is none. Keys not known here
// are skipped, so that a later version may add some.

#include "files/file_error.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavomi {

inline constexpr std::string_view kPcStatusFolder = "tavomi-pcs";

struct PcStatus {
    QString pcName;
    QString version;
    QDateTime reached;          // when this PC last wrote to the data folder
    int waiting = 0;            // records kept on this PC that are not in the journal yet
    QDateTime waitingSince;     // when the oldest of them was kept; invalid when none wait
    QDateTime cardListTakenAt;  // when the cardholder list was last read whole; invalid: never
    bool operator==(const PcStatus&) const = default;
};

// This PC's name as the system gives it (gethostname).
QString thisPcName();

// The status file's name for a PC: its name with every byte that is not a letter, a digit,
// '-' or '_' (and a leading '.') written as %XX, then ".txt". No name escapes the folder,
// and two names never share a file.
std::string pcStatusFileName(const QString& pcName);

QByteArray pcStatusText(const PcStatus& status);

// Why a file of the folder gives no status.
enum class PcStatusProblem {
    None,
    NotAStatusFile,  // another kind of file (or far too long for one)
    Incomplete,      // cut short, or a value that cannot be read
    Unreadable,      // the file could not be read: see `error`
};

struct PcStatusRead {
    std::optional<PcStatus> status;
    PcStatusProblem problem = PcStatusProblem::None;
};

PcStatusRead readPcStatusText(const QByteArray& bytes);

// Writes this PC's status file, replaced whole. The data folder must hold the journal: an
// empty mount point (the share not mounted) gets no folder of ours, which would hide that
// it is empty. The folder is made group-writable for the data folder's group, so that
// every reception PC's account may add its file. Throws FileError.
void writePcStatus(const std::filesystem::path& appFolder, const PcStatus& status);

struct PcStatusFile {
    std::string fileName;
    PcStatusRead read;
    std::optional<FileError> error;  // with PcStatusProblem::Unreadable
};

// Every PC's file, by file name: the ".txt" files of the folder (a replacement under way,
// FILE.txt.new, is not one). No folder yet: none. Throws FileError when the folder exists
// but cannot be listed.
std::vector<PcStatusFile> readPcStatuses(const std::filesystem::path& appFolder);

}  // namespace tavomi
