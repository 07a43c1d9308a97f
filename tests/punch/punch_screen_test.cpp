// The punch screen driven as a teacher would: ticks, buttons, the confirmation
// box answered by the modal helper, the card poll scripted.
#include "punch/screens_fixture.h"

#include "spool/record_spool.h"
#include "support/modal_helper.h"
#include "support/wait.h"

#include <QFrame>
#include <QImage>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace tavomi::test {
namespace {

const QString kWho = u"山田花子"_s;
const QString kRemoveCard = u"カードを取って、OKボタンを押してください"_s;

QString punchShown(const char16_t* phrase) {
    return kWho + QString::fromUtf16(phrase) +
           u"2019/08/28 07:45 で記録します\n\nカードを取ったら、OKボタンを押してください"_s;
}

void expectAllUnticked(Screens& s) {
    for (int n = 1; n <= 35; ++n) {
        EXPECT_FALSE(s.box(n)->isChecked()) << "box " << n;
    }
}

void expectMainLayout(Screens& s) {
    EXPECT_EQ(s.button("clockInButton")->geometry(), QRect(301, 46, 395, 88));
    EXPECT_EQ(s.button("goOutButton")->geometry(), QRect(758, 106, 169, 56));
    EXPECT_FALSE(s.find<QFrame>("detailPanel")->isVisible());
    EXPECT_TRUE(s.find<QFrame>("specialNotePanel")->isVisible());
}

// ---- Recording a punch ------------------------------------------------------

struct PunchCase {
    const char* label;
    std::vector<int> steps;  // see Screens::apply
    const char* button;
    const char16_t* line;
    const char16_t* phrase;

    friend void PrintTo(const PunchCase& c, std::ostream* os) { *os << c.label; }
};

class PunchButtons : public ::testing::TestWithParam<PunchCase> {};

TEST_P(PunchButtons, WriteTheRecordAndShowTheMessage) {
    const PunchCase& c = GetParam();
    Screens s;
    const QByteArray before = s.journal();
    s.open();
    s.apply(c.steps);

    ModalAnswerer answerer;
    s.button(c.button)->click();

    EXPECT_EQ(s.journal(), before + DataFolder::cp932Lines({QString::fromUtf16(c.line)}));
    EXPECT_EQ(answerer.texts(), std::vector<QString>{punchShown(c.phrase)});
    EXPECT_FALSE(s.punch.isVisible());
    EXPECT_FALSE(s.lockPresent());
    EXPECT_EQ(s.poller.calls, 2);  // after the message, and at closing
    expectAllUnticked(s);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PunchButtons,
    ::testing::Values(PunchCase{"ClockInNothingTicked",
                                {},
                                "clockInButton",
                                u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし",
                                u" さんの出勤時刻を "},
                      PunchCase{"ClockOutNothingTicked",
                                {},
                                "clockOutButton",
                                u"退勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし",
                                u" さんの退勤時刻を "},
                      PunchCase{"GoOutNothingTicked",
                                {},
                                "goOutButton",
                                u"外出,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし",
                                u" さんの外出時刻を "},
                      PunchCase{"ReturnNothingTicked",
                                {},
                                "returnButton",
                                u"戻り,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし",
                                u" さんの戻りの時刻を "},
                      // Ticked across pages in another order: codes still come in code order.
                      PunchCase{"ClockOutCodesInCodeOrder",
                                {0, 12, 7, 3, 2, 32, 25},
                                "clockOutButton",
                                u"退勤,山田花子,2019/08/28,07:45,IC記録,詳細bchm1,事由年休その他",
                                u" さんの退勤時刻を "},
                      PunchCase{"GoOutWithDetail",
                                {0, 19, 30},
                                "goOutButton",
                                u"外出,山田花子,2019/08/28,07:45,IC記録,詳細s,事由職専免",
                                u" さんの外出時刻を "},
                      PunchCase{
                          "ReturnEveryBoxTickedBackwards",
                          {0,  22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9,  8, 7,
                           23, 6,  5,  4,  3,  2,  1,  32, 31, 30, 29, 28, 27, 26, 25, 24},
                          "returnButton",
                          u"戻り,山田花子,2019/08/28,07:45,IC記録,詳細abcdefghijklm1m2nopqrstuv,"
                          u"事由割振年休病休特休介護組合職専免育短その他",
                          u" さんの戻りの時刻を "},
                      // Special notes in the main layout feed boxes that are not on view.
                      PunchCase{"ClockInNoteAnnualLeave",
                                {33},
                                "clockInButton",
                                u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由年休",
                                u" さんの出勤時刻を "},
                      PunchCase{"ClockOutNoteClubActivity",
                                {35},
                                "clockOutButton",
                                u"退勤,山田花子,2019/08/28,07:45,IC記録,詳細h,事由なし",
                                u" さんの退勤時刻を "},
                      PunchCase{"ClockInNoteChangedHours",
                                {34},
                                "clockInButton",
                                u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由割振",
                                u" さんの出勤時刻を "},
                      PunchCase{"GoOutIgnoresNotes",
                                {33, 34, 35},
                                "goOutButton",
                                u"外出,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし",
                                u" さんの外出時刻を "},
                      PunchCase{"ReturnIgnoresNotes",
                                {33, 34, 35},
                                "returnButton",
                                u"戻り,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし",
                                u" さんの戻りの時刻を "},
                      // Opening the detail layout carries the notes over into ticked boxes.
                      PunchCase{"DetailCarriesNoteOver",
                                {33, 0},
                                "clockInButton",
                                u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由年休",
                                u" さんの出勤時刻を "},
                      PunchCase{"CarriedBoxUntickedByTeacher",
                                {33, 0, -25},
                                "clockInButton",
                                u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし",
                                u" さんの出勤時刻を "},
                      PunchCase{"GoOutKeepsBoxCarriedAtOpening",
                                {35, 0},
                                "goOutButton",
                                u"外出,山田花子,2019/08/28,07:45,IC記録,詳細h,事由なし",
                                u" さんの外出時刻を "},
                      PunchCase{"RemoveTicksClearsEverything",
                                {33, 35, 0, 12, 26, 0},
                                "clockInButton",
                                u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし",
                                u" さんの出勤時刻を "}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(PunchScreen, RecordIsCp932WithCrLf) {
    Screens s;
    const QByteArray before = s.journal();
    s.open();
    s.apply({33});
    ModalAnswerer answerer;
    s.button("clockInButton")->click();
    // 出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由年休 CR LF
    EXPECT_EQ(s.journal().mid(before.size()).toHex().toUpper(),
              QByteArray("8F6F8BCE2C8E52936389D48E712C323031392F30382F32382C30373A34352C49438B4C98"
                         "5E2C8FDA8DD782C882B52C8E969752944E8B780D0A"));
}

// A second reading of the clock would fall on the next day.
TEST(PunchScreen, OneClockReadingForMessageAndRecord) {
    Screens s;
    const QByteArray before = s.journal();
    s.open();
    s.now = QDateTime(QDate(2019, 8, 28), QTime(23, 59, 59, 999));
    s.stepOnRead = 1;
    ModalAnswerer answerer;
    s.button("clockOutButton")->click();
    EXPECT_EQ(
        s.journal().mid(before.size()),
        DataFolder::cp932Lines({u"退勤,山田花子,2019/08/28,23:59,IC記録,詳細なし,事由なし"_s}));
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_TRUE(answerer.texts()[0].contains(QStringLiteral(" 2019/08/28 23:59 ")));
}

// Enter presses the button that has the focus and nothing else: a teacher who
// ticks a box and then presses Enter must not get a 出勤 they never chose.
TEST(PunchScreen, EnterPressesOnlyTheFocusedButton) {
    struct Row {
        const char* label;
        std::vector<int> steps;
        const char* target;
        const char16_t* line;  // nullptr: nothing written, the screen stays up
    };
    const Row table[] = {
        {"special note", {35}, "specialNoteBox35", nullptr},
        {"reason box in the detail layout", {0, 25}, "reasonBox25", nullptr},
        {"focused 退勤",
         {},
         "clockOutButton",
         u"退勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし"},
    };
    for (const Row& row : table) {
        Screens s;
        const QByteArray before = s.journal();
        s.open();
        s.apply(row.steps);
        ModalAnswerer answerer;
        QTest::keyClick(s.punch.findChild<QWidget*>(row.target), Qt::Key_Return);
        const QByteArray added = row.line == nullptr
                                     ? QByteArray()
                                     : DataFolder::cp932Lines({QString::fromUtf16(row.line)});
        EXPECT_EQ(s.journal(), before + added) << row.label;
        EXPECT_EQ(s.punch.isVisible(), row.line == nullptr) << row.label;
    }
}

// A key still held from before the screen came up (Enter on the previous box, Esc
// on another screen) presses nothing here; the next press of a key does.
TEST(PunchScreen, AKeyHeldFromBeforeTheOpeningPressesNothing) {
    const QByteArray clockIn =
        DataFolder::cp932Lines({u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし"_s});
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        Screens s;
        const QByteArray before = s.journal();
        s.open();
        ModalAnswerer answerer;
        holdKey(s.button("clockInButton"), key);
        holdKeyAsX11Does(s.button("clockInButton"), key);
        EXPECT_EQ(s.journal(), before) << key;
        EXPECT_TRUE(s.punch.isVisible()) << key;
        EXPECT_EQ(answerer.count(), 0) << key;

        QTest::keyClick(s.button("clockInButton"), Qt::Key_Return);
        EXPECT_EQ(s.journal(), before + clockIn) << key;
    }
}

// Wherever the previous teacher left the focus, the screen opens on 出勤: Tab and
// Space from their place could record another event.
TEST(PunchScreen, OpensWithTheFocusOnClockIn) {
    struct Row {
        const char* label;
        std::vector<int> steps;
        const char* leftOn;
    };
    const Row table[] = {
        {"閉じる", {}, "closeButton"},
        {"退勤", {}, "clockOutButton"},
        {"中抜け", {}, "absenceButton"},
        {"special note", {35}, "specialNoteBox35"},
        {"reason box in the detail layout", {0, 25}, "reasonBox25"},
    };
    for (const Row& row : table) {
        Screens s;
        s.open();
        s.apply(row.steps);
        s.punch.findChild<QWidget*>(row.leftOn)->setFocus();
        s.punch.close();

        const QByteArray before = s.journal();
        s.open(u"佐藤一郎"_s);
        EXPECT_EQ(s.punch.focusWidget(), s.button("clockInButton")) << row.label;
        if (s.punch.focusWidget() != s.button("clockInButton")) {
            continue;  // Space there could open a screen that nothing here answers
        }
        ModalAnswerer answerer;
        QTest::keyClick(s.punch.focusWidget(), Qt::Key_Space);
        EXPECT_EQ(s.journal(),
                  before + DataFolder::cp932Lines(
                               {u"出勤,佐藤一郎,2019/08/28,07:45,IC記録,詳細なし,事由なし"_s}))
            << row.label;
    }
}

// ---- Layouts and the detail panel --------------------------------------------

TEST(PunchScreen, StartsInTheMainLayout) {
    Screens s;
    EXPECT_EQ(s.punch.size(), QSize(1004, 646));
    EXPECT_EQ(s.punch.minimumSize(), s.punch.maximumSize());
    EXPECT_EQ(s.punch.windowTitle(), "Form2");
    EXPECT_EQ(s.punch.palette().color(QPalette::Window), QColor(166, 202, 240));
    EXPECT_EQ(s.button("detailsButton")->text(), u"詳しく"_s);
    s.open();
    expectMainLayout(s);
    // The holder's name shows only in the heading.
    for (QLabel* label : s.punch.findChildren<QLabel*>()) {
        if (label->isVisible() && label->objectName() != u"headingLabel") {
            EXPECT_FALSE(label->text().contains(kWho)) << label->objectName().toStdString();
        }
    }
    EXPECT_EQ(s.find<QLabel>("headingLabel")->text(), kWho + u"さんの勤務時間管理です"_s);
    EXPECT_EQ(s.find<QFrame>("mainPanel")->geometry(), QRect(16, 56, 953, 507));
    EXPECT_EQ(s.find<QFrame>("detailPanel")->geometry(), QRect(223, 56, 746, 507));
    EXPECT_EQ(s.find<QFrame>("specialNotePanel")->geometry(), QRect(40, 161, 193, 186));
    expectAllUnticked(s);
}

struct Placement {
    const char* button;
    QRect main;
    QRect detail;  // the same rect: not moved
};

TEST(PunchScreen, ButtonsMoveBetweenTheTwoLayouts) {
    const Placement table[] = {
        {"clockInButton", {301, 46, 395, 88}, {16, 24, 169, 57}},
        {"clockOutButton", {301, 194, 395, 88}, {16, 102, 169, 57}},
        {"detailsButton", {301, 352, 395, 88}, {16, 376, 169, 57}},
        {"goOutButton", {758, 106, 169, 56}, {15, 202, 169, 56}},
        {"returnButton", {758, 193, 169, 57}, {15, 280, 169, 57}},
        {"absenceButton", {758, 313, 169, 56}, {758, 313, 169, 56}},
    };
    // The caption, with the style's margins, fits the button: none touches its frame.
    auto fits = [](QPushButton* b) { return b->sizeHint().width() <= b->width(); };
    Screens s;
    s.open();
    for (const Placement& p : table) {
        EXPECT_EQ(s.button(p.button)->geometry(), p.main) << p.button;
        EXPECT_TRUE(fits(s.button(p.button))) << p.button;
    }
    s.button("detailsButton")->click();
    for (const Placement& p : table) {
        EXPECT_EQ(s.button(p.button)->geometry(), p.detail) << p.button;
        EXPECT_TRUE(fits(s.button(p.button))) << p.button;  // "チェックを外す" included
    }
    EXPECT_TRUE(s.find<QFrame>("detailPanel")->isVisible());
    EXPECT_FALSE(s.find<QFrame>("specialNotePanel")->isVisible());
    // 中抜け lies under the detail panel, so it cannot be pressed there.
    const QPoint middle =
        s.button("absenceButton")->mapTo(&s.punch, s.button("absenceButton")->rect().center());
    EXPECT_TRUE(s.find<QFrame>("detailPanel")->geometry().contains(middle));
}

TEST(PunchScreen, OpeningTheDetailLayoutCarriesNotesOverAndUnticksThem) {
    Screens s;
    s.open();
    auto* pages = s.find<QTabWidget>("categoryTabs");
    pages->setCurrentIndex(2);
    s.apply({33, 34, 35});

    s.button("detailsButton")->click();
    EXPECT_TRUE(s.box(25)->isChecked());
    EXPECT_TRUE(s.box(24)->isChecked());
    EXPECT_TRUE(s.box(7)->isChecked());
    EXPECT_FALSE(s.box(33)->isChecked() || s.box(34)->isChecked() || s.box(35)->isChecked());
    EXPECT_EQ(s.button("detailsButton")->text(), u"チェックを外す"_s);
    EXPECT_EQ(pages->currentIndex(), 0);

    s.apply({12, 30});
    s.button("detailsButton")->click();  // "チェックを外す"
    expectAllUnticked(s);
    EXPECT_TRUE(s.find<QFrame>("detailPanel")->isVisible());
}

TEST(PunchScreen, BoxesComeFromTheVocabularyOnTheirPages) {
    Screens s;
    s.open();
    s.button("detailsButton")->click();
    for (const WorkCategory& category : kWorkCategories) {
        QCheckBox* box = s.box(category.box);
        ASSERT_NE(box, nullptr) << category.box;
        EXPECT_EQ(box->text(), QString::fromUtf16(category.caption));
        EXPECT_EQ(box->parentWidget()->objectName(),
                  QStringLiteral("categoryPage%1").arg(category.page));
    }
    for (const Reason& reason : kReasons) {
        EXPECT_EQ(s.box(reason.box)->text(), QString::fromUtf16(reason.caption));
        EXPECT_EQ(s.box(reason.box)->parentWidget()->objectName(), "reasonPanel");
    }
    for (const SpecialNote& note : kSpecialNotes) {
        EXPECT_EQ(s.box(note.box)->text(), QString::fromUtf16(note.caption));
        EXPECT_EQ(s.box(note.box)->parentWidget()->objectName(), "specialNotePanel");
    }
    // Page 1: a to g on the left, h to k on the right; d's note on a line of its own.
    EXPECT_EQ(s.box(1)->x(), s.box(23)->x());
    EXPECT_GT(s.box(7)->x(), s.box(1)->x() + s.box(1)->width());
    EXPECT_EQ(s.box(7)->y(), s.box(1)->y());
    auto* dNote = s.punch.findChild<QLabel*>("categoryBox4Note");
    ASSERT_NE(dNote, nullptr);
    EXPECT_GE(dNote->y(), s.box(4)->geometry().bottom());
    EXPECT_GE(s.box(5)->y(), dNote->geometry().bottom());
}

// Every caption shows whole: nothing is cut by its own size or by its panel,
// and the survey note covers no box.
TEST(PunchScreen, EveryBoxAndNoteFitsItsPanel) {
    Screens s;
    s.open();
    s.button("detailsButton")->click();
    auto* pages = s.find<QTabWidget>("categoryTabs");
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        QApplication::processEvents();
    }
    for (QWidget* w : s.punch.findChildren<QWidget*>()) {
        if (qobject_cast<QCheckBox*>(w) == nullptr && !w->objectName().endsWith("Note")) {
            continue;
        }
        const QRect inParent = w->geometry();
        EXPECT_TRUE(w->parentWidget()->rect().contains(inParent))
            << w->objectName().toStdString() << " leaves its panel: " << inParent.x() << ","
            << inParent.y() << " " << inParent.width() << "x" << inParent.height() << " in "
            << w->parentWidget()->width() << "x" << w->parentWidget()->height();
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
    }
    for (int page = 1; page <= 3; ++page) {
        QWidget* sheet = s.punch.findChild<QWidget*>(QStringLiteral("categoryPage%1").arg(page));
        QLabel* survey = nullptr;
        for (QLabel* label : sheet->findChildren<QLabel*>()) {
            if (label->text() == QString::fromUtf16(kSurveyNote)) {
                survey = label;
            }
        }
        ASSERT_NE(survey, nullptr);
        EXPECT_EQ(survey->font().pixelSize(), 11);
        EXPECT_GT(survey->x(), sheet->width() / 2);  // lower right
        EXPECT_GT(survey->y(), sheet->height() / 2);
        for (QCheckBox* box : sheet->findChildren<QCheckBox*>()) {
            EXPECT_FALSE(box->geometry().intersects(survey->geometry())) << page;
        }
    }
}

TEST(PunchScreen, SelectedTabIsDrawnYellow) {
    Screens s;
    s.open();
    s.button("detailsButton")->click();
    auto* pages = s.find<QTabWidget>("categoryTabs");
    QTabBar* tabs = pages->tabBar();
    // A point inside each tab away from its caption.
    auto colourOf = [&](int tab) {
        const QImage image = tabs->grab().toImage();
        const QRect r = tabs->tabRect(tab);
        return QColor(image.pixel(r.right() - 2, r.bottom() - 2));
    };
    const QColor yellow(255, 255, 0);
    EXPECT_EQ(colourOf(0), yellow);
    EXPECT_NE(colourOf(1), yellow);
    pages->setCurrentIndex(2);
    EXPECT_EQ(colourOf(2), yellow);
    EXPECT_NE(colourOf(0), yellow);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tabs->tabText(i), QString::fromUtf16(kCategoryPageCaptions[i]));
    }
}

TEST(PunchScreen, ClockLabelFollowsTheClockEverySecond) {
    Screens s;
    s.open();
    auto* clock = s.find<QLabel>("clockLabel");
    EXPECT_TRUE(waitUntil([&] { return clock->text() == "2019/08/28 7:45:30"; }));
    s.now = QDateTime(QDate(2019, 8, 28), QTime(7, 45, 31));
    EXPECT_TRUE(waitUntil([&] { return clock->text() == "2019/08/28 7:45:31"; }));
}

// Under the name, the holder's records of the day: another PC's from the journal, and one
// this PC keeps while the share is away; the next holder gets their own.
TEST(PunchScreen, ShowsTheHoldersRecordsOfTheDayUnderTheName) {
    Screens s;
    s.folder.writeBytes(
        kJournalFile,
        DataFolder::cp932Lines({u"header"_s,
                                u"出勤,山田花子,2019/08/27,07:40,IC記録,詳細なし,事由なし"_s,
                                u"出勤,山田花子,2019/08/28,07:30,IC記録,詳細なし,事由なし"_s,
                                u"出勤,佐藤一郎,2019/08/28,07:35,IC記録,詳細なし,事由なし"_s}));
    RecordSpool(s.writer.spoolFolder())
        .keep({s.now, u"外出,山田花子,2019/08/28,07:44,IC記録,詳細なし,事由なし"_s});
    auto* today = s.find<QLabel>("todayLabel");
    s.open();
    EXPECT_TRUE(waitUntil([&] { return today->text() == u"今日の記録　出勤 07:30　外出 07:44"_s; }))
        << today->text().toStdString();
    s.punch.close();
    s.open(u"佐藤一郎"_s);
    EXPECT_TRUE(waitUntil([&] { return today->text() == u"今日の記録　出勤 07:35"_s; }))
        << today->text().toStdString();
}

// ---- Every way of closing resets the screen ---------------------------------

struct ClosingCase {
    const char* label;
    std::vector<int> setup;
    std::function<void(Screens&, ModalAnswerer&)> close;
    std::vector<QString> messages;
    int records;

    friend void PrintTo(const ClosingCase& c, std::ostream* os) { *os << c.label; }
};

class EveryWayOfClosing : public ::testing::TestWithParam<ClosingCase> {};

TEST_P(EveryWayOfClosing, NextShowingStartsInTheMainLayoutWithNothingTicked) {
    const ClosingCase& c = GetParam();
    Screens s;
    const QByteArray before = s.journal();
    s.open();
    s.apply(c.setup);
    {
        ModalAnswerer answerer;
        c.close(s, answerer);
        EXPECT_EQ(answerer.texts(), c.messages);
    }
    EXPECT_FALSE(s.punch.isVisible());
    EXPECT_EQ(s.journal().count('\n') - before.count('\n'), c.records);

    s.open(u"佐藤一郎"_s);
    expectMainLayout(s);
    expectAllUnticked(s);
    EXPECT_EQ(s.button("detailsButton")->text(), u"詳細"_s);

    const QByteArray afterClose = s.journal();
    ModalAnswerer answerer;
    s.button("clockInButton")->click();
    EXPECT_EQ(
        s.journal().mid(afterClose.size()),
        DataFolder::cp932Lines({u"出勤,佐藤一郎,2019/08/28,07:45,IC記録,詳細なし,事由なし"_s}));
}

INSTANTIATE_TEST_SUITE_P(
    Table, EveryWayOfClosing,
    ::testing::Values(
        ClosingCase{"AfterAPunch",
                    {34, 35, 0, 12, 26},
                    [](Screens& s, ModalAnswerer&) { s.button("clockOutButton")->click(); },
                    {punchShown(u" さんの退勤時刻を ")},
                    1},
        ClosingCase{"AfterAClockInWithNotes",
                    {33, 34, 35},
                    [](Screens& s, ModalAnswerer&) { s.button("clockInButton")->click(); },
                    {punchShown(u" さんの出勤時刻を ")},
                    1},
        ClosingCase{"NothingToDo",
                    {34, 35, 0, 12, 26},
                    [](Screens& s, ModalAnswerer&) { s.button("closeButton")->click(); },
                    {kRemoveCard},
                    0},
        ClosingCase{"CloseBoxInTheDetailLayout",
                    {34, 35, 0, 12, 26},
                    [](Screens& s, ModalAnswerer&) { s.punch.close(); },
                    {},
                    0},
        ClosingCase{"CloseBoxInTheMainLayout",
                    {33, 34, 35},
                    [](Screens& s, ModalAnswerer&) { s.punch.close(); },
                    {},
                    0},
        ClosingCase{"EscapeKey",
                    {34, 35, 0, 12, 26},
                    [](Screens& s, ModalAnswerer&) { QTest::keyClick(&s.punch, Qt::Key_Escape); },
                    {},
                    0},
        ClosingCase{"AfterAnAbsence",
                    {33, 34, 35},
                    [](Screens& s, ModalAnswerer& answerer) {
                        answerer.then([&s](QWidget*) {
                            s.chooseHours(2);
                            s.absenceBox(25)->setChecked(true);
                            later([&s] { s.absenceRecordButton()->click(); });
                        });
                        s.button("absenceButton")->click();
                    },
                    {QString(),
                     u"山田花子 さんの中抜け時間を 02:00 で記録します\n\n"
                     u"カードを取ったら、OKボタンを押してください"_s},
                    1}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- The card-removal wait ---------------------------------------------------

struct WaitCase {
    const char* label;
    std::vector<PollResult> script;
    const char* button;  // nullptr: the window's close box
    int prompts;         // "take the card" boxes
    int polls;

    friend void PrintTo(const WaitCase& c, std::ostream* os) { *os << c.label; }
};

class CardRemovalWait : public ::testing::TestWithParam<WaitCase> {};

TEST_P(CardRemovalWait, KeepsAskingUntilNoCardIsFound) {
    const WaitCase& c = GetParam();
    Screens s;
    s.poller.script.assign(c.script.begin(), c.script.end());
    s.open();

    ModalAnswerer answerer;
    std::vector<bool> screenUpAtPrompt;
    for (int i = 0; i < c.prompts + 1; ++i) {
        answerer.then([&](QWidget* box) {
            screenUpAtPrompt.push_back(s.punch.isVisible());
            ModalAnswerer::pressOk(box);
        });
    }
    if (c.button != nullptr) {
        s.button(c.button)->click();
    } else {
        s.punch.close();
    }

    const auto& texts = answerer.texts();
    const int first = c.button != nullptr ? 1 : 0;  // the punch's own message comes first
    ASSERT_EQ(static_cast<int>(texts.size()), first + c.prompts);
    for (int i = first; i < first + c.prompts; ++i) {
        EXPECT_EQ(texts[i], kRemoveCard);
    }
    EXPECT_EQ(screenUpAtPrompt, std::vector<bool>(texts.size(), true));
    EXPECT_EQ(s.poller.calls, c.polls);
    EXPECT_FALSE(s.punch.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Table, CardRemovalWait,
    ::testing::Values(WaitCase{"CardLeftForTwoPolls",
                               {ScriptedPoller::card("0123456789ABCDEF", "Reader 0"),
                                ScriptedPoller::card("0123456789ABCDEF", "Reader 0")},
                               "clockInButton",
                               2,
                               4},
                      // Not the holder's card, on another reader: it still has to go.
                      WaitCase{"AnyCardOnAnyReader",
                               {ScriptedPoller::card("FEDCBA9876543210", "Reader 1")},
                               "goOutButton",
                               1,
                               3},
                      WaitCase{"CardWithEmptyIdentifier",
                               {ScriptedPoller::card("", "Reader 0")},
                               "returnButton",
                               1,
                               3},
                      WaitCase{"ReaderGoneEndsTheWait",
                               {ScriptedPoller::noReader(),
                                ScriptedPoller::card("0123456789ABCDEF", "Reader 0")},
                               "clockOutButton",
                               1,  // the close's own wait then finds the card once
                               3},
                      WaitCase{"CloseBoxWaitsToo",
                               {ScriptedPoller::card("0123456789ABCDEF", "Reader 0"),
                                ScriptedPoller::card("0123456789ABCDEF", "Reader 0")},
                               nullptr,
                               2,
                               3}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace tavomi::test
