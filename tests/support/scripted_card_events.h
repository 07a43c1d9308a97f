#pragma once

#include "card/card_events.h"

#include <functional>
#include <memory>
#include <thread>
#include <utility>

namespace tavomi::test {

// Reader events on demand. The screen owns the source; the test keeps its remote, which
// outlives it, to fire events and to see whether the screen stopped watching.
class ScriptedCardEvents : public CardEventSource {
  public:
    struct Remote {
        std::function<void()> changed;
        int starts = 0;
        int stops = 0;

        // Reports a change from another thread, as the real watch does.
        void fire() {
            if (changed) {
                std::thread(changed).join();
            }
        }
    };

    explicit ScriptedCardEvents(std::shared_ptr<Remote> remote) : remote_(std::move(remote)) {}

    void start(std::function<void()> changed) override {
        ++remote_->starts;
        remote_->changed = std::move(changed);
    }

    void stop() override {
        ++remote_->stops;
        remote_->changed = nullptr;
    }

  private:
    std::shared_ptr<Remote> remote_;
};

}  // namespace tavomi::test
