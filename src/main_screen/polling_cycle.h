#pragma once
// What one tick of the main screen's timer decides, without widgets. The screen calls
// tick() and then shows what it says.

#include "files/cardholder_list.h"
#include "files/file_stamp.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <string>

namespace tavomi {

class CardPoller;

// The main screen's status picture and text.
enum class StatusDisplay {
    CheckingReader,  // "リーダーの接続確認中", the startled man
    Ready,           // "カードを置いてください", the man at the time clock
};

// What the cycle knows between ticks, and what the latest tick found.
struct PollingState {
    bool readerListSeen = false;  // the latest tick's poll obtained the reader list
    StatusDisplay display = StatusDisplay::CheckingReader;
    bool cardholdersLoaded = false;  // read on the first tick that can, and again for an
                                     // unknown card when the file has changed since
    bool listHasEntries = false;     // the loaded list has at least one line past its header
    bool cardRegistered = false;     // the latest tick's card is in the list
    QString holderName;              // its holder, when registered
    QString cardId;                  // the card identifier of the tick
    QString readerName;              // the reader the tick's poll tried last
    int listReads = 0;               // how often the cardholder list was read whole
};

class PollingCycle {
  public:
    // An unreadable cardholder list is retried on every tick; the user is told at
    // once, again when the error's text changes, and otherwise only every this many
    // failed ticks (about a minute of 500 ms ticks), so one box never chases the next.
    static constexpr int kLoadErrorRepeatTicks = 120;

    enum class Outcome {
        NoCard,         // the tick ended without a card (or without a reader)
        LoadFailed,     // the cardholder list could not be read; the tick ended there
        Registered,     // a listed card: hand state().holderName over to the punch screen
        NotRegistered,  // a card that the list does not hold (or a list without entries)
    };

    struct Tick {
        Outcome outcome = Outcome::NoCard;
        bool displayChanged = false;
        // LoadFailed only: the text to report now; empty while the report is held back.
        std::optional<std::string> errorToReport;
    };

    PollingCycle(std::filesystem::path appFolder, CardPoller& poller);

    // One tick: the display step, the list's first load, the card poll and the lookup.
    Tick tick();

    const PollingState& state() const { return state_; }
    StatusDisplay display() const { return state_.display; }

  private:
    bool followReaderState();
    std::optional<std::string> loadCardholders();  // the error's text on failure
    void lookUpCard();
    void reloadIfListChanged();
    FileStamp listStamp() const;

    std::filesystem::path appFolder_;
    CardPoller& poller_;
    CardholderTable cardholders_;
    FileStamp loadedStamp_;  // taken before the read, so an edit during it is seen next time
    PollingState state_;
    std::string lastReportedError_;
    int ticksSinceReport_ = 0;
};

}  // namespace tavomi
