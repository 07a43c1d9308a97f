// From card to journal through the real main screen, the real pcscd of the PC/SC
// rig and a virtual FeliCa card: lay the card, record, take the card away.
#include "card/card_poll.h"
#include "main_screen/main_screen.h"
#include "punch/screens_fixture.h"
#include "support/cardholders.h"
#include "support/modal_helper.h"
#include "support/pcsc_rig_fixture.h"
#include "support/wait.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace tavomi::test {
namespace {

const QString& kCardId = kHanakoCard;

// The program's own poller, counted, so the test can see the main screen poll again.
class CountingPoller : public CardPoller {
  public:
    PollResult poll() override {
        ++polls;
        return real_.poll();
    }
    int polls = 0;

  private:
    PcscCardPoller real_;
};

class PunchEndToEnd : public PcscRigTest {
  protected:
    void SetUp() override {
        PcscRigTest::SetUp();
        folder_.writeLines(kCardholderListFile,
                           {kCardholderHeader, u"FFFFFFFFFFFFFFFF,佐藤一郎,教頭"_s,
                            kCardId + u",山田花子,教諭"_s});
        punch_.setScreens(&absence_, &confirm_);
        absence_.setConfirmBox(&confirm_);
        // What the shell wires: hand the name over and show the punch screen modally.
        main_.setPunchScreen([this](const QString& who) { punch_.openFor(who); });
    }

    // Lays the card, lets the main screen find it, runs the steps on the screens
    // that come up, and waits until the main screen polls again afterwards.
    void punchWithCard(const std::vector<ModalAnswerer::Action>& steps) {
        card_ = std::make_unique<VirtualCard>(0, kCardId.toStdString());
        for (const auto& step : steps) {
            answerer_.then(step);
        }
        main_.show();
        ASSERT_TRUE(waitUntil(
            [&] {
                return answerer_.count() >= static_cast<int>(steps.size()) && !punch_.isVisible();
            },
            20000));
        const int pollsAtClose = poller_.polls;
        EXPECT_TRUE(waitUntil([&] { return poller_.polls >= pollsAtClose + 2; }, 5000))
            << "the main screen polls again";
        EXPECT_TRUE(main_.findChild<QTimer*>("pollTimer")->isActive());
        EXPECT_EQ(answerer_.count(), static_cast<int>(steps.size())) << "no further box";
    }

    // The message after a record: take the card away, then press OK.
    ModalAnswerer::Action takeCardThenOk() {
        return [this](QWidget* box) {
            card_->takeAway();
            ModalAnswerer::pressOk(box);
        };
    }

    DataFolder folder_;
    CountingPoller poller_;
    ConfirmBox confirm_;
    JournalWriter writer_{folder_.appFolder(), folder_.appFolder() / "spool",
                          [] { return QDateTime::currentDateTime(); }};
    PunchScreen punch_{folder_.appFolder(), writer_,
                       [] { return QDateTime(QDate(2019, 8, 28), QTime(7, 45, 30)); }, poller_};
    AbsenceScreen absence_{folder_.appFolder(), writer_,
                           [] { return QDateTime(QDate(2019, 8, 28), QTime(10, 5, 0)); }};
    MainScreen main_{folder_.appFolder(), poller_};
    ModalAnswerer answerer_;
    std::unique_ptr<VirtualCard> card_;
};

TEST_F(PunchEndToEnd, ClockInWithAnnualLeave) {
    const QByteArray before = folder_.readBytes(kJournalFile);
    punchWithCard({
        [this](QWidget*) {
            later([this] {
                punch_.findChild<QCheckBox*>("specialNoteBox33")->setChecked(true);  // 年休
                punch_.findChild<QPushButton*>("clockInButton")->click();            // 出勤
            });
        },
        takeCardThenOk(),
    });
    EXPECT_EQ(folder_.readBytes(kJournalFile),
              before + DataFolder::cp932Lines(
                           {u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由年休"_s}));
    ASSERT_GE(answerer_.count(), 2);
    EXPECT_EQ(answerer_.texts()[0], u"山田花子さんの勤務時間管理です"_s);
    EXPECT_EQ(answerer_.texts()[1],
              u"山田花子 さんの出勤時刻を 2019/08/28 07:45 で記録します\n\n"
              u"カードを取ったら、OKボタンを押してください"_s);
}

TEST_F(PunchEndToEnd, ThreeHourAbsenceWithTwoReasons) {
    const QByteArray before = folder_.readBytes(kJournalFile);
    punchWithCard({
        [this](QWidget*) {
            later([this] { punch_.findChild<QPushButton*>("absenceButton")->click(); });  // 中抜け
        },
        [this](QWidget*) {
            auto* combo = absence_.findChild<QComboBox*>("hoursBox");
            for (int i = 0; i < 3; ++i) {
                QTest::keyClick(combo, Qt::Key_Down);  // ３時間
            }
            absence_.findChild<QCheckBox*>("reasonBox25")->setChecked(true);  // 年休
            absence_.findChild<QCheckBox*>("reasonBox28")->setChecked(true);  // 介護
            later([this] { absence_.findChild<QPushButton*>("recordButton")->click(); });
        },
        takeCardThenOk(),
    });
    EXPECT_EQ(folder_.readBytes(kJournalFile),
              before + DataFolder::cp932Lines(
                           {u"中抜,山田花子,2019/08/28,03:00,IC記録,詳細なし,事由年休介護"_s}));
    ASSERT_GE(answerer_.count(), 3);
    EXPECT_EQ(answerer_.texts()[2],
              u"山田花子 さんの中抜け時間を 03:00 で記録します\n\n"
              u"カードを取ったら、OKボタンを押してください"_s);
    EXPECT_FALSE(absence_.isVisible());
}

}  // namespace
}  // namespace tavomi::test
