#include "card/reader_watch.h"

#include "card/card_poll.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tavomi {

namespace {

// pcsc-lite's pseudo-reader that changes when a reader is plugged in or pulled out.
constexpr const char* kPlugAndPlayReader = "\\\\?PnP?\\Notification";

// A card laid or taken away. The high word counts card events, so a card swapped
// between two waits still counts; our own poll's connect only touches the in-use bits.
bool cardChanged(DWORD before, DWORD after) {
    return ((before ^ after) & SCARD_STATE_PRESENT) != 0 || (before >> 16) != (after >> 16);
}

}  // namespace

struct PcscReaderWatch::State {
    PcscApi* pcsc = nullptr;
    std::shared_ptr<PcscLiteApi> lite;  // kept alive with the thread
    std::function<void()> changed;

    std::mutex mutex;
    std::condition_variable wakeUp;  // ends a rest early when the watch stops
    std::condition_variable finished;
    bool stopping = false;
    bool done = false;
    bool contextValid = false;
    SCARDCONTEXT context = 0;
    // Held while `changed` runs: once stop() has passed it, `changed` runs no more.
    std::mutex reporting;

    std::chrono::steady_clock::time_point windowStart{};
    int wakesInWindow = 0;

    bool isStopping() {
        std::lock_guard lock(mutex);
        return stopping;
    }

    // Sleeps for `pause` unless the watch stops first; returns false once stopping.
    bool rest(std::chrono::milliseconds pause) {
        std::unique_lock lock(mutex);
        return !wakeUp.wait_for(lock, pause, [this] { return stopping; });
    }

    bool publishContext(SCARDCONTEXT newContext) {
        std::lock_guard lock(mutex);
        if (stopping) {
            return false;
        }
        context = newContext;
        contextValid = true;
        return true;
    }

    void withdrawContext() {
        std::lock_guard lock(mutex);
        contextValid = false;
    }

    void report() {
        std::lock_guard lock(reporting);
        if (!isStopping() && changed) {
            changed();
        }
    }

    void paceWakes() {
        const auto now = std::chrono::steady_clock::now();
        if (now - windowStart >= std::chrono::seconds(1)) {
            windowStart = now;
            wakesInWindow = 0;
        }
        if (++wakesInWindow > kMaxWakesPerSecond) {
            const auto left = std::chrono::seconds(1) - (now - windowStart);
            rest(std::chrono::duration_cast<std::chrono::milliseconds>(left));
        }
    }
};

namespace {

// Watches with one context until it fails or the watch stops.
void watchWith(PcscReaderWatch::State& state, SCARDCONTEXT context) {
    PcscApi& pcsc = *state.pcsc;
    // What each reader last showed, kept across new reader lists, so that a reader
    // plugged in beside the others is no change of theirs.
    std::map<std::string, DWORD> known;
    // The first answer tells how things stand. A card already lying there is news: it
    // may have come just before the watch began, or while the service was away.
    bool first = true;
    while (!state.isStopping()) {
        const ReaderListing listing = listReaderNames(pcsc, context);
        if (listing.result != SCARD_S_SUCCESS && listing.result != SCARD_E_NO_READERS_AVAILABLE) {
            return;
        }
        const std::vector<std::string>& names = listing.names;
        std::vector<SCARD_READERSTATE> states(names.size() + 1);
        states[0].szReader = kPlugAndPlayReader;
        states[0].dwCurrentState = static_cast<DWORD>(names.size()) << 16;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto last = known.find(names[i]);
            states[i + 1].szReader = names[i].c_str();
            states[i + 1].dwCurrentState = last != known.end() ? last->second : SCARD_STATE_UNAWARE;
        }

        bool readersChanged = false;
        while (!readersChanged && !state.isStopping()) {
            const LONG result = pcsc.getStatusChange(
                context, static_cast<DWORD>(PcscReaderWatch::kWaitLimit.count()), states.data(),
                static_cast<DWORD>(states.size()));
            if (result == SCARD_E_TIMEOUT) {
                continue;
            }
            if (result != SCARD_S_SUCCESS) {
                return;  // cancelled, or the service failed: the caller starts afresh
            }
            bool news = false;
            for (std::size_t i = 0; i < states.size(); ++i) {
                SCARD_READERSTATE& reader = states[i];
                if ((reader.dwEventState & SCARD_STATE_CHANGED) == 0) {
                    continue;
                }
                if (i == 0 || (reader.dwEventState & SCARD_STATE_UNKNOWN) != 0) {
                    readersChanged = true;
                } else if (cardChanged(reader.dwCurrentState, reader.dwEventState) &&
                           (!first || (reader.dwEventState & SCARD_STATE_PRESENT) != 0)) {
                    news = true;
                }
                reader.dwCurrentState = reader.dwEventState & ~DWORD(SCARD_STATE_CHANGED);
            }
            // The reader count we passed was the one just listed: a change of it is news
            // from the first answer on, the first reader plugged into an empty PC too.
            if (news || readersChanged) {
                state.report();
            }
            first = false;
            for (std::size_t i = 0; i < names.size(); ++i) {
                known[names[i]] = states[i + 1].dwCurrentState;
            }
            state.paceWakes();
        }
    }
}

void run(const std::shared_ptr<PcscReaderWatch::State>& state) {
    while (!state->isStopping()) {
        SCARDCONTEXT context = 0;
        if (state->pcsc->establishContext(SCARD_SCOPE_SYSTEM, &context) == SCARD_S_SUCCESS) {
            if (state->publishContext(context)) {
                watchWith(*state, context);
                state->withdrawContext();
            }
            state->pcsc->releaseContext(context);
        }
        if (!state->rest(PcscReaderWatch::kRetryPause)) {
            break;
        }
    }
    std::lock_guard lock(state->mutex);
    state->done = true;
    state->finished.notify_all();
}

// A cancel that comes just before the thread enters its wait is lost, so it is repeated
// until the thread has ended. On its own thread: a frozen service may hold the call.
void cancelUntilDone(const std::shared_ptr<PcscReaderWatch::State>& state) {
    std::unique_lock lock(state->mutex);
    while (!state->done) {
        if (state->contextValid) {
            const SCARDCONTEXT context = state->context;
            lock.unlock();
            state->pcsc->cancel(context);
            lock.lock();
        }
        state->finished.wait_for(lock, std::chrono::milliseconds(50));
    }
}

}  // namespace

PcscReaderWatch::PcscReaderWatch() : lite_(std::make_shared<PcscLiteApi>()), pcsc_(*lite_) {}

PcscReaderWatch::PcscReaderWatch(PcscApi& pcsc) : pcsc_(pcsc) {}

PcscReaderWatch::~PcscReaderWatch() {
    stop();
}

void PcscReaderWatch::start(std::function<void()> changed) {
    stop();
    state_ = std::make_shared<State>();
    state_->pcsc = &pcsc_;
    state_->lite = lite_;
    state_->changed = std::move(changed);
    thread_ = std::thread([state = state_] { run(state); });
}

void PcscReaderWatch::stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        // Taken in this order, and never again by the thread for long: after this block
        // `changed` has run for the last time.
        std::lock_guard reporting(state_->reporting);
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->wakeUp.notify_all();
    }
    std::thread([state = state_] { cancelUntilDone(state); }).detach();
    bool ended = false;
    {
        std::unique_lock lock(state_->mutex);
        ended = state_->finished.wait_for(lock, kStopLimit, [this] { return state_->done; });
    }
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    state_.reset();
}

}  // namespace tavomi
