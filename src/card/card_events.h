#pragma once

#include <functional>

namespace tavomi {

// Says when a reader's state may have changed: a card laid or taken away, a reader
// plugged in or pulled out. The main screen polls at once instead of at its next tick.
// The program wires pcsc-lite's status-change wait; tests wire a script.
class CardEventSource {
  public:
    virtual ~CardEventSource() = default;

    // Starts watching. `changed` runs on another thread, any number of times.
    virtual void start(std::function<void()> changed) = 0;

    // Stops watching; once it returns, `changed` runs no more.
    virtual void stop() = 0;
};

}  // namespace tavomi
