// The board's report of a month: the bands at their edges, the job read from whichever
// field the list's header names, the counts by job, and the fiscal year's months over
// 45 hours from a journal worked out by hand.
#include "report/board_report.h"

#include "files/data_folder.h"
#include "report/journal_scan.h"
#include "support/data_folder_fixture.h"
#include "support/journal_header.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

constexpr int h(int hours, int minutes = 0) {
    return hours * 60 + minutes;
}

TEST(BoardReport, BandsAtTheirEdges) {
    const std::pair<int, OvertimeBand> cases[] = {
        {0, OvertimeBand::UpTo45},          {h(45), OvertimeBand::UpTo45},
        {h(45, 1), OvertimeBand::Over45},   {h(80), OvertimeBand::Over45},
        {h(80, 1), OvertimeBand::Over80},   {h(100), OvertimeBand::Over80},
        {h(100, 1), OvertimeBand::Over100},
    };
    for (const auto& [minutes, band] : cases) {
        EXPECT_EQ(overtimeBand(minutes), band) << minutes;
    }
}

TEST(BoardReport, JobFieldByItsHeader) {
    const std::pair<QStringList, qsizetype> cases[] = {
        {{u"カードID"_s, u"氏名"_s, u"職名"_s}, 2},
        {{u"カードID"_s, u"氏名"_s, u"ふりがな"_s, u"職種"_s}, 3},
        {{u"カードID"_s, u"氏名"_s, u"所属"_s, u"学年"_s, u" 役職 "_s}, 4},
        {{u"カードID"_s, u"氏名"_s, u"備考"_s}, 2},  // none named: the third
        {{u"職名"_s, u"氏名"_s, u"備考"_s}, 2},      // the card's field is never the job
    };
    for (const auto& [header, field] : cases) {
        EXPECT_EQ(jobFieldOf(header), field) << header.join(u',').toStdString();
    }
}

TEST(BoardReport, CardholdersJobsFromTheNamedField) {
    test::DataFolder data;
    data.writeLines(kCardholderListFile, {
                                             u"カードID,氏名,ふりがな,職種"_s,
                                             u"0000000000000001,山田　花子,やまだ,教諭"_s,
                                             u"0000000000000002,佐藤太郎,さとう, "_s,
                                             // A second card: the first job given stands.
                                             u"0000000000000003,山田　花子,やまだ,講師"_s,
                                             u"0000000000000004,鈴木　一郎,すずき"_s,
                                             u"0000000000000005,鈴木　一郎,すずき,養護教諭"_s,
                                         });
    const Cardholders list = readCardholderList(data.file(kCardholderListFile));
    EXPECT_EQ(list.names, (QStringList{u"山田　花子"_s, u"佐藤太郎"_s, u"鈴木　一郎"_s}));
    EXPECT_EQ(list.jobs.value(u"山田　花子"_s), u"教諭"_s);
    EXPECT_FALSE(list.jobs.contains(u"佐藤太郎"_s));
    EXPECT_EQ(list.jobs.value(u"鈴木　一郎"_s), u"養護教諭"_s);
    // The office's own choice of field wins over the header.
    EXPECT_EQ(readCardholderList(data.file(kCardholderListFile), 2).jobs.value(u"佐藤太郎"_s),
              u"さとう"_s);
}

// A teacher of the month with one record (or none) and the month's overtime.
void addTeacher(PeriodReport& report, const QString& name, const QString& job, int overtime,
                bool recorded = true) {
    DaySummary day;
    day.date = report.period.first();
    if (recorded) {
        PunchEvent event;
        event.name = name;
        event.date = day.date;
        day.events.push_back(event);
    }
    report.teachers.push_back({name, {day}});
    TeacherTotals totals;
    totals.name = name;
    totals.overtime = overtime;
    report.totals.push_back(totals);
    if (!job.isEmpty()) {
        report.jobs.insert(name, job);
    }
}

TEST(BoardReport, CountsInAllAndByJob) {
    PeriodReport report{ReportPeriod::ofMonth(2026, 10), {}, {}, {}, {}, {}};
    addTeacher(report, u"講師A"_s, u"講師"_s, h(80));
    addTeacher(report, u"教諭A"_s, u"教諭"_s, h(10));
    addTeacher(report, u"教諭B"_s, u"教諭"_s, h(45, 1));
    addTeacher(report, u"職なし"_s, QString(), h(81));
    addTeacher(report, u"教諭C"_s, u"教諭"_s, h(100, 1));
    addTeacher(report, u"休職中"_s, u"教諭"_s, 0, false);

    const BoardReport board = boardReport(report);
    // 10:00 | 45:01, 80:00 | 81:00 | 100:01; (600 + 2701 + 4800 + 4860 + 6001) / 5 = 3792
    // minutes, 63:12, over the target of 30 hours.
    EXPECT_EQ(boardBandRow(board.all),
              (QStringList{u"全体"_s, u"5"_s, u"1"_s, u"20.0%"_s, u"2"_s, u"40.0%"_s, u"1"_s,
                           u"20.0%"_s, u"1"_s, u"20.0%"_s, u"63:12"_s, u"超過"_s}));
    // The usual order of jobs, whatever order the teachers come in; no job last.
    ASSERT_EQ(board.byJob.size(), 3u);
    // (600 + 2701 + 6001) / 3 = 3100 minutes.
    EXPECT_EQ(boardBandRow(board.byJob[0]),
              (QStringList{u"教諭"_s, u"3"_s, u"1"_s, u"33.3%"_s, u"1"_s, u"33.3%"_s, u"0"_s,
                           u"0.0%"_s, u"1"_s, u"33.3%"_s, u"51:40"_s, u"超過"_s}));
    EXPECT_EQ(board.byJob[1].job, u"講師"_s);
    EXPECT_EQ(boardBandRow(board.byJob[2]).front(), u"（職名なし）"_s);
    EXPECT_EQ(board.byJob[2].count(OvertimeBand::Over80), 1);
    EXPECT_EQ(board.withoutRecords, QStringList{u"休職中"_s});
    EXPECT_EQ(board.teachers.size(), 5u);

    // No teacher: no share, an average of nothing within the target.
    EXPECT_EQ(boardBandRow(BandCounts{u"教頭"_s, {}, 0}),
              (QStringList{u"教頭"_s, u"0"_s, u"0"_s, u""_s, u"0"_s, u""_s, u"0"_s, u""_s, u"0"_s,
                           u""_s, u"0:00"_s, u""_s}));
}

// Two days off a month from April to October, no working hours anywhere: each day's time
// is all overtime. 05:00 to 28:00 is 23:00 (46:00 a month); 05:00 to 27:30 is 22:30
// (45:00, not over).
QStringList fiscalYearJournal() {
    QStringList lines{QString::fromUtf16(test::kJournalHeader)};
    auto day = [&](const QString& name, int month, int dayOfMonth, const QString& out) {
        const QString date = u"2026/%1/%2"_s.arg(month, 2, 10, QChar(u'0')).arg(dayOfMonth);
        lines << u"出勤,%1,%2,05:00,IC記録,詳細なし,事由なし"_s.arg(name, date)
              << u"退勤,%1,%2,%3,手動記録,詳細なし,事由なし"_s.arg(name, date, out);
    };
    for (int month = 4; month <= 10; ++month) {
        for (const int d : {10, 11}) {
            day(u"七か月"_s, month, d, u"28:00"_s);
            day(u"六か月"_s, month, d, month == 8 ? u"27:30"_s : u"28:00"_s);
        }
    }
    return lines;
}

TEST(BoardReport, MonthsOver45InTheFiscalYear) {
    test::DataFolder data;
    data.writeLines(kJournalFile, fiscalYearJournal());
    const ReportPeriod october = ReportPeriod::ofMonth(2026, 10);
    ReportCalendar noWorkingDays;
    noWorkingDays.today = QDate(2026, 10, 31);
    PeriodReport report =
        buildReport(october, scanJournal(data.file(kJournalFile), october, lookBackStart(october)),
                    {}, noWorkingDays);
    report.jobs.insert(u"七か月"_s, u"教諭"_s);
    const BoardReport board = boardReport(report);
    ASSERT_EQ(board.teachers.size(), 2u);  // in the order the journal names them
    // 7 × 46:00 = 322:00; six months' average of 46:00, over no cap.
    EXPECT_EQ(boardTeacherRow(board.teachers[0]),
              (QStringList{u"七か月"_s, u"教諭"_s, u"46:00"_s, u"超過"_s, u"7か月"_s, u"超過"_s,
                           u"322:00"_s, u""_s, u""_s, u"46:00"_s, u"2か月"_s, u""_s}));
    // August's 45:00 is not over: six months, 321:00.
    EXPECT_EQ(boardTeacherRow(board.teachers[1]),
              (QStringList{u"六か月"_s, u"（職名なし）"_s, u"46:00"_s, u"超過"_s, u"6か月"_s, u""_s,
                           u"321:00"_s, u""_s, u""_s, u"46:00"_s, u"2か月"_s, u""_s}));
    EXPECT_TRUE(board.teachers[0].totals.tooManyMonthsOver45());
    EXPECT_FALSE(board.teachers[1].totals.tooManyMonthsOver45());
}

TEST(BoardReport, YearlyCapsAtTheirEdges) {
    BoardTeacher teacher;
    const std::tuple<int, QString, QString> cases[] = {
        {h(360), u""_s, u""_s},
        {h(360, 1), u"超過"_s, u""_s},
        {h(720), u"超過"_s, u""_s},
        {h(720, 1), u"超過"_s, u"超過"_s},
    };
    for (const auto& [minutes, over360, over720] : cases) {
        teacher.totals.fiscalYearOvertime = minutes;
        const QStringList row = boardTeacherRow(teacher);
        EXPECT_EQ(row[7], over360) << minutes;
        EXPECT_EQ(row[8], over720) << minutes;
    }
}

TEST(CapLevels, EachWithItsMarkTheGravestFirst) {
    const struct {
        int overtime;
        int average;
        int fiscalYear;
        QString marked;
        std::optional<CapLevel> gravest;
    } cases[] = {
        {h(45), h(80), h(360), u""_s, std::nullopt},
        {h(45, 1), 0, 0, u"▲ 月45時間超"_s, CapLevel::Over45},
        {0, h(80, 1), 0, u"◆ 2～6か月平均80時間超"_s, CapLevel::AverageOver80},
        // 100 hours is already the gravest level (100 or more), as a month of 99:59 is not.
        {h(99, 59), 0, 0, u"▲ 月45時間超"_s, CapLevel::Over45},
        {h(100), h(90), h(400),
         u"● 月100時間以上 ◆ 2～6か月平均80時間超 ▲ 月45時間超 年360時間超"_s, CapLevel::Over100},
    };
    for (const auto& c : cases) {
        TeacherTotals t;
        t.overtime = c.overtime;
        t.highestAverage = c.average;
        t.fiscalYearOvertime = c.fiscalYear;
        EXPECT_EQ(markedCapFlags(t), c.marked) << c.overtime;
        EXPECT_EQ(gravestCapLevel(t), c.gravest) << c.overtime;
    }
    // Three colours, three marks: none shared.
    const auto& looks = capLevelLooks();
    EXPECT_NE(looks[0].rgb, looks[1].rgb);
    EXPECT_NE(looks[1].rgb, looks[2].rgb);
    EXPECT_NE(looks[0].mark, looks[1].mark);
    EXPECT_NE(looks[1].mark, looks[2].mark);
    EXPECT_EQ(capLevelLegend(), u"凡例: ▲ 月45時間超　◆ 2～6か月平均80時間超　● 月100時間以上"_s);
}

TEST(CapLevels, PrincipalsOrderIsLargestOvertimeFirstTiesAsListed) {
    std::vector<TeacherTotals> totals(5);
    const int overtime[] = {h(10), h(50), 0, h(50), h(101)};
    for (std::size_t i = 0; i < totals.size(); ++i) {
        totals[i].overtime = overtime[i];
    }
    EXPECT_EQ(byOvertimeLargestFirst(totals), (std::vector<std::size_t>{4, 1, 3, 0, 2}));
}

}  // namespace
}  // namespace tavomi
