// The confirmation box every recording screen reports through.
#include "dialogs/confirm_box.h"
#include "support/modal_helper.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace tavomi {
namespace {

using test::ModalAnswerer;

TEST(ConfirmBoxTest, FaceAndMessage) {
    TForm13 box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Form13"));
    EXPECT_EQ(box.Button1->text(), QString::fromUtf16(u"OK！　確認しました"));
    EXPECT_TRUE(box.Label1->alignment().testFlag(Qt::AlignHCenter));

    ModalAnswerer answerer;
    box.showMessage(QString::fromUtf16(u"出勤を記録しました\r\n\r\n山田　花子"));
    box.showMessage(QString());
    EXPECT_EQ(
        answerer.texts(),
        (std::vector<QString>{QString::fromUtf16(u"出勤を記録しました\n\n山田　花子"), QString()}));
}

// Enter, Space (the button has the focus) and the close box all end it alike.
TEST(ConfirmBoxTest, EveryWayOfClosingEndsTheWait) {
    const std::vector<std::function<void(QWidget*)>> ways = {
        [](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); },
        [](QWidget* box) { QTest::keyClick(box->focusWidget(), Qt::Key_Space); },
        [](QWidget* box) { box->close(); },
    };
    TForm13 box;
    for (std::size_t i = 0; i < ways.size(); ++i) {
        SCOPED_TRACE(i);
        ModalAnswerer answerer;
        bool focused = false;
        answerer.then([&, i](QWidget* shown) {
            focused = box.Button1->hasFocus();
            ways[i](shown);
        });
        box.showMessage(QStringLiteral("x"));
        EXPECT_TRUE(focused);
        EXPECT_EQ(answerer.count(), 1);
        EXPECT_FALSE(box.isVisible());
    }
}

}  // namespace
}  // namespace tavomi
