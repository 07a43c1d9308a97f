#include "main_screen/polling_cycle.h"

#include "card/card_poller.h"
#include "files/data_folder.h"

#include <exception>
#include <utility>

namespace tavomi {

PollingCycle::PollingCycle(std::filesystem::path appFolder, CardPoller& poller)
    : appFolder_(std::move(appFolder)), poller_(poller) {}

PollingCycle::Tick PollingCycle::tick() {
    Tick result;
    state_.readerName.clear();
    state_.cardId.clear();
    // The display follows the previous tick's poll, so it lags one tick behind.
    result.displayChanged = followReaderState();

    if (!state_.cardholdersLoaded) {
        if (std::optional<std::string> error = loadCardholders()) {
            result.outcome = Outcome::LoadFailed;
            if (*error != lastReportedError_ || ticksSinceReport_ >= kLoadErrorRepeatTicks) {
                lastReportedError_ = *error;
                ticksSinceReport_ = 0;
                result.errorToReport = std::move(error);
            }
            ++ticksSinceReport_;
            return result;
        }
        state_.cardholdersLoaded = true;
    }

    state_.readerListSeen = false;
    state_.cardRegistered = false;
    state_.holderName.clear();

    const PollResult poll = poller_.poll();
    state_.readerListSeen = poll.readerListObtained;
    state_.readerName = QString::fromStdString(poll.lastReaderTried);
    if (!poll.cardId) {
        return result;
    }

    state_.cardId = *poll.cardId;
    lookUpCard();
    if (!state_.cardRegistered) {
        // A card registered since the list was read works without a restart.
        reloadIfListChanged();
    }
    result.outcome = state_.listHasEntries && state_.cardRegistered ? Outcome::Registered
                                                                    : Outcome::NotRegistered;
    return result;
}

bool PollingCycle::followReaderState() {
    const StatusDisplay wanted =
        state_.readerListSeen ? StatusDisplay::Ready : StatusDisplay::CheckingReader;
    if (state_.display == wanted) {
        return false;
    }
    state_.display = wanted;
    return true;
}

std::optional<std::string> PollingCycle::loadCardholders() {
    state_.listHasEntries = false;
    state_.cardRegistered = false;
    try {
        loadedStamp_ = listStamp();
        state_.listHasEntries = cardholders_.load(appFolder_);
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    ++state_.listReads;
    return std::nullopt;
}

void PollingCycle::lookUpCard() {
    if (std::optional<QString> name = cardholders_.lookup(state_.cardId)) {
        state_.cardRegistered = true;
        state_.holderName = *name;
    }
}

void PollingCycle::reloadIfListChanged() {
    const FileStamp now = listStamp();
    if (now == loadedStamp_) {
        return;
    }
    // Read into a table of its own: when the new read fails, the card is decided on the
    // list already loaded, and the changed file is tried again for the next unknown card.
    CardholderTable reloaded;
    bool hasEntries = false;
    try {
        hasEntries = reloaded.load(appFolder_);
    } catch (const std::exception&) {
        return;
    }
    cardholders_ = std::move(reloaded);
    loadedStamp_ = now;
    ++state_.listReads;
    state_.listHasEntries = hasEntries;
    lookUpCard();
}

FileStamp PollingCycle::listStamp() const {
    return fileStampOf(dataFilePath(appFolder_, kCardholderListFile));
}

}  // namespace tavomi
