// A school's July 2026 with every case the office's numbers must get right, worked out by
// hand: a gap in working_hours.txt, a line written as a spreadsheet writes it (8:15), one
// that cannot be read, 海の日 (7/20) with a derived line, a school day off and a Saturday
// worked from the school's calendar, a duty and a leave going-out, a 中抜, a clock-out
// after midnight, a day without a clock-out, a day off worked, and a journal that began in
// June. The weekly table is Monday to Friday 08:15-16:45 with a 0:45 break (7:45).
#include "calendar/school_calendar.h"
#include "files/data_folder.h"
#include "report/month_totals.h"
#include "report/report_inputs.h"
#include "report/report_model.h"
#include "support/data_folder_fixture.h"
#include "support/journal_header.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

void writeJuly(const test::DataFolder& data) {
    data.writeLines(kCardholderListFile,
                    {u"カードID,氏名,職名"_s, u"0123456789ABCDEF,山田　花子,教諭"_s,
                     u"1111111111111111,佐藤太郎,教頭"_s});
    // Every weekday of July as the clock derives it, but 7/6 (missing), 7/2 (written 8:15)
    // and 7/7 (a time that is none).
    QStringList hours{u"日付,開始,終了,休憩"_s};
    for (QDate d(2026, 7, 1); d.month() == 7; d = d.addDays(1)) {
        if (d.dayOfWeek() >= 6 || d.day() == 6) {
            continue;
        }
        const QString date = d.toString(u"yyyy/MM/dd"_s);
        hours.append(d.day() == 2   ? date + u",8:15,16:45,0:45"_s
                     : d.day() == 7 ? date + u",8;15,16:45,00:45"_s
                                    : date + u",08:15,16:45,00:45"_s);
    }
    data.writeLines(kWorkingHoursFile, hours);
    data.writeLines(kSchoolCalendarFile,
                    {u"日付,区分,開始,終了,休憩,備考"_s, u"2026/07/10,休日,,,,創立記念日"_s,
                     u"2026/07/11,勤務日,8:30,12:30,0:00,授業参観"_s});
    data.writeLines(kJournalFile,
                    {QString::fromUtf16(test::kJournalHeader),
                     // June, 佐藤 (the journal begins here): 3:30 over; on leave 12:00-16:00
                     // nothing over; out on duty 09:00-17:00, 1:00 over. June: 4:30.
                     u"出勤,佐藤太郎,2026/06/01,07:00,IC記録,詳細なし,事由なし"_s,
                     u"退勤,佐藤太郎,2026/06/01,19:00,IC記録,詳細なし,事由なし"_s,
                     u"出勤,佐藤太郎,2026/06/02,08:00,IC記録,詳細なし,事由なし"_s,
                     u"外出,佐藤太郎,2026/06/02,12:00,IC記録,詳細なし,事由年休"_s,
                     u"戻り,佐藤太郎,2026/06/02,16:00,IC記録,詳細なし,事由なし"_s,
                     u"退勤,佐藤太郎,2026/06/02,18:00,IC記録,詳細なし,事由なし"_s,
                     u"出勤,佐藤太郎,2026/06/03,08:00,IC記録,詳細なし,事由なし"_s,
                     u"外出,佐藤太郎,2026/06/03,09:00,IC記録,詳細なし,事由なし"_s,
                     u"戻り,佐藤太郎,2026/06/03,17:00,IC記録,詳細なし,事由なし"_s,
                     u"退勤,佐藤太郎,2026/06/03,17:30,IC記録,詳細なし,事由なし"_s,
                     // July, 山田.
                     u"出勤,山田　花子,2026/07/01,07:45,IC記録,詳細なし,事由なし"_s,
                     u"外出,山田　花子,2026/07/01,13:10,IC記録,詳細なし,事由なし"_s,
                     u"戻り,山田　花子,2026/07/01,14:20,IC記録,詳細なし,事由なし"_s,
                     u"退勤,山田　花子,2026/07/01,18:02,IC記録,詳細bchm1,事由なし"_s,
                     u"出勤,山田　花子,2026/07/02,08:10,IC記録,詳細なし,事由なし"_s,
                     u"退勤,山田　花子,2026/07/02,25:30,手動記録,詳細なし,事由なし"_s,
                     u"出勤,山田　花子,2026/07/03,08:00,IC記録,詳細なし,事由なし"_s,
                     u"外出,山田　花子,2026/07/03,10:00,IC記録,詳細なし,事由年休"_s,
                     u"戻り,山田　花子,2026/07/03,11:00,IC記録,詳細なし,事由なし"_s,
                     u"中抜,山田　花子,2026/07/03,02:00,IC記録,詳細なし,事由年休"_s,
                     u"退勤,山田　花子,2026/07/03,17:00,IC記録,詳細なし,事由なし"_s,
                     u"出勤,山田　花子,2026/07/04,09:00,IC記録,詳細j,事由なし"_s,
                     u"退勤,山田　花子,2026/07/04,12:30,IC記録,詳細j,事由なし"_s,
                     u"出勤,山田　花子,2026/07/06,08:00,IC記録,詳細なし,事由なし"_s,
                     u"退勤,山田　花子,2026/07/06,18:00,IC記録,詳細なし,事由なし"_s,
                     u"出勤,山田　花子,2026/07/07,08:00,IC記録,詳細なし,事由なし"_s,
                     u"退勤,山田　花子,2026/07/07,17:00,IC記録,詳細なし,事由なし"_s,
                     u"出勤,山田　花子,2026/07/08,08:00,IC記録,詳細なし,事由なし"_s,
                     u"出勤,山田　花子,2026/07/10,09:00,IC記録,詳細なし,事由なし"_s,
                     u"退勤,山田　花子,2026/07/10,11:00,IC記録,詳細なし,事由なし"_s,
                     u"出勤,山田　花子,2026/07/11,08:30,IC記録,詳細なし,事由なし"_s,
                     u"退勤,山田　花子,2026/07/11,13:30,IC記録,詳細なし,事由なし"_s,
                     u"出勤,山田　花子,2026/07/20,09:00,IC記録,詳細j,事由なし"_s,
                     u"退勤,山田　花子,2026/07/20,14:00,IC記録,詳細j,事由なし"_s,
                     // July, 佐藤: 3:30 over; out on leave (職専免) from 10:00 until the clock-out.
                     u"出勤,佐藤太郎,2026/07/01,07:00,IC記録,詳細なし,事由なし"_s,
                     u"退勤,佐藤太郎,2026/07/01,19:00,IC記録,詳細なし,事由なし"_s,
                     u"出勤,佐藤太郎,2026/07/02,08:00,IC記録,詳細なし,事由なし"_s,
                     u"外出,佐藤太郎,2026/07/02,10:00,IC記録,詳細なし,事由職専免"_s,
                     u"退勤,佐藤太郎,2026/07/02,17:00,IC記録,詳細なし,事由なし"_s});
}

struct DayRow {
    int day;
    const char16_t* present;  // 在校等時間; nullptr: the day's hours are not counted
    int outside;
    int deducted;
    int overtime;  // -1: not counted (its scheduled hours cannot be read)
};

// 山田's days, by hand. The 1st: 07:45-18:02 is 10:17, less the break, with the 1:10 out on
// duty counted. The 2nd (8:15 read as 08:15): 17:20 less the break. The 3rd: 9:00 less 1:00
// out on leave, the 2:00 中抜 and the break. The 4th (a Saturday): all over. The 6th (no
// line; the weekly table's 7:45): 10:00 less the break. The 7th: its hours cannot be read,
// so no break is known and nothing counts as over. The 10th (the school's day off) and the
// 20th (海の日, though derived): all over. The 11th (a Saturday worked, 4:00 with no break).
constexpr DayRow kYamadaDays[] = {
    {1, u"9:32", 70, 45, 107}, {2, u"16:35", 0, 45, 530}, {3, u"5:15", 0, 225, 0},
    {4, u"3:30", 0, 0, 210},   {6, u"9:15", 0, 45, 90},   {7, u"9:00", 0, 0, -1},
    {8, nullptr, 0, 0, 0},     {10, u"2:00", 0, 0, 120},  {11, u"5:00", 0, 0, 60},
    {20, u"5:00", 0, 0, 300},
};

TEST(GuidelineMonth, EveryDayAndTheMonthAsWorkedOutByHand) {
    test::DataFolder data;
    writeJuly(data);
    const ReportPeriod july = ReportPeriod::ofMonth(2026, 7);
    ReportInputs inputs = readReportInputs(data.appFolder(), july, QDate(2026, 7, 31));
    ASSERT_TRUE(inputs.problems.empty());
    const PeriodReport report = buildReport(july, std::move(inputs));
    ASSERT_EQ(report.teachers.size(), 2u);

    const TeacherDays& yamada = report.teachers[0];
    for (const DayRow& row : kYamadaDays) {
        SCOPED_TRACE(row.day);
        const DaySummary& day = yamada.days[static_cast<std::size_t>(row.day - 1)];
        ASSERT_EQ(day.hours.counted, row.present != nullptr);
        if (row.present == nullptr) {
            continue;
        }
        EXPECT_EQ(hoursText(day.hours.present), QString::fromUtf16(row.present));
        EXPECT_EQ(day.hours.outside, row.outside);
        EXPECT_EQ(day.hours.deducted, row.deducted);
        EXPECT_EQ(day.hours.overtimeCounted, row.overtime >= 0);
        EXPECT_EQ(day.hours.overtime, std::max(0, row.overtime));
    }
    EXPECT_EQ(yamada.days[5].schedule.source, ScheduleSource::WeeklyTable);
    EXPECT_EQ(yamada.days[19].schedule.source, ScheduleSource::NationalHoliday);
    EXPECT_EQ(yamada.days[9].schedule.source, ScheduleSource::SchoolCalendar);

    // 山田: the days above add up; July has 23 weekdays, less 海の日, the school's day off
    // and the 7th (unreadable): 20 of 7:45, and the Saturday's 4:00. Her June had no
    // overtime, and the journal began in June: a two-month average, marked as such.
    const TeacherTotals& y = report.totals[0];
    EXPECT_EQ(y.attendanceDays, 10);
    EXPECT_EQ(hoursText(y.present), u"65:07"_s);
    EXPECT_EQ(hoursText(y.outside), u"1:10"_s);
    EXPECT_EQ(hoursText(y.scheduled), u"159:00"_s);
    EXPECT_EQ(hoursText(y.overtime), u"23:37"_s);
    EXPECT_EQ(hoursText(y.fiscalYearOvertime), u"23:37"_s);
    EXPECT_EQ(hoursText(y.highestAverage), u"11:48"_s);
    EXPECT_EQ(y.highestAverageMonths, 2);
    EXPECT_EQ(y.averageMonthsAvailable, 2);
    EXPECT_EQ(y.uncounted, (QStringList{u"7日 勤務時間が読めない"_s, u"8日 退勤なし"_s}));
    EXPECT_EQ(y.noRecord, (QList<int>{9, 13, 14, 15, 16, 17, 21, 22, 23, 24, 27, 28, 29, 30, 31}));

    // 佐藤: July 11:15 and 1:15 (7:00 out on leave and the break off 9:00); June's leave
    // counted nothing and its duty counted, in the look-back as in the month.
    const TeacherTotals& s = report.totals[1];
    EXPECT_EQ(hoursText(s.present), u"12:30"_s);
    EXPECT_EQ(hoursText(s.overtime), u"3:30"_s);
    EXPECT_EQ(hoursText(s.fiscalYearOvertime), u"8:00"_s);
    EXPECT_EQ(hoursText(s.highestAverage), u"4:00"_s);

    const QStringList& checks = report.scheduleChecks;
    ASSERT_EQ(checks.size(), 2) << checks.join(u'\n').toStdString();
    EXPECT_TRUE(checks[0].startsWith(u"7/7（火） working_hours.txt 5行目の時刻が読めません"_s))
        << checks[0].toStdString();
    EXPECT_TRUE(checks[1].endsWith(u"で数えた日: 7/6（月）"_s)) << checks[1].toStdString();
}

// A school's first month has no 2-6-month average: months before the journal are unknown,
// not months without overtime.
TEST(GuidelineMonth, TheJournalsFirstMonthHasNoAverage) {
    test::DataFolder data;
    data.writeLines(kJournalFile, {QString::fromUtf16(test::kJournalHeader),
                                   u"出勤,山田　花子,2026/07/04,09:00,IC記録,詳細なし,事由なし"_s,
                                   u"退勤,山田　花子,2026/07/04,19:00,IC記録,詳細なし,事由なし"_s});
    const ReportPeriod july = ReportPeriod::ofMonth(2026, 7);
    const PeriodReport report =
        buildReport(july, readReportInputs(data.appFolder(), july, QDate(2026, 7, 31)));
    ASSERT_EQ(report.totals.size(), 1u);
    EXPECT_EQ(hoursText(report.totals[0].overtime), u"10:00"_s);
    EXPECT_EQ(report.totals[0].highestAverageMonths, 0);
    EXPECT_EQ(report.totals[0].averageMonthsAvailable, 1);
}

}  // namespace
}  // namespace tavomi
