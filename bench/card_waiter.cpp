// tavomi-bench-card-waiter: the earliest moment a client of pcscd can know that a card
// was laid. It blocks in SCardGetStatusChange on every reader and prints, flushed:
//   READY <monotonic ns> <realtime ns>   once the readers' first states are known (the pair
//                                        lets a script turn its wall-clock times into ours)
//   CARD <reader index> <monotonic ns>   each time a reader goes from empty to a card
// Reader arrival and removal are followed through pcsc-lite's PnP pseudo-reader.
#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>

#include <time.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

const char kPnpReader[] = "\\\\?PnP?\\Notification";

std::int64_t nanosecondsOf(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void fail(const char* what, LONG rc) {
    std::fprintf(stderr, "card-waiter: %s: %s\n", what, pcsc_stringify_error(rc));
}

// The readers in list order; none while pcscd has no reader.
bool listReaders(SCARDCONTEXT context, std::vector<std::string>& names) {
    names.clear();
    DWORD length = 0;
    LONG rc = SCardListReaders(context, nullptr, nullptr, &length);
    if (rc == SCARD_E_NO_READERS_AVAILABLE) {
        return true;
    }
    if (rc != SCARD_S_SUCCESS) {
        fail("SCardListReaders", rc);
        return false;
    }
    std::vector<char> list(length, '\0');
    rc = SCardListReaders(context, nullptr, list.data(), &length);
    if (rc == SCARD_E_NO_READERS_AVAILABLE) {
        return true;
    }
    if (rc != SCARD_S_SUCCESS) {
        fail("SCardListReaders", rc);
        return false;
    }
    for (std::size_t at = 0; at < list.size() && list[at] != '\0';) {
        names.emplace_back(&list[at]);
        at += names.back().size() + 1;
    }
    return true;
}

// The wait list: the readers, then the PnP pseudo-reader. A reader seen before keeps the
// state we knew, so a list change does not report a card that was already there.
std::vector<SCARD_READERSTATE> waitList(const std::vector<std::string>& names,
                                        const std::map<std::string, DWORD>& known) {
    std::vector<SCARD_READERSTATE> states(names.size() + 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        states[i].szReader = names[i].c_str();
        const auto it = known.find(names[i]);
        states[i].dwCurrentState = it == known.end() ? SCARD_STATE_UNAWARE : it->second;
    }
    states.back().szReader = kPnpReader;
    states.back().dwCurrentState = SCARD_STATE_UNAWARE;
    return states;
}

}  // namespace

int main() {
    SCARDCONTEXT context = 0;
    LONG rc = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
    if (rc != SCARD_S_SUCCESS) {
        fail("SCardEstablishContext", rc);
        return 1;
    }
    std::vector<std::string> names;
    std::map<std::string, DWORD> known;  // the last state of each reader, by name
    bool ready = false;
    int exitCode = 0;
    while (exitCode == 0) {
        if (!listReaders(context, names)) {
            exitCode = 1;
            break;
        }
        std::vector<SCARD_READERSTATE> states = waitList(names, known);
        bool listChanged = false;
        while (!listChanged) {
            rc = SCardGetStatusChange(context, INFINITE, states.data(),
                                      static_cast<DWORD>(states.size()));
            const std::int64_t now = nanosecondsOf(CLOCK_MONOTONIC);
            if (rc != SCARD_S_SUCCESS) {
                fail("SCardGetStatusChange", rc);
                exitCode = 1;
                break;
            }
            for (std::size_t i = 0; i + 1 < states.size(); ++i) {
                SCARD_READERSTATE& s = states[i];
                const bool wasPresent = (s.dwCurrentState & SCARD_STATE_PRESENT) != 0;
                const bool isPresent = (s.dwEventState & SCARD_STATE_PRESENT) != 0;
                // A card already there when we first look at a reader was not laid now.
                const bool firstLook = s.dwCurrentState == SCARD_STATE_UNAWARE;
                if (isPresent && !wasPresent && !firstLook) {
                    std::printf("CARD %zu %lld\n", i, static_cast<long long>(now));
                }
                s.dwCurrentState = s.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
                known[names[i]] = s.dwCurrentState;
            }
            SCARD_READERSTATE& pnp = states.back();
            listChanged = pnp.dwCurrentState != SCARD_STATE_UNAWARE &&
                          (pnp.dwEventState & SCARD_STATE_CHANGED) != 0;
            pnp.dwCurrentState = pnp.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
            if (!ready) {
                ready = true;
                std::printf("READY %lld %lld\n", static_cast<long long>(now),
                            static_cast<long long>(nanosecondsOf(CLOCK_REALTIME)));
            }
            std::fflush(stdout);
        }
    }
    SCardReleaseContext(context);
    return exitCode;
}
