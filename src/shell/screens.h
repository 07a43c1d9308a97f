#pragma once
// The six screens of a run: created once, in start-up order, and wired together.

#include "clock/clock.h"

#include <QString>

#include <filesystem>
#include <memory>

namespace tavomi {

class CardPoller;
class MainScreen;
class PunchScreen;

// Creates the main screen and runs its part of start-up. The punch screen, the manual
// entry screen, the about box, the mid-day absence screen and the confirmation box
// follow, in that order, once the main screen's first frame is up (or when it first
// needs one of them). Returns null when the data folder is incomplete: its message has
// been shown and the program ends.
std::unique_ptr<MainScreen> createScreens(const std::filesystem::path& appFolder,
                                          const Clock& clock, CardPoller& poller);

// The hand-over: the holder's name into Label4, the heading into Label1, then the
// punch screen modally until it closes.
void showPunchScreen(PunchScreen& punchScreen, const QString& who);

}  // namespace tavomi
