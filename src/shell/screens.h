#pragma once
// The six screens of a run: created once, in start-up order, and wired together.

#include "clock/clock.h"

#include <filesystem>
#include <memory>

namespace tavomi {

class CardPoller;
class JournalWriter;
class MainScreen;

// Runs start-up and creates the main screen. The punch screen, the manual
// entry screen, the about box, the mid-day absence screen and the confirmation box
// follow, in that order, once the main screen's first frame is up (or when it first
// needs one of them). Returns null when the data folder is incomplete: its message has
// been shown and the program ends. The screens that write hand their records to the one writer.
// Without the start-up checks (StartChecks::None) the screens read what `appFolder` holds:
// the local copy a clock starts on while its file server is away.
enum class StartChecks { Run, None };
std::unique_ptr<MainScreen> createScreens(const std::filesystem::path& appFolder,
                                          const Clock& clock, CardPoller& poller,
                                          JournalWriter& writer,
                                          StartChecks checks = StartChecks::Run);

}  // namespace tavomi
