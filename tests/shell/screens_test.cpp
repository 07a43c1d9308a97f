// The six screens of a run and how the main screen reaches the others.
#include "shell/screens.h"
#include "files/data_folder.h"
#include "main_screen/main_screen.h"
#include "punch/punch_screen.h"
#include "support/data_folder_fixture.h"
#include "support/modal_helper.h"
#include "support/scripted_poller.h"

#include <QDate>
#include <QDialog>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavomi {
namespace {

using test::ModalAnswerer;
using test::ScriptedPoller;

const QString kHanakoId = QStringLiteral("0123456789ABCDEF");
const QString kHanako = QString::fromUtf16(u"山田　花子");

class ScreensTest : public ::testing::Test {
  protected:
    ScreensTest() {
        folder.writeLines(kCardholderListFile,
                          {QString::fromUtf16(u"カードID,氏名"), kHanakoId + u',' + kHanako});
    }

    test::DataFolder folder;
    ScriptedPoller poller;
    Clock monday = [] { return QDateTime(QDate(2024, 6, 3), QTime(8, 0)); };
};

TEST_F(ScreensTest, IncompleteFolderEndsTheProgramAfterOneMessage) {
    folder.remove("absentee.txt");
    ModalAnswerer answerer;
    EXPECT_EQ(createScreens(folder.appFolder(), monday, poller), nullptr);
    EXPECT_EQ(answerer.count(), 1);
}

TEST_F(ScreensTest, SixScreensInStartUpOrder) {
    const auto form1 = createScreens(folder.appFolder(), monday, poller);
    ASSERT_NE(form1, nullptr);
    std::vector<std::string> order;
    for (QDialog* screen : form1->findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) {
        order.push_back(screen->metaObject()->className());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"tavomi::PunchScreen", "tavomi::ManualEntryScreen",
                                               "tavomi::AboutBox", "tavomi::AbsenceScreen",
                                               "tavomi::ConfirmBox"}));
}

TEST_F(ScreensTest, MainScreenOpensEachScreenModally) {
    const auto form1 = createScreens(folder.appFolder(), monday, poller);
    ASSERT_NE(form1, nullptr);
    form1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form1.get()));

    ModalAnswerer answerer;
    QString heading;
    QString name;
    answerer.then([&](QWidget* box) {
        heading = box->findChild<QLabel*>("headingLabel")->text();
        name = qobject_cast<PunchScreen*>(box)->holderName();
        box->close();
    });
    poller.script = {ScriptedPoller::card(kHanakoId)};
    poller.steady = ScriptedPoller::reader();
    form1->Button1Click();

    answerer.then([](QWidget* box) { box->close(); });
    QTest::mouseClick(form1->Button7, Qt::LeftButton);
    answerer.then([](QWidget* box) { box->close(); });
    QTest::mouseDClick(form1->Image3, Qt::LeftButton);

    EXPECT_EQ(answerer.titles(),
              (std::vector<QString>{QStringLiteral("Form2"), QStringLiteral("Form6"),
                                    QStringLiteral("about")}));
    EXPECT_EQ(heading, kHanako + QString::fromUtf16(u"さんの勤務時間管理です"));
    EXPECT_EQ(name, kHanako);
}

}  // namespace
}  // namespace tavomi
