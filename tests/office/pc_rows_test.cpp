// The reception PCs on the office's board: each PC's line, and which need a look.
#include "files/pc_status.h"
#include "office/window_reads.h"
#include "office/window_texts.h"
#include "support/data_folder_fixture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

const QDate kToday(2026, 12, 10);  // a Thursday
const SchoolHours kHours{8 * 60 + 15, 16 * 60 + 45};

QDateTime at(int hour, int minute, const QDate& date = kToday) {
    return QDateTime(date, QTime(hour, minute));
}

PcStatusFile pcFile(const QDateTime& reached, int waiting = 0, const QDateTime& since = {}) {
    const PcStatus status{u"reception-1"_s, u"2.8.24"_s, reached,
                          waiting,          since,       at(17, 5, kToday.addDays(-1))};
    return {pcStatusFileName(status.pcName), {status, PcStatusProblem::None}, std::nullopt};
}

TEST(PcRowsTest, APcIsMarkedWhenItsRecordsWaitOrItHasNotReachedTheShareDuringSchoolHours) {
    const struct {
        const char* what;
        PcStatusFile file;
        QDateTime now;
        std::optional<SchoolHours> hours;
        QString standing;
    } cases[] = {
        {"all well", pcFile(at(10, 0)), at(10, 20), kHours, u"正常"_s},
        {"not reached for 30 minutes exactly", pcFile(at(10, 0)), at(10, 30), kHours, u"正常"_s},
        {"not reached for 31 minutes", pcFile(at(10, 0)), at(10, 31), kHours,
         u"※ 要確認：31分ファイルサーバーに届いていません"_s},
        {"off since yesterday, as school starts", pcFile(at(17, 0, kToday.addDays(-1))), at(8, 15),
         kHours, u"※ 要確認：15時間15分ファイルサーバーに届いていません"_s},
        {"off since yesterday, before school", pcFile(at(17, 0, kToday.addDays(-1))), at(8, 14),
         kHours, u"正常"_s},
        {"off in the evening", pcFile(at(16, 0)), at(18, 0), kHours, u"正常"_s},
        {"off on a day off", pcFile(at(17, 0, kToday.addDays(-3))), at(10, 0), std::nullopt,
         u"正常"_s},
        {"records waiting 30 minutes", pcFile(at(10, 30), 2, at(10, 0)), at(10, 30), kHours,
         u"正常"_s},
        {"records waiting 45 minutes, in the evening too", pcFile(at(18, 0), 2, at(17, 30)),
         at(18, 15), kHours, u"※ 要確認：未送信の記録が45分待っています"_s},
        {"both", pcFile(at(9, 0), 12, at(8, 0)), at(11, 0), kHours,
         u"※ 要確認：未送信の記録が3時間待っています／2時間ファイルサーバーに届いていません"_s},
        {"a PC whose clock is ahead", pcFile(at(11, 0), 1, at(10, 59)), at(10, 0), kHours,
         u"正常"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<PcRow> rows = pcRows({c.file}, c.hours, c.now);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].standing, c.standing);
        EXPECT_EQ(rows[0].needsLook, c.standing.startsWith(u"※"_s));
        EXPECT_EQ(rows[0].name, u"reception-1"_s);
    }

    const PcRow waiting = pcRows({pcFile(at(10, 30), 2, at(7, 58))}, kHours, at(10, 40))[0];
    EXPECT_EQ(waiting.reached, u"10:30"_s);
    EXPECT_EQ(waiting.waiting, u"2件（07:58から）"_s);
    EXPECT_EQ(waiting.cardList, u"12/09 17:05"_s);
    EXPECT_EQ(waiting.version, u"2.8.24"_s);
    EXPECT_EQ(pcRows({pcFile(at(10, 30))}, kHours, at(10, 40))[0].waiting, u"なし"_s);
}

TEST(PcRowsTest, AFileThatGivesNoStatusIsALineThatNeedsALook) {
    const struct {
        const char* what;
        PcStatusFile file;
        QString name;
        QString standing;
    } cases[] = {
        {"torn",
         {"reception-2.txt", {std::nullopt, PcStatusProblem::Incomplete}, std::nullopt},
         u"reception-2"_s,
         u"※ 要確認：状態ファイルが途中で切れているか、壊れています"_s},
        {"someone's note",
         {"notes.txt", {std::nullopt, PcStatusProblem::NotAStatusFile}, std::nullopt},
         u"notes"_s,
         u"※ 要確認：Tavomi の状態ファイルではありません"_s},
        {"unreadable, a name with an escape",
         {"%1B%5B31m.txt",
          {std::nullopt, PcStatusProblem::Unreadable},
          FileError("/data/tavomi-pcs/%1B%5B31m.txt", "cannot open", EACCES)},
         u"␛[31m"_s,
         u"※ 要確認：状態ファイルを読めません（"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<PcRow> rows = pcRows({c.file}, kHours, at(10, 0));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].name, c.name);
        EXPECT_TRUE(rows[0].standing.startsWith(c.standing)) << rows[0].standing.toStdString();
        EXPECT_TRUE(rows[0].needsLook);
        EXPECT_FALSE(rows[0].standing.contains(u'\n'));
    }
}

// The school's hours are the date's scheduled ones; a day off has none.
TEST(PcRowsTest, TheBoardReadsThePcsWithTheSchoolsHoursOfTheDay) {
    test::DataFolder folder;
    writePcStatus(folder.appFolder(), *pcFile(at(10, 0)).read.status);
    std::ofstream(folder.appFolder() / "attendance_manegement" / "tavomi-pcs" / "torn.txt")
        << "tavomi-pc-status 1\npc=recep";

    const auto thursday = readPcStatusesOn(folder.appFolder(), kToday);
    ASSERT_TRUE(std::holds_alternative<PcStatusesRead>(thursday));
    const PcStatusesRead& read = std::get<PcStatusesRead>(thursday);
    EXPECT_EQ(read.schoolHours, kHours);
    const std::vector<PcRow> rows = pcRows(read.files, read.schoolHours, at(10, 31));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].standing, u"※ 要確認：31分ファイルサーバーに届いていません"_s);
    EXPECT_EQ(rows[1].name, u"torn"_s);
    EXPECT_TRUE(rows[1].needsLook);

    const auto saturday = readPcStatusesOn(folder.appFolder(), QDate(2026, 12, 12));
    ASSERT_TRUE(std::holds_alternative<PcStatusesRead>(saturday));
    EXPECT_EQ(std::get<PcStatusesRead>(saturday).schoolHours, std::nullopt);
}

}  // namespace
}  // namespace tavomi
