#pragma once
// What the program checks and prepares before its main screen comes up, without widgets.

#include "files/journal_lock.h"
#include "files/working_hours.h"

#include <QDate>
#include <QString>

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

}  // namespace tavomi
