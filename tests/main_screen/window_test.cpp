// The main screen as a window: its face, the timer around every wait and the boxes
// of a tick.
#include "files/data_folder.h"
#include "main_screen/main_screen.h"
#include "support/cardholders.h"
#include "support/data_folder_fixture.h"
#include "support/modal_helper.h"
#include "support/scripted_card_events.h"
#include "support/scripted_poller.h"
#include "support/wait.h"

#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using test::ModalAnswerer;
using test::ScriptedPoller;
using test::waitUntil;

using test::kHanako;
using test::kHanakoCard;
const QString kNotRegistered = u"このカードは登録されていません　カードの登録を行ってください"_s;
const QString kCheckingReader = u"リーダーの接続確認中"_s;
const QString kLayYourCard = u"カードを置いてください"_s;

class MainScreenTest : public ::testing::Test {
  protected:
    MainScreenTest() { folder.writeLines(kCardholderListFile, test::cardholderListWithHanako()); }

    QTimer* timer() { return form.findChild<QTimer*>("pollTimer"); }
    template <typename T = QLabel>
    T* find(const char* name) {
        T* widget = form.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    test::DataFolder folder;
    ScriptedPoller poller;
    MainScreen form{folder.appFolder(), poller};
};

TEST_F(MainScreenTest, FaceAtStart) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Form1"));
    EXPECT_EQ(form.size(), QSize(636, 524));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(166, 202, 240));

    const std::map<std::string, QString> captions = {
        {"titleLabel", u"ICカードによる勤務時間記録"_s},
        {"readerCaptionLabel", u"接続中のカードリーダー　："_s},
        {"readerNameLabel", u"接続を確認中"_s},
        {"statusLabel", kCheckingReader},
    };
    for (const auto& [name, text] : captions) {
        auto* label = form.findChild<QLabel*>(QString::fromStdString(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), text) << name;
        EXPECT_TRUE(label->isVisibleTo(&form)) << name;
    }
    EXPECT_EQ(form.findChild<QPushButton*>("manualEntryButton")->text(), u"手動による入力"_s);
    EXPECT_EQ(form.findChild<QPushButton*>("exitButton")->text(), u"終　了"_s);
    for (const char* picture : {"logo", "checkingReaderPicture", "readyPicture"}) {
        EXPECT_TRUE(form.findChild<QSvgWidget*>(picture)->renderer()->isValid()) << picture;
    }
    EXPECT_TRUE(form.findChild<QSvgWidget*>("checkingReaderPicture")->isVisibleTo(&form));
    EXPECT_FALSE(form.findChild<QSvgWidget*>("readyPicture")->isVisibleTo(&form));
    EXPECT_EQ(form.findChild<QWidget*>("aboutCorner")->geometry(), QRect(610, 480, 17, 16));
    EXPECT_EQ(form.findChild<QSvgWidget*>("checkingReaderPicture")->geometry(),
              form.findChild<QSvgWidget*>("readyPicture")->geometry());

    // No tick before the window is up; from then on one every 500 ms.
    EXPECT_FALSE(timer()->isActive());
    form.show();
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(timer()->interval(), 500);
}

// Every text a label can show fits its place: the status line in both displays, and
// the reader line with the long names that real CCID readers have.
TEST_F(MainScreenTest, TextsFitTheirLabels) {
    const std::vector<std::pair<QLabel*, QString>> texts = {
        {find("titleLabel"), find("titleLabel")->text()},
        {find("readerCaptionLabel"), find("readerCaptionLabel")->text()},
        {find("statusLabel"), kCheckingReader},
        {find("statusLabel"), kLayYourCard},
        {find("readerNameLabel"), QStringLiteral("Virtual PCD 00 00")},
        {find("readerNameLabel"),
         QStringLiteral("ACS ACR1252 1S CL Reader [ACR1252 1S CL Reader PICC] 00 00")},
        {find("readerNameLabel"),
         QStringLiteral("SONY FeliCa RC-S300/P [RC-S300/P] (0123456789) 00 00")},
        {find("spoolLabel"),
         u"未送信 999件（12/31 07:52から）このPCに保存しています\n"
         u"保存した記録の一部が読めないため spool.txt.damaged に移しました"_s},
    };
    for (const auto& [label, text] : texts) {
        SCOPED_TRACE(text.toStdString());
        label->setText(text);
        if (label->wordWrap()) {
            EXPECT_LE(label->heightForWidth(label->width()), label->height());
        } else {
            EXPECT_LE(label->sizeHint().width(), label->width());
        }
    }
    // The spool's line shows only while it has something to say.
    EXPECT_FALSE(find("spoolLabel")->isVisibleTo(&form));
    form.showSpoolStatus(u"未送信 1件（07:52から）このPCに保存しています"_s);
    EXPECT_TRUE(find("spoolLabel")->isVisibleTo(&form));
    form.showSpoolStatus({});
    EXPECT_FALSE(find("spoolLabel")->isVisibleTo(&form));
    // The reader line stays above the status panel.
    EXPECT_LE(find("readerNameLabel")->geometry().bottom(),
              find<QWidget>("statusPanel")->geometry().top());
}

TEST_F(MainScreenTest, StatusDisplayAndReaderLineAcrossTicks) {
    poller.script = {ScriptedPoller::reader("Reader A"), ScriptedPoller::reader("Reader A"),
                     ScriptedPoller::noReader(), ScriptedPoller::noReader()};
    struct Expect {
        QString status;
        bool startled;
        QString readerLine;
    };
    const std::vector<Expect> expected = {
        {kCheckingReader, true, QStringLiteral("Reader A")},
        {kLayYourCard, false, QStringLiteral("Reader A")},
        {kLayYourCard, false, QString()},
        {kCheckingReader, true, QString()},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "tick " << i + 1);
        form.runPollingTick();
        EXPECT_EQ(find("statusLabel")->text(), expected[i].status);
        EXPECT_EQ(find<QSvgWidget>("checkingReaderPicture")->isVisibleTo(&form),
                  expected[i].startled);
        EXPECT_EQ(find<QSvgWidget>("readyPicture")->isVisibleTo(&form), !expected[i].startled);
        EXPECT_EQ(find("readerNameLabel")->text(), expected[i].readerLine);
    }
}

// The punch screen gets the name; no tick runs while it is up, and the next one
// comes a whole interval after it has closed.
TEST_F(MainScreenTest, RegisteredCardIsHandedOverWithTheTimerStopped) {
    poller.steady = ScriptedPoller::card(kHanakoCard);
    form.show();
    std::vector<QString> handedOver;
    bool timerRanMeanwhile = true;
    form.setPunchScreen([&](const QString& who) {
        handedOver.push_back(who);
        timerRanMeanwhile = timer()->isActive();
    });

    form.runPollingTick();
    EXPECT_EQ(handedOver, std::vector<QString>{kHanako});
    EXPECT_FALSE(timerRanMeanwhile);
    EXPECT_TRUE(timer()->isActive());
    EXPECT_GT(timer()->remainingTime(), 400);
    EXPECT_EQ(find("statusLabel")->text(), kCheckingReader);  // the first tick's display stays
}

// A card left on the reader earns the message again on every tick, each one
// raised with the timer stopped.
TEST_F(MainScreenTest, UnregisteredCardLeftOnTheReaderIsReportedAfterEachOk) {
    poller.steady = ScriptedPoller::card(test::kStrangerCard);
    form.show();
    ModalAnswerer answerer;
    std::vector<bool> timerActiveWhileUp;
    for (int i = 0; i < 2; ++i) {
        answerer.then([&](QWidget* box) {
            timerActiveWhileUp.push_back(timer()->isActive());
            ModalAnswerer::pressOk(box);
        });
    }
    form.runPollingTick();
    EXPECT_TRUE(timer()->isActive());
    form.runPollingTick();
    EXPECT_EQ(answerer.texts(), (std::vector<QString>{kNotRegistered, kNotRegistered}));
    EXPECT_EQ(timerActiveWhileUp, (std::vector<bool>{false, false}));
}

// A clock left running over midnight: the first tick of the new date tells the shell once
// (which derives its working hours on the writer's thread), and what comes back is shown at
// the next tick with the timer stopped, before any card is looked at.
TEST_F(MainScreenTest, ANewDateIsToldOnceAndItsMessageShownAtTheNextTick) {
    poller.steady = ScriptedPoller::card(kHanakoCard);
    form.show();
    QDate today(2026, 12, 10);
    std::vector<QDate> told;
    form.watchForNewDate([&] { return today; }, [&](const QDate& d) { told.push_back(d); });
    bool punched = false;
    form.setPunchScreen([&](const QString&) { punched = true; });

    form.runPollingTick();
    EXPECT_TRUE(told.empty());
    today = today.addDays(1);
    form.runPollingTick();
    form.runPollingTick();
    EXPECT_EQ(told, std::vector<QDate>{QDate(2026, 12, 11)});

    punched = false;
    form.showAtNextTick(MainScreen::MessageKind::Plain, u"今日の勤務時間がありません"_s);
    ModalAnswerer answerer;
    bool timerActiveWhileUp = true;
    answerer.then([&](QWidget* box) {
        timerActiveWhileUp = timer()->isActive();
        ModalAnswerer::pressOk(box);
    });
    form.runPollingTick();
    EXPECT_EQ(answerer.texts(), std::vector<QString>{u"今日の勤務時間がありません"_s});
    EXPECT_FALSE(timerActiveWhileUp);
    EXPECT_FALSE(punched);  // the card waits for the tick after the message
    form.runPollingTick();
    EXPECT_TRUE(punched);
}

// The shell keeps its copy for a start after each whole read of the list: the first tick's,
// and one that a changed file brings for a card the list did not know.
TEST_F(MainScreenTest, EachWholeReadOfTheListIsTold) {
    int reads = 0;
    form.setCardholdersRead([&] { ++reads; });
    form.runPollingTick();
    form.runPollingTick();
    EXPECT_EQ(reads, 1);

    folder.writeLines(kCardholderListFile, {u"カードID,氏名"_s, test::kStrangerCard + u",W"_s});
    poller.steady = ScriptedPoller::card(test::kStrangerCard);
    form.setPunchScreen([](const QString&) {});
    form.runPollingTick();
    EXPECT_EQ(reads, 2);
}

TEST_F(MainScreenTest, ListWithOnlyItsHeaderReportsEveryCard) {
    folder.writeLines(kCardholderListFile, {kHanakoCard + u',' + kHanako});
    poller.steady = ScriptedPoller::card(kHanakoCard);
    bool punched = false;
    form.setPunchScreen([&](const QString&) { punched = true; });
    ModalAnswerer answerer;
    form.runPollingTick();
    EXPECT_FALSE(punched);
    EXPECT_EQ(answerer.texts(), std::vector<QString>{kNotRegistered});
}

// The manual entry screen and the about box hold the timer; a card laid down
// meanwhile is found by the first tick afterwards.
TEST_F(MainScreenTest, NoTickWhileManualEntryOrAboutBoxIsUp) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    std::vector<std::string> opened;
    auto watch = [&](const char* what) {
        return [&, what] {
            opened.push_back(what);
            EXPECT_FALSE(timer()->isActive()) << what;
            poller.steady = ScriptedPoller::card(kHanakoCard);
        };
    };
    form.setManualEntry(watch("manual entry"));
    form.setAboutBox(watch("about"));

    QTest::mouseClick(find<QPushButton>("manualEntryButton"), Qt::LeftButton);
    EXPECT_TRUE(timer()->isActive());
    QTest::mouseClick(find<QWidget>("aboutCorner"), Qt::LeftButton);  // one click is not enough
    QTest::mouseDClick(find<QWidget>("aboutCorner"), Qt::LeftButton);
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(opened, (std::vector<std::string>{"manual entry", "about"}));
    EXPECT_EQ(poller.calls, 0);

    QString handedTo;
    form.setPunchScreen([&](const QString& who) { handedTo = who; });
    form.runPollingTick();
    EXPECT_EQ(handedTo, kHanako);
}

TEST_F(MainScreenTest, UnreadableListIsReportedOnceWhileTheTicksRetry) {
    folder.remove(kCardholderListFile);
    poller.steady = ScriptedPoller::card(kHanakoCard);
    ModalAnswerer answerer;
    bool timerActiveWhileUp = true;
    answerer.then([&](QWidget* box) {
        timerActiveWhileUp = timer()->isActive();
        ModalAnswerer::pressOk(box);
    });
    for (int i = 0; i < 5; ++i) {
        form.runPollingTick();
    }
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_TRUE(answerer.texts()[0].contains(QString::fromLatin1(kCardholderListFile)));
    EXPECT_FALSE(timerActiveWhileUp);
    EXPECT_EQ(poller.calls, 0);
    EXPECT_EQ(find("readerNameLabel")->text(), QString());
}

// Reader events run the tick at once, but only while the timer runs: never before the
// window is up, never while a screen or a box holds the timer.
class CardEventsTest : public MainScreenTest {
  protected:
    CardEventsTest() { form.setCardEvents(std::make_unique<test::ScriptedCardEvents>(events)); }

    // Delivers what the events posted, without letting the timer fire.
    void deliver() { QCoreApplication::sendPostedEvents(&form); }

    std::shared_ptr<test::ScriptedCardEvents::Remote> events =
        std::make_shared<test::ScriptedCardEvents::Remote>();
};

TEST_F(CardEventsTest, AnEventRunsTheTickAtOnceAndTheTimerStartsOver) {
    form.show();
    poller.steady = ScriptedPoller::card(kHanakoCard);
    std::vector<QString> handedOver;
    form.setPunchScreen([&](const QString& who) { handedOver.push_back(who); });
    ASSERT_TRUE(waitUntil([&] { return timer()->remainingTime() < 400; }));

    events->fire();
    deliver();
    EXPECT_EQ(handedOver, std::vector<QString>{kHanako});
    EXPECT_EQ(poller.calls, 1);
    EXPECT_TRUE(timer()->isActive());
    EXPECT_GT(timer()->remainingTime(), 400);
}

TEST_F(CardEventsTest, ABurstOfEventsRunsOneTick) {
    form.show();
    poller.steady = ScriptedPoller::reader();
    events->fire();
    events->fire();
    events->fire();
    deliver();
    EXPECT_EQ(poller.calls, 1);
    events->fire();
    deliver();
    EXPECT_EQ(poller.calls, 2);
}

TEST_F(CardEventsTest, EventsWhileTheTimerIsPausedDoNothing) {
    poller.steady = ScriptedPoller::card(kHanakoCard);
    events->fire();  // the window is not up yet
    deliver();
    EXPECT_EQ(poller.calls, 0);

    form.show();
    int callsDuringManualEntry = -1;
    form.setManualEntry([&] {
        events->fire();
        deliver();
        callsDuringManualEntry = poller.calls;
    });
    QTest::mouseClick(find<QPushButton>("manualEntryButton"), Qt::LeftButton);
    EXPECT_EQ(callsDuringManualEntry, 0);

    // The punch screen holds the timer too: the card still lying there wakes nothing.
    int callsWhilePunching = -1;
    form.setPunchScreen([&](const QString&) {
        events->fire();
        deliver();
        callsWhilePunching = poller.calls;
    });
    form.runPollingTick();
    EXPECT_EQ(callsWhilePunching, 1);
}

TEST(CardEventsLifetime, TheScreenStopsWatchingBeforeItGoes) {
    test::DataFolder folder;
    ScriptedPoller poller;
    auto events = std::make_shared<test::ScriptedCardEvents::Remote>();
    {
        MainScreen form{folder.appFolder(), poller};
        form.setCardEvents(std::make_unique<test::ScriptedCardEvents>(events));
        form.show();
        EXPECT_EQ(events->starts, 1);
        EXPECT_EQ(events->stops, 0);
    }
    EXPECT_EQ(events->stops, 1);
}

// The screens it opens are not needed for the first frame: they come after it, or
// before the first tick or button that needs them, and only once.
TEST_F(MainScreenTest, OtherScreensAreBuiltOnceAfterTheFirstFrameOrWhenNeeded) {
    int afterFrame = 0;
    form.setOtherScreens([&] { ++afterFrame; });
    EXPECT_EQ(afterFrame, 0);
    form.show();
    ASSERT_TRUE(waitUntil([&] { return afterFrame == 1; }));
    form.runPollingTick();
    EXPECT_EQ(afterFrame, 1);

    MainScreen hidden{folder.appFolder(), poller};
    int beforeFrame = 0;
    hidden.setOtherScreens([&] { ++beforeFrame; });
    hidden.runPollingTick();
    EXPECT_EQ(beforeFrame, 1);
}

TEST_F(MainScreenTest, ExitButtonClosesTheWindow) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(find<QPushButton>("exitButton"), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace tavomi
