#pragma once

#include "card/card_poller.h"

#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace tavomi {

struct CardOnReader {
    std::string reader;
    QString cardId;  // empty when the card answered without identifier bytes
};

struct CardWait {
    std::chrono::milliseconds timeout{0};  // 0: one poll
    std::chrono::milliseconds interval{200};
    // Waits between polls (the program sleeps; tests need not).
    std::function<void(std::chrono::milliseconds)> pause;
    // Told when the readers come or go: true when a reader list was obtained.
    std::function<void(bool readersSeen)> onReadersChanged;
};

// Polls with the time clock's card poll until a FeliCa card lies on a reader or the time
// is up (nullopt).
std::optional<CardOnReader> waitForCard(CardPoller& poller, const CardWait& wait);

}  // namespace tavomi
