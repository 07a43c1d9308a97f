#include "card/reader_watch.h"

#include "card/card_poll.h"

#include <algorithm>
#include <map>
#include <utility>

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

PcscReaderWatch::~PcscReaderWatch() {
    stop();
}

void PcscReaderWatch::start(std::function<void()> changed) {
    stop();
    changed_ = std::move(changed);
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
        done_ = false;
    }
    thread_ = std::thread([this] { run(); });
}

void PcscReaderWatch::stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::unique_lock lock(mutex_);
        stopping_ = true;
        wakeUp_.notify_all();
        // A cancel that comes just before the thread enters its wait is lost, so it is
        // repeated until the thread has ended.
        while (!done_) {
            if (contextValid_) {
                pcsc_.cancel(context_);
            }
            finished_.wait_for(lock, std::chrono::milliseconds(50));
        }
    }
    thread_.join();
    changed_ = nullptr;
}

void PcscReaderWatch::run() {
    while (!stopping()) {
        SCARDCONTEXT context = 0;
        if (pcsc_.establishContext(SCARD_SCOPE_SYSTEM, &context) == SCARD_S_SUCCESS) {
            if (publishContext(context)) {
                watchWith(context);
                withdrawContext();
            }
            pcsc_.releaseContext(context);
        }
        if (!rest(kRetryPause)) {
            break;
        }
    }
    std::lock_guard lock(mutex_);
    done_ = true;
    finished_.notify_all();
}

void PcscReaderWatch::watchWith(SCARDCONTEXT context) {
    // What each reader last showed, kept across new reader lists, so that a reader
    // plugged in beside the others is no change of theirs.
    std::map<std::string, DWORD> known;
    // The first answer tells how things stand. A card already lying there is news: it
    // may have come just before the watch began, or while the service was away.
    bool first = true;
    while (!stopping()) {
        const ReaderListing listing = listReaderNames(pcsc_, context);
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
        while (!readersChanged && !stopping()) {
            const LONG result =
                pcsc_.getStatusChange(context, static_cast<DWORD>(kWaitLimit.count()),
                                      states.data(), static_cast<DWORD>(states.size()));
            if (result == SCARD_E_TIMEOUT) {
                continue;
            }
            if (result != SCARD_S_SUCCESS) {
                return;  // cancelled, or the service failed: the caller starts afresh
            }
            bool report = false;
            for (std::size_t i = 0; i < states.size(); ++i) {
                SCARD_READERSTATE& state = states[i];
                if ((state.dwEventState & SCARD_STATE_CHANGED) == 0) {
                    continue;
                }
                if (i == 0 || (state.dwEventState & SCARD_STATE_UNKNOWN) != 0) {
                    readersChanged = true;
                } else if (cardChanged(state.dwCurrentState, state.dwEventState) &&
                           (!first || (state.dwEventState & SCARD_STATE_PRESENT) != 0)) {
                    report = true;
                }
                state.dwCurrentState = state.dwEventState & ~DWORD(SCARD_STATE_CHANGED);
            }
            if ((report || (readersChanged && !first)) && changed_) {
                changed_();
            }
            first = false;
            for (std::size_t i = 0; i < names.size(); ++i) {
                known[names[i]] = states[i + 1].dwCurrentState;
            }
            paceWakes();
        }
    }
}

bool PcscReaderWatch::publishContext(SCARDCONTEXT context) {
    std::lock_guard lock(mutex_);
    if (stopping_) {
        return false;
    }
    context_ = context;
    contextValid_ = true;
    return true;
}

void PcscReaderWatch::withdrawContext() {
    std::lock_guard lock(mutex_);
    contextValid_ = false;
}

bool PcscReaderWatch::rest(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    return !wakeUp_.wait_for(lock, pause, [this] { return stopping_; });
}

bool PcscReaderWatch::stopping() {
    std::lock_guard lock(mutex_);
    return stopping_;
}

void PcscReaderWatch::paceWakes() {
    const auto now = std::chrono::steady_clock::now();
    if (now - windowStart_ >= std::chrono::seconds(1)) {
        windowStart_ = now;
        wakesInWindow_ = 0;
    }
    if (++wakesInWindow_ > kMaxWakesPerSecond) {
        const auto left = std::chrono::seconds(1) - (now - windowStart_);
        rest(std::chrono::duration_cast<std::chrono::milliseconds>(left));
    }
}

}  // namespace tavomi
