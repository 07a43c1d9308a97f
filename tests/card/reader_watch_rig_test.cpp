// The reader watch against the real pcscd of the PC/SC rig: it reports cards laid and
// taken away, not the time clock's own polls, and outlives a restart of the service.
#include "card/card_poll.h"
#include "card/reader_watch.h"
#include "support/pcsc_rig_fixture.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace tavomi {
namespace {

using test::VirtualCard;
using test::waitUntil;

class ReaderWatchRigTest : public test::PcscRigTest {
  protected:
    void SetUp() override {
        PcscRigTest::SetUp();
        watch_.start([this] { ++changes_; });
    }

    // Waits until the watch has reported more than `seen` changes.
    bool changedSince(int seen) {
        return waitUntil([&] { return changes_.load() > seen; });
    }

    std::atomic<int> changes_ = 0;
    PcscReaderWatch watch_;
};

TEST_F(ReaderWatchRigTest, ReportsACardLaidAndTakenAwayButNotThePollsBetween) {
    VirtualCard card(1, "0123456789ABCDEF");
    ASSERT_TRUE(changedSince(0));
    const int afterLaying = changes_.load();

    // The time clock's own polls connect to the card: that must not wake it again, or
    // every tick would cause the next.
    PcscCardPoller poller;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(poller.poll().cardId, QStringLiteral("0123456789ABCDEF"));
    }
    card.takeAway();
    ASSERT_TRUE(changedSince(afterLaying));
    watch_.stop();
    EXPECT_EQ(changes_.load(), afterLaying + 1);
}

TEST_F(ReaderWatchRigTest, WatchesOnAfterTheServiceRestarts) {
    { const test::PcscServiceStopped stopped; }
    // The readers came back with the service; then a card is laid.
    const int beforeCard = changes_.load();
    VirtualCard card(0, "0123456789ABCDEF");
    EXPECT_TRUE(changedSince(beforeCard));
}

TEST_F(ReaderWatchRigTest, StopsWhileTheServiceIsAway) {
    const test::PcscServiceStopped stopped;
    watch_.stop();  // returns: the retries wait in a way that a stop ends
    SUCCEED();
}

}  // namespace
}  // namespace tavomi
