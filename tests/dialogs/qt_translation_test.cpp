// Qt's own texts (the standard dialogs' buttons and titles) in the office's language: this
// test runs in a Japanese locale (see CMakeLists.txt).
#include "dialogs/qt_translation.h"

#include <QCoreApplication>
#include <QFileDialog>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

TEST(QtTranslation, StandardDialogsSpeakJapaneseInAJapaneseLocale) {
    ASSERT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Cancel"_s);
    ASSERT_TRUE(loadQtTranslation());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"キャンセル"_s);
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Save As"), u"Save As"_s);
    // The time clock's message boxes keep their one OK button as it is.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), u"OK"_s);
}

}  // namespace
}  // namespace tavomi
