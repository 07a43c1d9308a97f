#pragma once
// Unit5's polling cycle: what one tick of the main screen's timer decides, without
// widgets. The screen calls tick() and then shows what it says.

#include "files/cardholder_list.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <string>

namespace tavomi {

class CardPoller;

enum class StatusDisplay {
    MissingReader = 1,  // "リーダーの接続確認中", the startled man
    Ready = 2,          // "カードを置いてください", the man at the time clock
};

// Unit5's module variables, with the hidden fields the cycle fills.
struct PollingState {
    int flag1 = 0;   // 1 when the latest tick's poll obtained the reader list
    int flagi1 = 1;  // the status display that is up (StatusDisplay)
    int flaga1 = 0;  // 1 once the cardholder list has been loaded in this run
    int flag3 = 0;   // 1 when the loaded list has at least two lines
    int flag4 = 0;   // 1 when the lookup found Edit3
    QString who_is_it;
    QString Edit3;   // the card identifier of the tick
    QString Label8;  // the reader the tick's poll tried last
};

class PollingCycle {
  public:
    // An unreadable cardholder list is retried on every tick; the user is told at
    // once, again when the error's text changes, and otherwise only every this many
    // failed ticks (about a minute at 500 ms), so one box never chases the next.
    static constexpr int kLoadErrorRepeatTicks = 120;

    enum class Outcome {
        NoCard,         // the tick ended without a card (or without a reader)
        LoadFailed,     // the cardholder list could not be read; the tick ended there
        Registered,     // a listed card: hand state().who_is_it over to the punch screen
        NotRegistered,  // a card that the list does not hold (or a list without entries)
    };

    struct Tick {
        Outcome outcome = Outcome::NoCard;
        bool displayChanged = false;
        // LoadFailed only: the text to report now; empty while the report is held back.
        std::optional<std::string> errorToReport;
    };

    PollingCycle(std::filesystem::path appFolder, CardPoller& poller);

    // One tick (MainScreen.Button1Click without its boxes).
    Tick tick();

    const PollingState& state() const { return state_; }
    StatusDisplay display() const { return static_cast<StatusDisplay>(state_.flagi1); }

  private:
    bool stepDisplay();
    std::optional<std::string> Button10Click();  // load the list; the error's text on failure
    void Button11Click();                        // look Edit3 up

    std::filesystem::path appFolder_;
    CardPoller& poller_;
    CardholderTable StringGrid1_;  // the cardholder table, loaded once per run
    PollingState state_;
    std::string lastReportedError_;
    int ticksSinceReport_ = 0;
};

}  // namespace tavomi
