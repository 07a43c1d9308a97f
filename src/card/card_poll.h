#pragma once

#include "card/card_poller.h"
#include "card/pcsc_api.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavomi {

// The identifier text of a GET DATA answer: every byte but the two status bytes, two
// upper-case hex digits each, no separator. Two bytes or fewer give "".
QString cardIdentifierFromAnswer(const std::vector<std::uint8_t>& answer);

// Splits a reader list (a multi-string): a NUL ends a name; a second NUL right after
// it (or the end of the buffer) ends the list. A name the buffer cuts off is dropped.
std::vector<std::string> splitReaderList(const std::vector<char>& list);

// The reader names in list order, asking for the list's size first so that no length is
// too long. Any result but success (no reader, no service, the list changed between the
// two calls) comes with no names.
struct ReaderListing {
    LONG result = SCARD_S_SUCCESS;
    std::vector<std::string> names;
};
ReaderListing listReaderNames(PcscApi& pcsc, SCARDCONTEXT context);

// Whether an ATR is the one a PC/SC reader builds for a FeliCa card (card-name code 00 3B).
bool isFelicaAtr(const std::vector<std::uint8_t>& atr);

// One card poll: a fresh context, every reader in list order, the first FeliCa card's
// identifier. Everything opened is closed again before it returns; failures are silent
// and only narrow the result.
PollResult pollCard(PcscApi& pcsc);

// The poller the program and the screens use: each poll() is one pollCard over pcsc-lite
// (or over the interface given, for tests).
class PcscCardPoller final : public CardPoller {
  public:
    PcscCardPoller() : pcsc_(lite_) {}
    explicit PcscCardPoller(PcscApi& pcsc) : pcsc_(pcsc) {}
    PcscCardPoller(const PcscCardPoller&) = delete;
    PcscCardPoller& operator=(const PcscCardPoller&) = delete;

    PollResult poll() override { return pollCard(pcsc_); }

  private:
    PcscLiteApi lite_;
    PcscApi& pcsc_;
};

}  // namespace tavomi
