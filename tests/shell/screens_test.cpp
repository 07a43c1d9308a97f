// The six screens of a run and how the main screen reaches the others.
#include "shell/screens.h"
#include "files/data_folder.h"
#include "main_screen/main_screen.h"
#include "punch/punch_screen.h"
#include "spool/journal_writer.h"
#include "support/cardholders.h"
#include "support/data_folder_fixture.h"
#include "support/modal_helper.h"
#include "support/scripted_poller.h"
#include "support/wait.h"

#include <QDate>
#include <QDialog>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using test::ModalAnswerer;
using test::ScriptedPoller;

using test::kHanako;
using test::kHanakoCard;

class ScreensTest : public ::testing::Test {
  protected:
    ScreensTest() { folder.writeLines(kCardholderListFile, test::cardholderListWithHanako()); }

    test::DataFolder folder;
    ScriptedPoller poller;
    Clock monday = [] { return QDateTime(QDate(2024, 6, 3), QTime(8, 0)); };
    JournalWriter writer{folder.appFolder(), folder.appFolder() / "spool", monday};
};

TEST_F(ScreensTest, IncompleteFolderEndsTheProgramAfterOneMessage) {
    folder.remove("absentee.txt");
    ModalAnswerer answerer;
    EXPECT_EQ(createScreens(folder.appFolder(), monday, poller, writer), nullptr);
    EXPECT_EQ(answerer.count(), 1);
}

TEST_F(ScreensTest, SixScreensInStartUpOrder) {
    const auto mainScreen = createScreens(folder.appFolder(), monday, poller, writer);
    ASSERT_NE(mainScreen, nullptr);
    // The main screen's first frame comes first; the others follow it.
    EXPECT_TRUE(mainScreen->findChildren<QDialog*>().empty());
    mainScreen->show();
    ASSERT_TRUE(test::waitUntil([&] { return !mainScreen->findChildren<QDialog*>().empty(); }));
    std::vector<std::string> order;
    for (QDialog* screen : mainScreen->findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) {
        order.push_back(screen->metaObject()->className());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"tavomi::PunchScreen", "tavomi::ManualEntryScreen",
                                               "tavomi::AboutBox", "tavomi::AbsenceScreen",
                                               "tavomi::ConfirmBox"}));
}

TEST_F(ScreensTest, MainScreenOpensEachScreenModally) {
    const auto mainScreen = createScreens(folder.appFolder(), monday, poller, writer);
    ASSERT_NE(mainScreen, nullptr);
    mainScreen->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mainScreen.get()));

    ModalAnswerer answerer;
    QString heading;
    QString name;
    answerer.then([&](QWidget* box) {
        heading = box->findChild<QLabel*>("headingLabel")->text();
        name = qobject_cast<PunchScreen*>(box)->holderName();
        box->close();
    });
    poller.script = {ScriptedPoller::card(kHanakoCard)};
    poller.steady = ScriptedPoller::reader();
    mainScreen->runPollingTick();

    answerer.then([](QWidget* box) { box->close(); });
    QTest::mouseClick(mainScreen->findChild<QWidget*>("manualEntryButton"), Qt::LeftButton);
    answerer.then([](QWidget* box) { box->close(); });
    QTest::mouseDClick(mainScreen->findChild<QWidget*>("aboutCorner"), Qt::LeftButton);

    EXPECT_EQ(answerer.titles(),
              (std::vector<QString>{QStringLiteral("Form2"), QStringLiteral("Form6"),
                                    QStringLiteral("about")}));
    EXPECT_EQ(heading, kHanako + u"さんの勤務時間管理です"_s);
    EXPECT_EQ(name, kHanako);
}

}  // namespace
}  // namespace tavomi
