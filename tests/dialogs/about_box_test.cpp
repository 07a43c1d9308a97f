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

template <typename W>
W* control(const AboutBox& about, const char* name) {
    auto* widget = about.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

TEST(AboutBoxTest, Face) {
    AboutBox about;
    const auto* title = control<QLabel>(about, "titleLabel");
    const auto* contact = control<QLabel>(about, "contactLabel");
    const auto* address = control<QLabel>(about, "webAddressLabel");
    const auto* version = control<QLabel>(about, "versionLabel");
    const auto* picture = control<QSvgWidget>(about, "aboutPicture");
    const auto* closeButton = control<QPushButton>(about, "closeButton");
    ASSERT_TRUE(title && contact && address && version && picture && closeButton);

    EXPECT_EQ(about.windowTitle(), QStringLiteral("about"));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_EQ(title->text(), QStringLiteral("Tavomi!"));
    EXPECT_EQ(version->text(), QStringLiteral("Tavomi ver 2.8.24_s"));
    EXPECT_EQ(contact->text(),
              QStringLiteral("If you need more informations , please contact  to "));
    EXPECT_EQ(address->text(), QString::fromLatin1(kWebPage));
    EXPECT_EQ(closeButton->text(), QStringLiteral("Close"));
    EXPECT_EQ(picture->size(), QSize(144, 147));
    EXPECT_TRUE(picture->renderer()->isValid());
    // The address continues the contact sentence on the same line.
    EXPECT_EQ(address->x(), contact->geometry().right() + 1);
    EXPECT_EQ(address->geometry().center().y(), contact->geometry().center().y());
    EXPECT_LE(address->geometry().right(), about.width());
    // "Tavomi!" at the top left, the picture beside it.
    EXPECT_LT(title->x(), picture->x());
    EXPECT_LT(title->y(), contact->y());
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
    auto* address = control<QLabel>(about, "webAddressLabel");
    auto* closeButton = control<QPushButton>(about, "closeButton");
    ASSERT_TRUE(address && closeButton);
    std::vector<QUrl> asked;
    about.setUrlOpener([&](const QUrl& url) { asked.push_back(url); });

    for (int showing = 0; showing < 2; ++showing) {
        ModalAnswerer answerer;
        bool focusOnClose = false;
        bool stillOpen = false;
        answerer.then([&](QWidget* box) {
            focusOnClose = closeButton->hasFocus();
            QTest::mouseClick(address, Qt::LeftButton);
            QTest::mouseClick(address, Qt::LeftButton);
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
