// The main screen with the program's own card poll and reader watch, against the real
// pcscd of the PC/SC rig. The timer is slowed right down, so only the watch can be what
// opens the punch screen.
#include "card/card_poll.h"
#include "card/reader_watch.h"
#include "files/data_folder.h"
#include "main_screen/main_screen.h"
#include "support/cardholders.h"
#include "support/data_folder_fixture.h"
#include "support/pcsc_rig_fixture.h"
#include "support/wait.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tavomi {
namespace {

using test::VirtualCard;
using test::waitUntil;

class CardEventsRigTest : public test::PcscRigTest {
  protected:
    void SetUp() override {
        PcscRigTest::SetUp();
        folder_.writeLines(kCardholderListFile, test::cardholderListWithHanako());
        screen_ = std::make_unique<MainScreen>(folder_.appFolder(), poller_);
        screen_->setPunchScreen([this](const QString& who) { handedOver_.push_back(who); });
        screen_->setCardEvents(std::make_unique<PcscReaderWatch>());
        screen_->show();
        auto* timer = screen_->findChild<QTimer*>("pollTimer");
        ASSERT_TRUE(timer->isActive());
        timer->start(kHour);
    }

    static constexpr int kHour = 3600 * 1000;
    // A virtual card reaches pcscd in about a second; a loaded machine may take several.
    static constexpr int kCardWaitMs = 20000;
    test::DataFolder folder_;
    PcscCardPoller poller_;
    std::unique_ptr<MainScreen> screen_;
    std::vector<QString> handedOver_;
};

TEST_F(CardEventsRigTest, ALaidCardOpensThePunchScreenLongBeforeTheNextTick) {
    VirtualCard card(0, test::kHanakoCard.toStdString());
    ASSERT_TRUE(waitUntil([&] { return !handedOver_.empty(); }, kCardWaitMs));
    EXPECT_EQ(handedOver_, std::vector<QString>{test::kHanako});
}

TEST_F(CardEventsRigTest, AfterTheServiceComesBackACardStillOpensIt) {
    { const test::PcscServiceStopped stopped; }
    VirtualCard card(1, test::kHanakoCard.toStdString());
    ASSERT_TRUE(waitUntil([&] { return !handedOver_.empty(); }, kCardWaitMs));
    EXPECT_EQ(handedOver_, std::vector<QString>{test::kHanako});
}

// The running screen reads the changed list for a card it does not know.
TEST_F(CardEventsRigTest, ACardRegisteredWhileRunningOpensThePunchScreen) {
    {
        VirtualCard hanako(0, test::kHanakoCard.toStdString());
        ASSERT_TRUE(waitUntil([&] { return handedOver_.size() == 1; }, kCardWaitMs));
    }
    const QString newcomer = QStringLiteral("佐藤　次郎");
    // Replaced whole, as an editor saves it: a tick that reads a half-written list would
    // answer the card as unregistered.
    folder_.writeLines(
        "associate_with_card.txt.new",
        test::cardholderListWithHanako() + QStringList{test::kStrangerCard + u',' + newcomer});
    std::filesystem::rename(folder_.file("associate_with_card.txt.new"),
                            folder_.file(kCardholderListFile));
    VirtualCard card(1, test::kStrangerCard.toStdString());
    ASSERT_TRUE(waitUntil([&] { return handedOver_.size() == 2; }, kCardWaitMs));
    EXPECT_EQ(handedOver_.back(), newcomer);
}

}  // namespace
}  // namespace tavomi
