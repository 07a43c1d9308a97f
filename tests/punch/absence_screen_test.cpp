// The mid-day absence screen, opened from the punch screen's 中抜け button.
#include "punch/screens_fixture.h"

#include "support/modal_helper.h"

#include <QFrame>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi::test {
namespace {

TEST(AbsenceScreen, OnlyAChosenLengthEnablesRecording) {
    Screens s;
    s.absence.show();
    auto* combo = s.find<QComboBox>("hoursBox");
    EXPECT_FALSE(combo->isEditable());
    ASSERT_EQ(combo->count(), 9);
    const char16_t* entries[] = {u"中抜け時間は？", u"１時間", u"２時間", u"３時間", u"４時間",
                                 u"５時間",         u"６時間", u"７時間", u"８時間"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(combo->itemText(i), QString::fromUtf16(entries[i]));
    }
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_FALSE(s.absenceRecordButton()->isEnabled());

    for (int entry : {1, 8, 0, 3, 0, 5}) {
        s.chooseHours(entry);
        EXPECT_EQ(s.absenceRecordButton()->isEnabled(), entry >= 1) << "entry " << entry;
    }

    // Selecting by code is no choice of the user's.
    s.absence.hide();
    s.absence.show();
    combo->setCurrentIndex(4);
    EXPECT_FALSE(s.absenceRecordButton()->isEnabled());
}

TEST(AbsenceScreen, CloseBoxRecordsNothingAndTheNextShowingStartsAfresh) {
    Screens s;
    const QByteArray before = s.journal();
    s.open();
    s.apply({33});
    ModalAnswerer answerer;
    answerer.then([&](QWidget* box) {
        s.chooseHours(3);
        s.absenceBox(25)->setChecked(true);
        s.absenceBox(28)->setChecked(true);
        box->close();
    });
    s.button("absenceButton")->click();

    EXPECT_EQ(s.journal(), before);
    EXPECT_EQ(answerer.count(), 1);  // the absence screen itself, no message
    EXPECT_EQ(s.poller.calls, 0);
    EXPECT_TRUE(s.punch.isVisible());
    EXPECT_TRUE(s.box(33)->isChecked());  // the punch screen stays as it was
    EXPECT_EQ(s.button("clockInButton")->geometry(), QRect(301, 46, 395, 88));

    bool checked = false;
    answerer.then([&](QWidget* box) {
        EXPECT_EQ(s.find<QComboBox>("hoursBox")->currentIndex(), 0);
        EXPECT_FALSE(s.absenceRecordButton()->isEnabled());
        for (int n = 24; n <= 32; ++n) {
            EXPECT_FALSE(s.absenceBox(n)->isChecked()) << n;
        }
        checked = true;
        box->close();
    });
    s.button("absenceButton")->click();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(s.punch.isVisible());
}

// Enter presses only a focused button, as on the punch screen: a teacher who picks
// the hours or ticks a reason and presses Enter has recorded nothing yet. A key held
// from before the screen came up presses nothing either.
TEST(AbsenceScreen, EnterPressesOnlyTheFocusedButton) {
    struct Row {
        const char* label;
        const char* target;
        bool held;
        bool records;
    };
    const Row table[] = {
        {"hours list", "hoursBox", false, false},
        {"reason box", "reasonBox26", false, false},
        {"focused record button", "recordButton", false, true},
        {"record button, Enter held from before", "recordButton", true, false},
    };
    for (const Row& row : table) {
        Screens s;
        const QByteArray before = s.journal();
        s.open();
        ModalAnswerer answerer;
        bool stillUp = false;
        answerer.then([&](QWidget* box) {
            s.chooseHours(3);
            s.absenceBox(26)->setChecked(true);
            later([&s, &row, &stillUp, box] {
                QWidget* target = s.absence.findChild<QWidget*>(row.target);
                target->setFocus();
                if (row.held) {
                    holdKey(target, Qt::Key_Return);
                } else {
                    QTest::keyClick(target, Qt::Key_Return);
                }
                stillUp = box->isVisible();
                box->close();
            });
        });
        s.button("absenceButton")->click();

        const QByteArray added =
            row.records ? DataFolder::cp932Lines(
                              {u"中抜,山田花子,2019/08/28,03:00,IC記録,詳細なし,事由病休"_s})
                        : QByteArray();
        EXPECT_EQ(s.journal(), before + added) << row.label;
        EXPECT_EQ(stillUp, !row.records) << row.label;
    }
}

struct AbsenceCase {
    const char* label;
    int entry;
    std::vector<int> reasons;
    std::vector<int> punchSteps;  // ticks on the punch screen before 中抜け
    const char16_t* line;
    const char16_t* who = u"山田花子";  // the holder handed to the punch screen

    friend void PrintTo(const AbsenceCase& c, std::ostream* os) { *os << c.label; }
};

class AbsenceRecord : public ::testing::TestWithParam<AbsenceCase> {};

TEST_P(AbsenceRecord, WritesTheLengthAndClosesBothScreens) {
    const AbsenceCase& c = GetParam();
    Screens s;
    const QByteArray before = s.journal();
    const QString who = QString::fromUtf16(c.who);
    s.open(who);
    s.apply(c.punchSteps);

    ModalAnswerer answerer;
    answerer.then([&](QWidget*) {
        s.chooseHours(c.entry);
        for (int n : c.reasons) {
            s.absenceBox(n)->setChecked(true);
        }
        // The date is the one at the press, not at the opening.
        s.now = QDateTime(QDate(2019, 8, 29), QTime(0, 0, 5));
        later([&s] { s.absenceRecordButton()->click(); });
    });
    s.button("absenceButton")->click();

    EXPECT_EQ(s.journal(), before + DataFolder::cp932Lines({QString::fromUtf16(c.line)}));
    const QString length = QStringLiteral("0%1:00").arg(c.entry);
    EXPECT_EQ(
        answerer.texts(),
        (std::vector<QString>{
            QString(), who + u" さんの中抜け時間を "_s + length +
                           u" で記録します\n\nカードを取ったら、OKボタンを押してください"_s}));
    EXPECT_FALSE(s.absence.isVisible());
    EXPECT_FALSE(s.punch.isVisible());
    EXPECT_FALSE(s.lockPresent());
    EXPECT_EQ(s.poller.calls, 1);  // the punch screen's closing
}

INSTANTIATE_TEST_SUITE_P(
    Table, AbsenceRecord,
    ::testing::Values(AbsenceCase{"ThreeHoursTwoReasons",
                                  3,
                                  {28, 25},
                                  {},
                                  u"中抜,山田花子,2019/08/29,03:00,IC記録,詳細なし,事由年休介護"},
                      AbsenceCase{"OneHourNoReason",
                                  1,
                                  {},
                                  {},
                                  u"中抜,山田花子,2019/08/29,01:00,IC記録,詳細なし,事由なし"},
                      AbsenceCase{"EightHoursEveryReason",
                                  8,
                                  {32, 31, 30, 29, 28, 27, 26, 25, 24},
                                  {},
                                  u"中抜,山田花子,2019/08/29,08:00,IC記録,詳細なし,"
                                  u"事由割振年休病休特休介護組合職専免育短その他"},
                      // The punch screen's notes and boxes never reach an absence record.
                      AbsenceCase{"PunchScreenTicksIgnored",
                                  2,
                                  {24},
                                  {33, 34, 35},
                                  u"中抜,山田花子,2019/08/29,02:00,IC記録,詳細なし,事由割振"},
                      // The record names whoever the punch screen was opened for.
                      AbsenceCase{"AnotherHolder",
                                  5,
                                  {},
                                  {},
                                  u"中抜,佐藤一郎,2019/08/29,05:00,IC記録,詳細なし,事由なし",
                                  u"佐藤一郎"}),
    [](const auto& info) { return std::string(info.param.label); });

// Closing from the absence screen runs the punch screen's own closing: a card
// still on the reader is asked for before anything goes away.
TEST(AbsenceScreen, PunchScreenClosingWaitsForTheCard) {
    Screens s;
    s.poller.script = {ScriptedPoller::card("0123456789ABCDEF", "Reader 0")};
    s.open();
    ModalAnswerer answerer;
    answerer.then([&](QWidget*) {
        s.chooseHours(4);
        later([&s] { s.absenceRecordButton()->click(); });
    });
    answerer.then(&ModalAnswerer::pressOk);  // the record's message
    bool bothUp = false;
    answerer.then([&](QWidget* box) {
        bothUp = s.punch.isVisible() && s.absence.isVisible();
        ModalAnswerer::pressOk(box);
    });
    s.button("absenceButton")->click();

    ASSERT_EQ(answerer.count(), 3);
    EXPECT_EQ(answerer.texts()[2], u"カードを取って、OKボタンを押してください"_s);
    EXPECT_TRUE(bothUp);
    EXPECT_EQ(s.poller.calls, 2);
    EXPECT_FALSE(s.punch.isVisible());
    EXPECT_FALSE(s.absence.isVisible());
}

}  // namespace
}  // namespace tavomi::test
