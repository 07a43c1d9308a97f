// A month's 在校等時間 and overtime, on a CP932 journal whose hours were worked out by
// hand (the working days are 08:15-16:45 with a 45-minute break: 7:45 scheduled).
#include "report/month_totals.h"

#include "files/cp932.h"
#include "files/data_folder.h"
#include "report/journal_scan.h"
#include "report/report_model.h"
#include "calendar/school_calendar.h"
#include "support/data_folder_fixture.h"
#include "support/journal_header.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

QStringList lines(std::initializer_list<const char16_t*> texts) {
    QStringList list;
    for (const char16_t* text : texts) {
        list.append(QString::fromUtf16(text));
    }
    return list;
}

void writeTotalsFixture(const test::DataFolder& data) {
    data.writeLines(kCardholderListFile, lines({
                                             u"カードID,氏名,職名",
                                             u"0123456789ABCDEF,山田　花子,教諭",
                                             u"1111111111111111,佐藤太郎,教頭",
                                             u"2222222222222222,鈴木　一郎,講師",
                                         }));
    data.writeLines(kWorkingHoursFile, lines({
                                           u"日付,開始,終了,休憩",
                                           u"2026/04/01,08:15,16:45,00:45",
                                           u"2026/06/01,08:15,16:45,00:45",
                                           u"2026/07/01,08:15,16:45,00:45",
                                           u"2026/07/02,08:15,16:45,00:45",
                                           u"2026/07/03,08:15,16:45,00:45",
                                       }));
    data.writeLines(
        kJournalFile,
        lines({
            test::kJournalHeader,
            // Before the look-back (February on): never counted.
            u"出勤,佐藤太郎,2026/01/05,08:00,IC記録,詳細なし,事由なし",
            u"退勤,佐藤太郎,2026/01/05,23:00,IC記録,詳細なし,事由なし",
            // March, a working day of the weekly table (no line in working_hours.txt): 1:30 of
            // overtime, in the averages but not the fiscal year.
            u"出勤,佐藤太郎,2026/03/02,08:00,IC記録,詳細なし,事由なし",
            u"退勤,佐藤太郎,2026/03/02,18:00,IC記録,詳細なし,事由なし",
            // April: 12:00 less the break is 11:15, 3:30 beyond 7:45.
            u"出勤,鈴木　一郎,2026/04/01,08:00,IC記録,詳細なし,事由なし",
            u"退勤,鈴木　一郎,2026/04/01,20:00,IC記録,詳細なし,事由なし",
            // June: 3:30 for 佐藤; 2:00 on a day off for a name with a comma; a garbled
            // line of June is June's business.
            u"出勤,佐藤太郎,2026/06/01,07:00,IC記録,詳細なし,事由なし",
            u"退勤,佐藤太郎,2026/06/01,19:00,IC記録,詳細なし,事由なし",
            u"出勤,山田,次郎,2026/06/06,08:00,IC記録,詳細なし,事由なし",
            u"退勤,山田,次郎,2026/06/06,10:00,IC記録,詳細なし,事由なし",
            u"出張,佐藤太郎,2026/06/10,09:00,IC記録,詳細なし,事由なし",
            // July, 山田: going out 1:10 (10:17 - 1:10 - 0:45 = 8:22, 0:37 over).
            u"出勤,山田　花子,2026/07/01,07:45,IC記録,詳細なし,事由なし",
            u"外出,山田　花子,2026/07/01,13:10,IC記録,詳細s,事由職専免",
            u"戻り,山田　花子,2026/07/01,14:20,IC記録,詳細なし,事由なし",
            u"退勤,山田　花子,2026/07/01,18:02,IC記録,詳細bchm1,事由なし",
            // After midnight, written under its date: 17:20 - 0:45 = 16:35, 8:50 over.
            u"出勤,山田　花子,2026/07/02,08:10,IC記録,詳細なし,事由なし",
            u"退勤,山田　花子,2026/07/02,25:30,手動記録,詳細なし,事由なし",
            // A 中抜 of two hours: 9:00 - 2:00 - 0:45 = 6:15, nothing over.
            u"出勤,山田　花子,2026/07/03,08:00,IC記録,詳細なし,事由なし",
            u"中抜,山田　花子,2026/07/03,02:00,IC記録,詳細なし,事由年休",
            u"退勤,山田　花子,2026/07/03,17:00,IC記録,詳細なし,事由なし",
            // A Saturday: all of 3:30 is overtime.
            u"出勤,山田　花子,2026/07/04,09:00,IC記録,詳細なし,事由なし",
            u"退勤,山田　花子,2026/07/04,12:30,IC記録,詳細なし,事由なし",
            // No clock-out: a day at school, no hours.
            u"出勤,山田　花子,2026/07/06,08:00,IC記録,詳細なし,事由なし",
            // 佐藤 crosses 45 h: 22:00 on each of two days off, 3:30 on a working day.
            u"出勤,佐藤太郎,2026/07/01,07:00,IC記録,詳細なし,事由なし",
            u"退勤,佐藤太郎,2026/07/01,19:00,IC記録,詳細なし,事由なし",
            u"出勤,佐藤太郎,2026/07/05,06:00,IC記録,詳細なし,事由なし",
            u"退勤,佐藤太郎,2026/07/05,28:00,手動記録,詳細なし,事由なし",
            u"出勤,佐藤太郎,2026/07/11,06:00,IC記録,詳細なし,事由なし",
            u"退勤,佐藤太郎,2026/07/11,28:00,手動記録,詳細なし,事由なし",
            // 1:00 less the break: 0:15.
            u"出勤,山田,次郎,2026/07/01,08:00,IC記録,詳細なし,事由なし",
            u"退勤,山田,次郎,2026/07/01,09:00,IC記録,詳細なし,事由なし",
            // After the month: not counted.
            u"出勤,佐藤太郎,2026/08/03,08:00,IC記録,詳細なし,事由なし",
            u"退勤,佐藤太郎,2026/08/03,22:00,IC記録,詳細なし,事由なし",
        }));
}

ReportCalendar calendarOf(const test::DataFolder& data) {
    ReportCalendar calendar;
    calendar.workingHours = readWorkingHours(data.file(kWorkingHoursFile));
    calendar.weekly = readWeeklyHours(data.file(kWeeklyTableFile));
    calendar.school = readSchoolCalendar(data.appFolder());
    calendar.today = QDate(2026, 7, 31);
    return calendar;
}

struct Expected {
    QString name;
    int days;
    QString present;
    QString overtime;
    QString fiscalYear;
    QString highestAverage;
    int averageMonths;
    QStringList flags;
    QStringList uncounted;
};

TEST(MonthTotals, HoursWorkedOutByHand) {
    test::DataFolder data;
    writeTotalsFixture(data);
    const ReportPeriod july = ReportPeriod::ofMonth(2026, 7);
    ASSERT_EQ(lookBackStart(july), QDate(2026, 2, 1));

    const PeriodReport report =
        buildReport(july, scanJournal(data.file(kJournalFile), july, lookBackStart(july)),
                    readCardholderNames(data.file(kCardholderListFile)), calendarOf(data));

    const Expected expected[] = {
        // 8:22 + 16:35 + 6:15 + 3:30; 0:37 + 8:50 + 3:30.
        {u"山田　花子"_s,
         5,
         u"34:42"_s,
         u"12:57"_s,
         u"12:57"_s,
         u"6:28"_s,
         2,
         {},
         {u"6日 退勤なし"_s}},
        // 22:00 + 22:00 + 11:15; June's 3:30 joins the year, and the two months'
        // average (3:30 + 47:30) / 2 is the highest.
        {u"佐藤太郎"_s,
         3,
         u"55:15"_s,
         u"47:30"_s,
         u"51:00"_s,
         u"25:30"_s,
         2,
         {u"月45時間超"_s},
         {}},
        // April's 3:30 over April to July.
        {u"鈴木　一郎"_s, 0, u"0:00"_s, u"0:00"_s, u"3:30"_s, u"0:52"_s, 4, {}, {}},
        {u"山田,次郎"_s, 1, u"0:15"_s, u"0:00"_s, u"2:00"_s, u"1:00"_s, 2, {}, {}},
    };
    ASSERT_EQ(report.totals.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const TeacherTotals& t = report.totals[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(e.name.toStdString());
        EXPECT_EQ(t.name, e.name);
        EXPECT_EQ(t.attendanceDays, e.days);
        EXPECT_EQ(hoursText(t.present), e.present);
        // July's 23 weekdays but 海の日 (7/20), of 7:45 each: the three with a line of
        // working_hours.txt and the others from the weekly table.
        EXPECT_EQ(hoursText(t.scheduled), u"170:30"_s);
        EXPECT_EQ(hoursText(t.overtime), e.overtime);
        EXPECT_EQ(hoursText(t.fiscalYearOvertime), e.fiscalYear);
        EXPECT_EQ(hoursText(t.highestAverage), e.highestAverage);
        EXPECT_EQ(t.highestAverageMonths, e.averageMonths);
        EXPECT_EQ(capFlags(t), e.flags);
        EXPECT_EQ(t.uncounted, e.uncounted);
    }
    // June's garbled line is not July's.
    EXPECT_TRUE(report.garbled.empty());
}

QByteArray journalOf(std::initializer_list<QByteArray> records) {
    QByteArray bytes = test::DataFolder::cp932Lines(lines({test::kJournalHeader}));
    for (const QByteArray& record : records) {
        bytes += record + "\r\n";
    }
    return bytes;
}

// A record whose name is given as bytes.
QByteArray recordOf(const char16_t* kind, const char* name, const char16_t* rest) {
    return encodeCp932(QString::fromUtf16(kind)) + name + encodeCp932(QString::fromUtf16(rest));
}

// July's fiscal year overtime of 纊田, whose earlier months are in `journal`; no working
// hours, so that every day is a day off and all of it overtime.
QString fiscalYearOvertimeOfJuly(const QByteArray& journal) {
    test::DataFolder data;
    data.writeLines(kCardholderListFile,
                    lines({u"カードID,氏名,職名", u"0123456789ABCDEF,纊田,教諭"}));
    data.writeLines(kWorkingHoursFile, lines({u"日付,開始,終了,休憩"}));
    data.writeBytes(kJournalFile, journal);
    const ReportPeriod july = ReportPeriod::ofMonth(2026, 7);
    ReportCalendar noWorkingDays;  // no weekly table either
    noWorkingDays.workingHours = readWorkingHours(data.file(kWorkingHoursFile));
    const PeriodReport report =
        buildReport(july, scanJournal(data.file(kJournalFile), july, lookBackStart(july)),
                    readCardholderNames(data.file(kCardholderListFile)), noWorkingDays);
    return report.totals.size() == 1 ? hoursText(report.totals[0].fiscalYearOvertime)
                                     : u"no one teacher"_s;
}

// CP932 has some characters twice (纊 is ED 40 and FA 5C): a name written both ways is one
// teacher, whose day may hold records of both (a card's and a manual one).
TEST(MonthTotals, EarlierMonthsOfOneNameWrittenTwoWaysAreOneTeachers) {
    const char* one = "\xED\x40";
    const char* other = "\xFA\x5C";
    EXPECT_EQ(fiscalYearOvertimeOfJuly(journalOf({
                  // 1:00 in May one way, 2:00 in June the other, 3:00 on a day of both.
                  recordOf(u"出勤,", one, u"田,2026/05/09,09:00,IC記録,詳細なし,事由なし"),
                  recordOf(u"退勤,", one, u"田,2026/05/09,10:00,IC記録,詳細なし,事由なし"),
                  recordOf(u"出勤,", other, u"田,2026/06/13,09:00,IC記録,詳細なし,事由なし"),
                  recordOf(u"退勤,", other, u"田,2026/06/13,11:00,IC記録,詳細なし,事由なし"),
                  recordOf(u"出勤,", one, u"田,2026/06/20,09:00,IC記録,詳細なし,事由なし"),
                  recordOf(u"退勤,", other, u"田,2026/06/20,12:00,手動記録,詳細なし,事由なし"),
              })),
              u"6:00"_s);
}

// A line of an earlier month that is no record counts nothing (and a line whose date
// follows its kind, with no name field, once crashed the report).
TEST(MonthTotals, EarlierLinesThatAreNoRecordsCountNothing) {
    EXPECT_EQ(fiscalYearOvertimeOfJuly(journalOf({
                  recordOf(u"出勤,", "", u"2026/06/13,08:00,IC記録,詳細なし,事由なし"),
                  recordOf(u"出勤", "\t", u"纊田,2026/06/13,09:00,IC記録,詳細なし,事由なし"),
                  recordOf(u"退勤,", "", u"纊田,2026/06/13,10:00,IC記録,詳細なし,事由なし"),
              })),
              u"0:00"_s);
}

struct DayCase {
    const char* name;
    std::vector<TimedRecord> records;
    bool scheduled;  // 08:15-16:45 with a 0:45 break, or a day off
    bool counted;
    int present;
    int outside;
    int deducted;
    int overtime;
};

TEST(DayHours, TableOfDays) {
    using K = RecordKind;
    DaySchedule working;
    working.scheduled = 465;
    working.rest = 45;
    const DayCase cases[] = {
        {"a scheduled day exactly", {{K::ClockIn, 495}, {K::ClockOut, 1005}}, true, true, 465, 0,
         45, 0},
        {"no clock-out", {{K::ClockIn, 480}}, true, false, 0, 0, 0, 0},
        {"no clock-in", {{K::ClockOut, 1000}}, true, false, 0, 0, 0, 0},
        {"clock-out before clock-in", {{K::ClockIn, 600}, {K::ClockOut, 500}}, true, false, 0, 0, 0,
         0},
        // 08:00 to 18:00, out on duty from 15:00 and never back: all of it counts.
        {"going out on duty without a return",
         {{K::ClockIn, 480}, {K::GoingOut, 900}, {K::ClockOut, 1080}},
         true, true, 555, 180, 45, 90},
        // The same on leave: the time out is not at work.
        {"going out on leave without a return",
         {{K::ClockIn, 480}, {K::GoingOut, 900, true}, {K::ClockOut, 1080}},
         true, true, 375, 0, 225, 0},
        // A leave reason on the return alone makes the period leave as well.
        {"leave written on the return",
         {{K::ClockIn, 480}, {K::GoingOut, 600}, {K::Return, 660, true}, {K::ClockOut, 1020}},
         true, true, 435, 0, 105, 0},
        // A second clock-in changes nothing: the first counts.
        {"second clock-in", {{K::ClockIn, 480}, {K::ClockIn, 540}, {K::ClockOut, 1080}}, false,
         true, 600, 0, 0, 600},
        // Two duty going-outs of 0:30 each on a day off: no break on a day off.
        {"two going-outs on a day off",
         {{K::ClockIn, 480},
          {K::GoingOut, 600},
          {K::Return, 630},
          {K::GoingOut, 700},
          {K::Return, 730},
          {K::ClockOut, 780}},
         false, true, 300, 60, 0, 300},
        // A 中抜 of 2:00 is always deducted.
        {"中抜", {{K::ClockIn, 480}, {K::MidDayAbsence, 120, true}, {K::ClockOut, 1080}}, true,
         true, 435, 0, 165, 0},
        {"until 28:59", {{K::ClockIn, 1380}, {K::ClockOut, 28 * 60 + 59}}, false, true, 359, 0, 0,
         359},
    };
    for (const DayCase& c : cases) {
        const DayHours got = dayHours(c.records, c.scheduled ? working : DaySchedule{});
        EXPECT_EQ(got.counted, c.counted) << c.name;
        EXPECT_EQ(got.present, c.present) << c.name;
        EXPECT_EQ(got.outside, c.outside) << c.name;
        EXPECT_EQ(got.deducted, c.deducted) << c.name;
        EXPECT_EQ(got.overtime, c.overtime) << c.name;
    }
    DaySchedule unreadable;
    unreadable.unreadable = true;
    const DayHours got = dayHours({{K::ClockIn, 480}, {K::ClockOut, 1020}}, unreadable);
    EXPECT_EQ(got.present, 540);
    EXPECT_FALSE(got.overtimeCounted);
}

TEST(MonthTotals, CapsAtTheirEdges) {
    struct Case {
        int overtime;
        int fiscalYear;
        int average;
        QStringList flags;
    } cases[] = {
        {45 * 60, 360 * 60, 80 * 60, {}},
        {45 * 60 + 1, 0, 0, {u"月45時間超"_s}},
        {100 * 60,
         0,
         80 * 60 + 1,
         {u"月45時間超"_s, u"2～6か月平均80時間超"_s, u"月100時間以上"_s}},
        {0, 360 * 60 + 1, 0, {u"年360時間超"_s}},
    };
    for (const Case& c : cases) {
        TeacherTotals t;
        t.overtime = c.overtime;
        t.fiscalYearOvertime = c.fiscalYear;
        t.highestAverage = c.average;
        EXPECT_EQ(capFlags(t), c.flags) << c.overtime;
    }
}

}  // namespace
}  // namespace tavomi
