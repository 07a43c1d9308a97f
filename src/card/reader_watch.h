#pragma once

#include "card/card_events.h"
#include "card/pcsc_api.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavomi {

// A thread that blocks in SCardGetStatusChange on every reader and on pcsc-lite's
// plug-and-play pseudo-reader, and reports each change. When the service is missing,
// stops or fails, the thread waits and tries again, at most a few times a second.
class PcscReaderWatch final : public CardEventSource {
  public:
    PcscReaderWatch() : pcsc_(lite_) {}
    // Over the interface given, for tests.
    explicit PcscReaderWatch(PcscApi& pcsc) : pcsc_(pcsc) {}
    ~PcscReaderWatch() override;
    PcscReaderWatch(const PcscReaderWatch&) = delete;
    PcscReaderWatch& operator=(const PcscReaderWatch&) = delete;

    void start(std::function<void()> changed) override;
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

  private:
    void run();
    // Watches with one context until it fails or the watch stops.
    void watchWith(SCARDCONTEXT context);
    bool publishContext(SCARDCONTEXT context);
    void withdrawContext();
    // Sleeps for `pause` unless the watch stops first; returns false once stopping.
    bool rest(std::chrono::milliseconds pause);
    bool stopping();
    void paceWakes();

    PcscLiteApi lite_;
    PcscApi& pcsc_;
    std::function<void()> changed_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wakeUp_;  // ends a rest early when the watch stops
    std::condition_variable finished_;
    bool stopping_ = false;
    bool done_ = false;
    bool contextValid_ = false;
    SCARDCONTEXT context_ = 0;
    std::chrono::steady_clock::time_point windowStart_{};
    int wakesInWindow_ = 0;
};

}  // namespace tavomi
