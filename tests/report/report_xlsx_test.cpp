// The workbook's principal's sheet at a glance, read back through openpyxl: largest
// overtime first, each cap level in its own colour with its mark; and the names a teacher's
// sheet can take.
#include "report/report_xlsx.h"

#include "report/board_report.h"
#include "support/qt_printers.h"
#include "support/workbook_reader.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

TEST(MonthWorkbook, PrincipalsSheetLargestFirstWithEachLevelColouredAndMarked) {
    PeriodReport report{ReportPeriod::ofMonth(2026, 10), {}, {}, {}, {}, {}};
    const struct {
        const char16_t* name;
        int overtime;
        int average;
    } teachers[] = {
        {u"平常", 20 * 60, 20 * 60},
        {u"月45超", 46 * 60, 30 * 60},
        {u"百時間", 100 * 60, 90 * 60},
        {u"平均80超", 44 * 60, 81 * 60},
    };
    for (const auto& t : teachers) {
        DaySummary day;
        day.date = report.period.first();
        report.teachers.push_back({QString::fromUtf16(t.name), {day}});
        TeacherTotals totals;
        totals.name = QString::fromUtf16(t.name);
        totals.overtime = t.overtime;
        totals.highestAverage = t.average;
        totals.highestAverageMonths = 2;
        report.totals.push_back(totals);
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(u"october.xlsx"_s);
    ASSERT_EQ(writeMonthWorkbook(report, file), QString());
    const QJsonObject book = test::readWorkbook(file);

    const QString sheet = u"校長"_s;
    const struct {
        const char16_t* name;
        const char16_t* flags;
        const char* fill;  // of the overtime and of the flags
    } rows[] = {
        {u"百時間", u"s ● 月100時間以上 ◆ 2～6か月平均80時間超 ▲ 月45時間超", "F28080"},
        {u"月45超", u"s ▲ 月45時間超", "FFE699"},
        {u"平均80超", u"s ◆ 2～6か月平均80時間超", "F8B26A"},
        {u"平常", u"-", "-"},
    };
    for (int i = 0; i < static_cast<int>(std::size(rows)); ++i) {
        const int row = 3 + i;
        SCOPED_TRACE(row);
        EXPECT_EQ(test::cellOf(book, sheet, row, 0), u"s "_s + QString::fromUtf16(rows[i].name));
        EXPECT_EQ(test::cellOf(book, sheet, row, 11), QString::fromUtf16(rows[i].flags));
        EXPECT_EQ(test::fillOf(book, sheet, row, 6), QLatin1String(rows[i].fill));
        EXPECT_EQ(test::fillOf(book, sheet, row, 11), QLatin1String(rows[i].fill));
    }
    EXPECT_EQ(test::cellOf(book, sheet, 1, 0), u"s "_s + capLevelLegend());
}

TEST(MonthWorkbook, SheetNamesASpreadsheetTakes) {
    QStringList taken{u"校長"_s, u"教育委員会"_s, u"確認事項"_s};
    const std::pair<QString, QString> cases[] = {
        {u"山田　花子"_s, u"山田　花子"_s},
        {u"山田　花子"_s, u"山田　花子(2)"_s},  // a name twice (two cards, say)
        {u"a/b:c*d?[e]\\f"_s, u"abcdef"_s},
        {u"'引用'"_s, u"引用"_s},
        {u"校長"_s, u"校長(2)"_s},  // never one of the workbook's own sheets
        {u"Ann"_s, u"Ann"_s},
        {u"ANN"_s, u"ANN(2)"_s},  // letter case aside
        {u"\x01[]"_s, u"氏名なし"_s},
        {QString(40, u'長'), QString(31, u'長')},
        {QString(40, u'長'), QString(28, u'長') + u"(2)"_s},
    };
    for (const auto& [name, sheet] : cases) {
        EXPECT_EQ(sheetNameFor(name, taken), sheet) << name.toStdString();
    }
}

}  // namespace
}  // namespace tavomi
