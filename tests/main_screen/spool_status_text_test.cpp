// The main screen's line about the records waiting on this PC.

#include "main_screen/spool_status_text.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

TEST(SpoolStatusText, SaysHowManyWaitSinceWhenAndWhatWasSetAside) {
    const QDate today(2026, 12, 10);
    const QDateTime morning(today, QTime(7, 52));
    struct Case {
        SpoolStatus status;
        QString expected;
    };
    const Case cases[] = {
        {{}, QString()},
        {{3, morning, {}}, u"未送信 3件（07:52から）このPCに保存しています"_s},
        {{1, morning.addDays(-1), {}}, u"未送信 1件（12/9 07:52から）このPCに保存しています"_s},
        {{0, {}, "/var/lib/tavomi/spool/spool.txt.damaged"},
         u"保存した記録の一部が読めないため spool.txt.damaged に移しました"_s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(spoolStatusText(c.status, today), c.expected);
    }
}

}  // namespace
}  // namespace tavomi
