#pragma once

#include "card/card_events.h"
#include "card/pcsc_api.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace tavomi {

// A thread that blocks in SCardGetStatusChange on every reader and on pcsc-lite's
// plug-and-play pseudo-reader, and reports each change. When the service is missing,
// stops or fails, the thread waits and tries again, at most a few times a second.
class PcscReaderWatch final : public CardEventSource {
  public:
    PcscReaderWatch();
    // Over the interface given, for tests. It must outlive any thread a stop() left behind.
    explicit PcscReaderWatch(PcscApi& pcsc);
    ~PcscReaderWatch() override;
    PcscReaderWatch(const PcscReaderWatch&) = delete;
    PcscReaderWatch& operator=(const PcscReaderWatch&) = delete;

    void start(std::function<void()> changed) override;
    // Returns within kStopLimit even when the service is frozen and answers no call; a
    // thread still held by it then ends by itself, and never reports again.
    void stop() override;

    // A blocked wait returns after this long even without a change; a stop does not
    // depend on it (it cancels the wait), but a service that hangs cannot hold the
    // thread for ever.
    static constexpr std::chrono::milliseconds kWaitLimit{2000};
    // After a failure the next attempt waits this long: a stopped service costs a
    // couple of connection attempts a second, never a spin.
    static constexpr std::chrono::milliseconds kRetryPause{400};
    // More returns than this in one second (a reader that reports changes without end)
    // and the thread rests until the second is over.
    static constexpr int kMaxWakesPerSecond = 20;
    // How long stop() waits for the thread before it leaves it behind.
    static constexpr std::chrono::milliseconds kStopLimit{3000};

    // What the thread works with, shared with it so that it may outlive the watch.
    struct State;

  private:
    std::shared_ptr<PcscLiteApi> lite_;
    PcscApi& pcsc_;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace tavomi
