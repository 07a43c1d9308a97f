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

// While the clock runs on its local copy: since when the server is away, and how old the
// card list is, in red once it is more than a week old.
TEST(SpoolStatusText, SaysTheServerIsAwayAndHowOldTheCardListIs) {
    const QDateTime now(QDate(2026, 12, 11), QTime(7, 52));
    const QString start =
        u"ファイルサーバーにつながりません（07:52から）。記録はこのPCに保存し、"
        u"つながったら送ります。カードの一覧は "_s;
    EXPECT_EQ(shareAwayText(now, now.addSecs(-15 * 3600), now), start + u"12/10 16:52 のもの"_s);
    EXPECT_EQ(shareAwayText(now, now.addDays(-8), now),
              start + u"<span style=\"color: #d00000;\">12/3 07:52</span> のもの"_s);
    EXPECT_EQ(
        waitingForShareText(now.addDays(-1), now.date()),
        u"ファイルサーバーを待っています（12/10 07:52から）。\nつながると自動で始まります。"_s);
}

}  // namespace
}  // namespace tavomi
