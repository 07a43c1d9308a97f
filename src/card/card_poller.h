#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace tavomi {

// What one card poll found (one pass over all PC/SC readers).
struct PollResult {
    bool readerListObtained = false;
    std::vector<std::string> readerNames;
    std::string lastReaderTried;    // empty when no reader was tried
    std::optional<QString> cardId;  // present when a card was read; may be empty
};

// The seam the screens poll through: the program wires pcsc-lite, tests a script.
class CardPoller {
  public:
    virtual ~CardPoller() = default;
    virtual PollResult poll() = 0;
};

}  // namespace tavomi
