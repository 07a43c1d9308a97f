// The program's card poller against the real pcscd of the PC/SC rig, with virtual cards
// on its two readers.
#include "card/card_poll.h"
#include "support/pcsc_rig_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace tavomi {
namespace {

using test::VirtualCard;

class RigTest : public test::PcscRigTest {
  protected:
    const std::string& reader(int n) const {
        return rig().readerNames[static_cast<std::size_t>(n)];
    }

    PcscCardPoller poller_;
};

VirtualCard::Options card(int reader, const std::string& idm, const std::string& atr = "felica",
                          const std::string& getDataStatus = "") {
    VirtualCard::Options options;
    options.reader = reader;
    options.idm = idm;
    options.atr = atr;
    options.getDataStatus = getDataStatus;
    return options;
}

struct RigCase {
    std::string name;
    std::vector<VirtualCard::Options> cards;
    std::optional<QString> cardId;
    int lastReaderTried;
};

class RigPollTest : public RigTest, public ::testing::WithParamInterface<RigCase> {};

TEST_P(RigPollTest, FindsTheFirstFelicaCard) {
    const RigCase& c = GetParam();
    std::vector<std::unique_ptr<VirtualCard>> laid;
    for (const VirtualCard::Options& options : c.cards) {
        laid.push_back(std::make_unique<VirtualCard>(options));
    }

    const PollResult result = poller_.poll();

    EXPECT_TRUE(result.readerListObtained);
    EXPECT_EQ(result.readerNames, rig().readerNames);
    EXPECT_EQ(result.lastReaderTried, reader(c.lastReaderTried));
    EXPECT_EQ(result.cardId, c.cardId);
}

INSTANTIATE_TEST_SUITE_P(
    Cards, RigPollTest,
    ::testing::Values(
        RigCase{"ReaderWithoutCard", {}, std::nullopt, 1},
        RigCase{"FelicaOnFirstReader", {card(0, "0123456789abcdef")}, "0123456789ABCDEF", 0},
        RigCase{"FelicaOnSecondReader", {card(1, "0A1B2C3D4E5F6071")}, "0A1B2C3D4E5F6071", 1},
        RigCase{"FelicaOnBothFirstWins",
                {card(0, "1111111111111111"), card(1, "2222222222222222")},
                "1111111111111111",
                0},
        RigCase{"NonFelicaCard", {card(0, "0123456789ABCDEF", "other")}, std::nullopt, 1},
        RigCase{"ShortAtrCard", {card(0, "0123456789ABCDEF", "short")}, std::nullopt, 1},
        RigCase{"NonFelicaFirstFelicaSecond",
                {card(0, "1111111111111111", "other"), card(1, "2222222222222222")},
                "2222222222222222",
                1},
        RigCase{"GetDataErrorStatusIsEmptyIdentifier",
                {card(0, "0123456789ABCDEF", "felica", "6A81")},
                "",
                0}),
    [](const auto& info) { return info.param.name; });

TEST_F(RigTest, CardTakenAwayBetweenTwoPolls) {
    VirtualCard laid(1, "0123456789ABCDEF");
    ASSERT_EQ(poller_.poll().cardId, QString("0123456789ABCDEF"));

    // The very next poll, before pcscd's own presence check has run.
    laid.takeAway(false);
    const PollResult result = poller_.poll();

    EXPECT_TRUE(result.readerListObtained);
    EXPECT_EQ(result.cardId, std::nullopt);
    EXPECT_EQ(result.lastReaderTried, reader(1));
}

TEST_F(RigTest, ServiceStoppedThenBackAgain) {
    {
        test::PcscServiceStopped stopped;
        const PollResult result = poller_.poll();
        EXPECT_FALSE(result.readerListObtained);
        EXPECT_TRUE(result.readerNames.empty());
        EXPECT_EQ(result.lastReaderTried, "");
        EXPECT_EQ(result.cardId, std::nullopt);
    }
    // A later poll finds the service again by itself.
    VirtualCard laid(0, "0123456789ABCDEF");
    const PollResult result = poller_.poll();
    EXPECT_TRUE(result.readerListObtained);
    EXPECT_EQ(result.cardId, QString("0123456789ABCDEF"));
}

// The virtual card must answer at once (TCP quick ACKs), or every poll with a card waits
// for delayed ACKs, ~40 ms per command.
TEST_F(RigTest, PollWithCardTakesWellUnderTheDelayedAckTime) {
    VirtualCard laid(0, "0123456789ABCDEF");
    std::vector<double> milliseconds;
    for (int i = 0; i < 21; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const PollResult result = poller_.poll();
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        ASSERT_EQ(result.cardId, QString("0123456789ABCDEF"));
    }
    std::nth_element(milliseconds.begin(), milliseconds.begin() + 10, milliseconds.end());
    EXPECT_LT(milliseconds[10], 10.0) << "median poll time in ms";
}

}  // namespace
}  // namespace tavomi
