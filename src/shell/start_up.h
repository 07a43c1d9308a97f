#pragma once
// What the program checks and prepares before its main screen comes up, without widgets.

#include "files/journal_lock.h"

#include <QDate>
#include <QString>

#include <filesystem>
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

// The seven-file check, today's working hours and a lock file left behind by a run that
// ended while writing. A working-hours file that fails is reported and the rest is
// skipped (the program runs on; a stale lock stays until the next start).
StartUpOutcome prepareStart(const std::filesystem::path& appFolder, const QDate& today,
                            const Wait& wait = waitOnThisThread);

}  // namespace tavomi
