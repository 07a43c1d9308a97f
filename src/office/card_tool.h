#pragma once

#include "card/card_poller.h"
#include "office/card_wait.h"
#include "office/command_line.h"

#include <cstdio>
#include <filesystem>

namespace tavomi {

// Runs a parsed tavomi-card command: results to out, prompts and refusals (one line
// each) to err. Returns the exit code: 0 done, 1 refused or failed.
// `wait` gives the pause between polls; its timeout comes from the command.
// `in` answers the question a retire asks (y or n), unless the command says --yes.
int runCardCommand(const CardCommand& command, const std::filesystem::path& appFolder,
                   CardPoller& poller, CardWait wait, std::FILE* out, std::FILE* err,
                   std::FILE* in = stdin);

}  // namespace tavomi
