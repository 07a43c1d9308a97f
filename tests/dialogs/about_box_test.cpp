// The about box: its face, the link that opens the web page, and Close.
#include "dialogs/about_box.h"
#include "support/modal_helper.h"

#include <QLabel>
#include <QPushButton>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace tavomi {
namespace {

using test::ModalAnswerer;

TEST(AboutBoxTest, Face) {
    AboutBox about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("about"));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_EQ(about.Label4->text(), QStringLiteral("Tavomi!"));
    EXPECT_EQ(about.Label2->text(), QStringLiteral("Tavomi ver 2.8.24_s"));
    EXPECT_EQ(about.Label3->text(),
              QStringLiteral("If you need more informations , please contact  to "));
    EXPECT_EQ(about.Label5->text(), QString::fromLatin1(kWebPage));
    EXPECT_EQ(about.Button1->text(), QStringLiteral("Close"));
    EXPECT_EQ(about.Image1->size(), QSize(144, 147));
    EXPECT_TRUE(about.Image1->renderer()->isValid());
    // The address continues Label3's sentence on the same line.
    EXPECT_EQ(about.Label5->x(), about.Label3->geometry().right() + 1);
    EXPECT_EQ(about.Label5->geometry().center().y(), about.Label3->geometry().center().y());
    EXPECT_LE(about.Label5->geometry().right(), about.width());
    // "Tavomi!" at the top left, the picture beside it.
    EXPECT_LT(about.Label4->x(), about.Image1->x());
    EXPECT_LT(about.Label4->y(), about.Label3->y());
}

TEST(AboutBoxTest, EveryQuoteInTheAddressIsSentAsPercent22) {
    struct Case {
        QString address;
        QString sent;
    };
    const std::vector<Case> cases = {
        {QString::fromLatin1(kWebPage), QString::fromLatin1(kWebPage)},
        {QStringLiteral("https://a.example/?q=\"x\""),
         QStringLiteral("https://a.example/?q=%22x%22")},
        {QStringLiteral("\"\""), QStringLiteral("%22%22")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AboutBox::webPageUrl(c.address).toString(QUrl::FullyEncoded), c.sent)
            << c.address.toStdString();
    }
}

// Each click asks the desktop again; the box stays up; Close (with the focus) ends it.
TEST(AboutBoxTest, TwoClicksOnTheAddressAskTwiceAndCloseEndsTheBox) {
    AboutBox about;
    std::vector<QUrl> asked;
    about.setUrlOpener([&](const QUrl& url) { asked.push_back(url); });

    for (int showing = 0; showing < 2; ++showing) {
        ModalAnswerer answerer;
        bool focusOnClose = false;
        bool stillOpen = false;
        answerer.then([&](QWidget* box) {
            focusOnClose = about.Button1->hasFocus();
            QTest::mouseClick(about.Label5, Qt::LeftButton);
            QTest::mouseClick(about.Label5, Qt::LeftButton);
            stillOpen = box->isVisible();
            QTest::keyClick(box, Qt::Key_Return);
        });
        about.exec();
        EXPECT_TRUE(focusOnClose);
        EXPECT_TRUE(stillOpen);
        EXPECT_FALSE(about.isVisible());
    }
    EXPECT_EQ(asked, std::vector<QUrl>(4, QUrl(QString::fromLatin1(kWebPage))));
}

}  // namespace
}  // namespace tavomi
