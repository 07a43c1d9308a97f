// The main screen's tick, driven tick by tick without a window.
#include "main_screen/polling_cycle.h"
#include "files/data_folder.h"
#include "support/cardholders.h"
#include "support/data_folder_fixture.h"
#include "support/scripted_poller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace tavomi {
namespace {

using namespace Qt::StringLiterals;

using test::ScriptedPoller;
using Outcome = PollingCycle::Outcome;

using test::kCardholderHeader;
using test::kHanako;
using test::kHanakoCard;

class PollingCycleTest : public ::testing::Test {
  protected:
    PollingCycleTest() { folder.writeLines(kCardholderListFile, test::cardholderListWithHanako()); }

    test::DataFolder folder;
    ScriptedPoller poller;
    PollingCycle cycle{folder.appFolder(), poller};
};

// The display lags one tick behind the reader; the reader line never does.
TEST_F(PollingCycleTest, DisplayFollowsThePreviousTicksReaderList) {
    struct Step {
        bool reader;
        StatusDisplay display;
        bool changed;
    };
    using enum StatusDisplay;
    const std::vector<Step> steps = {
        {true, CheckingReader, false},  // start-up state; the reader is only seen now
        {true, Ready, true},            // the tick after the one that found it
        {false, Ready, false},          // unplugged: the display still trusts the last tick
        {false, CheckingReader, true}, {true, CheckingReader, false},
        {false, Ready, true},          {true, CheckingReader, true},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "tick " << i + 1);
        poller.script.push_back(steps[i].reader ? ScriptedPoller::reader("Reader A")
                                                : ScriptedPoller::noReader());
        const PollingCycle::Tick tick = cycle.tick();
        EXPECT_EQ(tick.outcome, Outcome::NoCard);
        EXPECT_EQ(cycle.display(), steps[i].display);
        EXPECT_EQ(tick.displayChanged, steps[i].changed);
        EXPECT_EQ(cycle.state().readerListSeen, steps[i].reader);
        EXPECT_EQ(cycle.state().readerName,
                  steps[i].reader ? QStringLiteral("Reader A") : QString());
    }
}

TEST_F(PollingCycleTest, RegisteredCardOnTheVeryFirstTick) {
    poller.steady = ScriptedPoller::card(kHanakoCard, "Reader B");
    const PollingCycle::Tick tick = cycle.tick();
    EXPECT_EQ(tick.outcome, Outcome::Registered);
    EXPECT_EQ(cycle.state().holderName, kHanako);
    EXPECT_EQ(cycle.state().cardId, kHanakoCard);
    EXPECT_EQ(cycle.state().readerName, QStringLiteral("Reader B"));
    EXPECT_TRUE(cycle.state().cardholdersLoaded);
    // The punch screen opens while the missing-reader display is still up.
    EXPECT_EQ(cycle.display(), StatusDisplay::CheckingReader);
    cycle.tick();
    EXPECT_EQ(cycle.display(), StatusDisplay::Ready);
}

TEST_F(PollingCycleTest, EachTickStartsWithoutTheLastTicksCardAndName) {
    poller.script = {ScriptedPoller::card(kHanakoCard), ScriptedPoller::reader(),
                     ScriptedPoller::card(QStringLiteral("0123456789abcdef"))};
    EXPECT_EQ(cycle.tick().outcome, Outcome::Registered);
    EXPECT_EQ(cycle.tick().outcome, Outcome::NoCard);
    EXPECT_EQ(cycle.state().cardId, QString());
    EXPECT_EQ(cycle.state().holderName, QString());
    // Identifiers compare exactly: lower-case digits are another card.
    EXPECT_EQ(cycle.tick().outcome, Outcome::NotRegistered);
    EXPECT_EQ(cycle.state().holderName, QString());
    EXPECT_FALSE(cycle.state().cardRegistered);
}

// A known card is decided on the list as loaded; the file is not read again for it.
TEST_F(PollingCycleTest, AKnownCardIsDecidedOnTheLoadedList) {
    poller.steady = ScriptedPoller::card(kHanakoCard);
    EXPECT_EQ(cycle.tick().outcome, Outcome::Registered);
    folder.writeLines(kCardholderListFile, {kCardholderHeader});
    EXPECT_EQ(cycle.tick().outcome, Outcome::Registered);
    folder.remove(kCardholderListFile);
    EXPECT_EQ(cycle.tick().outcome, Outcome::Registered);
}

// An unknown card reads the list again when the file changed since it was loaded, so a
// card registered meanwhile works; a read that fails keeps the list already loaded.
TEST_F(PollingCycleTest, AnUnknownCardRereadsAChangedList) {
    const QString stranger = test::kStrangerCard + u',' + u"佐藤　次郎"_s;
    poller.script = {ScriptedPoller::card(test::kStrangerCard)};
    EXPECT_EQ(cycle.tick().outcome, Outcome::NotRegistered);

    // Registered since: the next laying finds the holder.
    folder.writeLines(kCardholderListFile,
                      test::cardholderListWithHanako() + QStringList{stranger});
    poller.script = {ScriptedPoller::card(test::kStrangerCard), ScriptedPoller::card(kHanakoCard)};
    EXPECT_EQ(cycle.tick().outcome, Outcome::Registered);
    EXPECT_EQ(cycle.state().holderName, u"佐藤　次郎"_s);
    EXPECT_EQ(cycle.tick().outcome, Outcome::Registered);

    // Changed, but the card is still not in it: the message as before.
    const QString other = QStringLiteral("1111222233334444");
    folder.writeLines(kCardholderListFile, test::cardholderListWithHanako());
    poller.script = {ScriptedPoller::card(other)};
    EXPECT_EQ(cycle.tick().outcome, Outcome::NotRegistered);

    // Unreadable now (a folder in its place): decided on the list loaded last.
    folder.remove(kCardholderListFile);
    std::filesystem::create_directory(folder.file(kCardholderListFile));
    poller.script = {ScriptedPoller::card(other), ScriptedPoller::card(kHanakoCard)};
    const PollingCycle::Tick unknown = cycle.tick();
    EXPECT_EQ(unknown.outcome, Outcome::NotRegistered);
    EXPECT_FALSE(unknown.errorToReport.has_value());
    EXPECT_EQ(cycle.tick().outcome, Outcome::Registered);
}

// A list without an entry line reports every card, even one written on the header line.
TEST_F(PollingCycleTest, AListOfFewerThanTwoLinesRegistersNoCard) {
    const std::vector<QByteArray> lists = {
        QByteArray(), test::DataFolder::cp932Lines({kHanakoCard + u',' + kHanako}),
        QByteArray("0123456789ABCDEF,Hanako"),  // one line without a line break
    };
    for (const QByteArray& bytes : lists) {
        SCOPED_TRACE(bytes.toStdString());
        folder.writeBytes(kCardholderListFile, bytes);
        ScriptedPoller cardOnReader;
        cardOnReader.steady = ScriptedPoller::card(kHanakoCard);
        PollingCycle fresh(folder.appFolder(), cardOnReader);
        EXPECT_EQ(fresh.tick().outcome, Outcome::NotRegistered);
        EXPECT_FALSE(fresh.state().listHasEntries);
        EXPECT_TRUE(fresh.state().cardholdersLoaded);  // loaded, and never read again
    }
}

TEST_F(PollingCycleTest, AnUnreadableListEndsTheTickAndIsTriedAgain) {
    folder.remove(kCardholderListFile);
    poller.steady = ScriptedPoller::card(kHanakoCard);

    const PollingCycle::Tick failed = cycle.tick();
    EXPECT_EQ(failed.outcome, Outcome::LoadFailed);
    ASSERT_TRUE(failed.errorToReport.has_value());
    EXPECT_NE(failed.errorToReport->find(kCardholderListFile), std::string::npos);
    EXPECT_EQ(poller.calls, 0);  // the card is not read in a tick whose load failed
    EXPECT_FALSE(cycle.state().cardholdersLoaded);

    folder.writeLines(kCardholderListFile, {kCardholderHeader, kHanakoCard + u',' + kHanako});
    EXPECT_EQ(cycle.tick().outcome, Outcome::Registered);
    EXPECT_EQ(poller.calls, 1);
}

// The user hears of an unreadable list at once, then about once a minute while it
// stays so, and at once again when the error changes.
TEST_F(PollingCycleTest, LoadErrorsAreReportedWithoutFlooding) {
    const auto listFile = folder.file(kCardholderListFile);
    folder.remove(kCardholderListFile);
    const int repeat = PollingCycle::kLoadErrorRepeatTicks;

    std::vector<int> reportedAt;
    for (int t = 1; t <= 2 * repeat + 5; ++t) {
        if (cycle.tick().errorToReport) {
            reportedAt.push_back(t);
        }
    }
    EXPECT_EQ(reportedAt, (std::vector<int>{1, 1 + repeat, 1 + 2 * repeat}));

    // A folder in the file's place fails differently ("Is a directory"): told at once.
    std::filesystem::create_directory(listFile);
    const PollingCycle::Tick changed = cycle.tick();
    ASSERT_TRUE(changed.errorToReport.has_value());
    EXPECT_FALSE(cycle.tick().errorToReport.has_value());
    EXPECT_EQ(poller.calls, 0);
}

}  // namespace
}  // namespace tavomi
