#include "office/card_wait.h"

namespace tavomi {

std::optional<CardOnReader> waitForCard(CardPoller& poller, const CardWait& wait) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + wait.timeout;
    std::optional<bool> readersSeen;
    for (;;) {
        const PollResult result = poller.poll();
        if (result.cardId) {
            return CardOnReader{result.lastReaderTried, *result.cardId};
        }
        if (readersSeen != result.readerListObtained && wait.onReadersChanged) {
            wait.onReadersChanged(result.readerListObtained);
        }
        readersSeen = result.readerListObtained;
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        if (wait.pause) {
            wait.pause(wait.interval);
        }
    }
}

}  // namespace tavomi
