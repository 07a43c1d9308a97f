// The confirmation box every recording screen reports through.
#include "dialogs/confirm_box.h"
#include "support/modal_helper.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using test::ModalAnswerer;

QPushButton* okButton(const ConfirmBox& box) {
    auto* button = box.findChild<QPushButton*>("okButton");
    EXPECT_NE(button, nullptr);
    return button;
}

TEST(ConfirmBoxTest, FaceAndMessage) {
    ConfirmBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Form13"));
    auto* message = box.findChild<QLabel*>("messageLabel");
    ASSERT_TRUE(okButton(box) && message);
    EXPECT_EQ(okButton(box)->text(), u"OK！　確認しました"_s);
    EXPECT_TRUE(message->alignment().testFlag(Qt::AlignHCenter));

    ModalAnswerer answerer;
    box.showMessage(u"出勤を記録しました\r\n\r\n山田　花子"_s);
    box.showMessage(QString());
    EXPECT_EQ(answerer.texts(),
              (std::vector<QString>{u"出勤を記録しました\n\n山田　花子"_s, QString()}));
}

// Enter, Space (the button has the focus) and the close box all end it alike.
TEST(ConfirmBoxTest, EveryWayOfClosingEndsTheWait) {
    const std::vector<std::function<void(QWidget*)>> ways = {
        [](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); },
        [](QWidget* box) { QTest::keyClick(box->focusWidget(), Qt::Key_Space); },
        [](QWidget* box) { box->close(); },
    };
    ConfirmBox box;
    for (std::size_t i = 0; i < ways.size(); ++i) {
        SCOPED_TRACE(i);
        ModalAnswerer answerer;
        bool focused = false;
        answerer.then([&, i](QWidget* shown) {
            focused = okButton(box)->hasFocus();
            ways[i](shown);
        });
        box.showMessage(QStringLiteral("x"));
        EXPECT_TRUE(focused);
        EXPECT_EQ(answerer.count(), 1);
        EXPECT_FALSE(box.isVisible());
    }
}

// Centred on the screen, not over the window that owns it (the main screen sits
// wherever the desktop put it).
TEST(ConfirmBoxTest, CentredOnTheScreen) {
    QWidget owner;
    owner.setGeometry(0, 0, 636, 524);
    owner.show();
    ConfirmBox box(&owner);
    ModalAnswerer answerer;
    QPoint centre;
    answerer.then([&](QWidget* shown) {
        centre = shown->frameGeometry().center();
        ModalAnswerer::pressOk(shown);
    });
    box.showMessage(u"出勤を記録しました"_s);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((centre - screenCentre).manhattanLength(), 2) << centre.x() << "," << centre.y();
}

}  // namespace
}  // namespace tavomi
