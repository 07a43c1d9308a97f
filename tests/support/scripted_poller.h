#pragma once

#include "card/card_poller.h"

#include <deque>
#include <string>

namespace tavomi::test {

// A card poll that answers from a script, then with `steady` for ever.
class ScriptedPoller : public CardPoller {
  public:
    PollResult poll() override {
        ++calls;
        if (script.empty()) {
            return steady;
        }
        PollResult next = script.front();
        script.pop_front();
        return next;
    }

    static PollResult noReader() { return {}; }

    static PollResult reader(const std::string& name = "Virtual PCD 00 00") {
        PollResult r;
        r.readerListObtained = true;
        r.readerNames = {name};
        r.lastReaderTried = name;
        return r;
    }

    static PollResult card(const QString& id, const std::string& readerName = "Virtual PCD 00 00") {
        PollResult r = reader(readerName);
        r.cardId = id;
        return r;
    }

    std::deque<PollResult> script;
    PollResult steady;
    int calls = 0;
};

}  // namespace tavomi::test
