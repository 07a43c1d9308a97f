// Unit5: the polling cycle of the main screen.
#include "main_screen/polling_cycle.h"

#include "card/card_poller.h"

#include <exception>
#include <utility>

namespace tavomi {

PollingCycle::PollingCycle(std::filesystem::path appFolder, CardPoller& poller)
    : appFolder_(std::move(appFolder)), poller_(poller) {}

PollingCycle::Tick PollingCycle::tick() {
    Tick result;
    state_.Label8.clear();
    state_.Edit3.clear();
    // The display follows the previous tick's poll, so it lags one tick behind.
    result.displayChanged = stepDisplay();

    if (state_.flaga1 == 0) {
        if (std::optional<std::string> error = Button10Click()) {
            result.outcome = Outcome::LoadFailed;
            if (*error != lastReportedError_ || ticksSinceReport_ >= kLoadErrorRepeatTicks) {
                lastReportedError_ = *error;
                ticksSinceReport_ = 0;
                result.errorToReport = std::move(error);
            }
            ++ticksSinceReport_;
            return result;
        }
        state_.flaga1 = 1;
    }

    state_.flag1 = 0;
    state_.flag4 = 0;
    state_.who_is_it.clear();

    const PollResult poll = poller_.poll();
    state_.flag1 = poll.readerListObtained ? 1 : 0;
    state_.Label8 = QString::fromStdString(poll.lastReaderTried);
    if (!poll.cardId) {
        return result;
    }

    state_.Edit3 = *poll.cardId;
    Button11Click();
    result.outcome =
        state_.flag3 == 1 && state_.flag4 == 1 ? Outcome::Registered : Outcome::NotRegistered;
    return result;
}

bool PollingCycle::stepDisplay() {
    if (state_.flag1 == 0 && state_.flagi1 == 2) {
        state_.flagi1 = 1;
        return true;
    }
    if (state_.flag1 == 1 && state_.flagi1 == 1) {
        state_.flagi1 = 2;
        return true;
    }
    return false;
}

std::optional<std::string> PollingCycle::Button10Click() {
    state_.flag3 = 0;
    state_.flag4 = 0;
    try {
        state_.flag3 = StringGrid1_.load(appFolder_) ? 1 : 0;
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

void PollingCycle::Button11Click() {
    if (std::optional<QString> name = StringGrid1_.lookup(state_.Edit3)) {
        state_.flag4 = 1;
        state_.who_is_it = *name;
    }
}

}  // namespace tavomi
