#pragma once
// What the program checks and prepares before its main screen comes up, without widgets.

#include "files/data_folder_probe.h"
#include "files/journal_lock.h"
#include "files/working_hours.h"
#include "spool/local_copy.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <exception>
#include <filesystem>
#include <optional>
#include <vector>

namespace tavomi {

struct StartUpMessage {
    enum class Kind {
        Plain,  // a plain box
        Error,  // the application's standard error report
    };
    Kind kind = Kind::Plain;
    QString text;

    bool operator==(const StartUpMessage&) const = default;
};

struct StartUpOutcome {
    bool dataFolderComplete = true;        // false: the program ends after the messages
    std::vector<StartUpMessage> messages;  // in the order they are shown
};

// What a start says about a date's working hours, also said when a running clock derives
// a new date's: nothing when they were there or were made, the message that there are
// none, or the error.
std::vector<StartUpMessage> workingHoursMessages(std::optional<DerivationOutcome> outcome,
                                                 std::exception_ptr error);

// The seven-file check, today's working hours and what stands at the lock file's place
// (a lock file is left to the writer's running rule; something that is no lock file is
// removed, or named). A working-hours file that fails is reported and the rest is
// skipped (the program runs on).
StartUpOutcome prepareStart(const std::filesystem::path& appFolder, const QDate& today,
                            const Wait& wait = waitOnThisThread);

// Where a start runs: on the share as usual; on the local copy of what a start needs while
// the file server is away (or the data folder is gone and the copy was taken of it); or,
// with the server away and no copy yet, waiting for the server.
struct StartPlan {
    enum class Place { Share, LocalCopy, WaitForShare };
    Place place = Place::Share;
    std::optional<LocalCopy> copy;  // with LocalCopy
    std::string why;                // why the share is not used, for the session log
};
StartPlan planStart(const std::filesystem::path& appFolder,
                    const std::filesystem::path& spoolFolder, std::chrono::milliseconds probeWait);

// Records waiting on this PC that were made for another data folder than the one that
// answers now (another path, or mounted from another server: the local copy says which)
// are never sent here: the spool file is moved aside whole, and the message names it.
// Nothing when they belong here or none wait.
std::optional<StartUpMessage> holdRecordsOfAnotherFolder(const std::filesystem::path& appFolder,
                                                         const std::filesystem::path& spoolFolder,
                                                         const QDateTime& now);

}  // namespace tavomi
