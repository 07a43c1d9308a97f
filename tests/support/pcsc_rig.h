#pragma once
// Tests against the real pcscd: the PC/SC rig (tools/pcsc-rig.sh) runs a private pcscd with
// two virtual readers, and VirtualCard lays a FeliCa card on one of them.
//
// In the test's CMakeLists, after tavomi_add_test(my_test ... LIBS tavomi_card ...):
//     tavomi_use_pcsc_rig(my_test)
// That makes ctest start the rig first (fixture pcsc_rig; a rig that cannot start fails the
// run), run rig tests one at a time, and tell the test where the rig is (TAVOMI_PCSC_RIG).
// By hand: `tools/pcsc-rig.sh --build BUILD start`, then run the test binary directly.
//
// In the test:
//     #include "support/pcsc_rig.h"
//     tavomi::test::usePcscRig();   // first, before anything talks to PC/SC in this process
//     tavomi::PcscCardPoller poller;  // card/card_poll.h: the program's own poller
//     {
//         tavomi::test::VirtualCard card(0, "0123456789ABCDEF");  // returns once pcscd sees it
//         ... poller.poll() / the screen's timer now finds "0123456789ABCDEF" on reader 0 ...
//         card.takeAway();          // or let it go out of scope; returns once pcscd sees it gone
//     }
// usePcscRig() points this process's pcsc-lite at the rig's socket, and programs the test
// starts inherit it (PCSCLITE_CSOCK_NAME; pcsc-lite reads it once, at the first PC/SC call,
// so call usePcscRig() before any). It throws std::runtime_error saying why when no rig runs.
// Other cards: VirtualCard::Options (atr "other" = MIFARE, "short" = 14-byte ATR, or a GET
// DATA answer of status bytes only). PcscServiceStopped stops the rig's pcscd for a while.
// One card per reader: a second card on the same reader is not seen until the first is
// taken away, so take it away first.

#include <sys/types.h>

#include <string>
#include <vector>

namespace tavomi::test {

// The running rig, as its state file describes it.
struct PcscRig {
    std::string socket;                    // PCSCLITE_CSOCK_NAME of the private pcscd
    std::vector<std::string> readerNames;  // reader 0 and reader 1, in list order
    int basePort = 0;                      // reader n listens on basePort + n
    pid_t netnsPid = 0;                    // the namespace the readers live in (0: none)
    pid_t pcscdPid = 0;                    // as started with the rig
    std::string cardTool;                  // tavomi-virtual-card
    std::string script;                    // tools/pcsc-rig.sh
    std::string buildDir;
};

// Reads the rig's state (TAVOMI_PCSC_RIG, or this build's pcsc-rig/rig.env) and sets
// PCSCLITE_CSOCK_NAME for this process. Throws std::runtime_error when there is no rig.
const PcscRig& usePcscRig();

// Stops the rig's pcscd for as long as the guard lives ("smart-card service not running"),
// then starts it again and waits until it answers. Cards on the readers go with the service.
// Freezes the rig's pcscd (SIGSTOP) for a while: it answers no call, as a hung service.
class PcscServiceFrozen {
  public:
    PcscServiceFrozen();
    ~PcscServiceFrozen();
    PcscServiceFrozen(const PcscServiceFrozen&) = delete;
    PcscServiceFrozen& operator=(const PcscServiceFrozen&) = delete;
};

class PcscServiceStopped {
  public:
    PcscServiceStopped();
    ~PcscServiceStopped();
    PcscServiceStopped(const PcscServiceStopped&) = delete;
    PcscServiceStopped& operator=(const PcscServiceStopped&) = delete;
};

// A virtual card on reader 0 or 1 of the rig, laid while the object lives.
class VirtualCard {
  public:
    struct Options {
        int reader = 0;
        std::string idm = "0123456789ABCDEF";  // hex; the answer to GET DATA before 90 00
        std::string atr = "felica";            // felica, other (MIFARE), short (14 bytes) or hex
        std::string getDataStatus;             // e.g. "6A81": answer GET DATA with this alone
    };

    VirtualCard(int reader, const std::string& idm);
    explicit VirtualCard(const Options& options);
    ~VirtualCard();
    VirtualCard(const VirtualCard&) = delete;
    VirtualCard& operator=(const VirtualCard&) = delete;

    // Takes the card away. With waitUntilNoticed, returns once pcscd reports the reader
    // empty; without, right after the card has left (pcscd may not know yet).
    void takeAway(bool waitUntilNoticed = true);
    bool isLaid() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }  // the card's process, while it is laid

  private:
    std::string readerName_;
    pid_t pid_ = 0;
};

}  // namespace tavomi::test
