#pragma once
// The program tavomi: start-up, the event loop and the end of a run.

namespace tavomi {

// Runs the time clock from the program's own folder, or answers --help or --version.
// Returns the exit code: 0 in every case the program itself decides (a second copy, an
// incomplete data folder, a normal run, an answered option), 1 when there is no display
// to show it on, 2 for an argument it does not know.
int runTavomi(int argc, char** argv);

// How a run is wired; the benchmarks compare the two ways a card is noticed.
struct RunOptions {
    // A reader watch runs a tick as soon as a card arrives; without it only the timer does.
    bool wakeOnCardEvents = true;
};
int runTavomi(int argc, char** argv, const RunOptions& options);

}  // namespace tavomi
