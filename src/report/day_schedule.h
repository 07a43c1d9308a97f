#pragma once
// The scheduled hours (所定勤務時間) of each date as the office counts them. The first rule
// that applies decides: the school's calendar; a national holiday (a day off); the date's
// line of working_hours.txt; the weekly table's line for the weekday, which the row then
// names (the clock had not derived the date). The time clock itself is unchanged by this:
// it keeps deriving working_hours.txt from the weekly table.

#include "calendar/school_calendar.h"
#include "report/report_period.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>
#include <map>
#include <optional>

namespace tavomi {

// A line of working_hours.txt (or of the weekly table), its texts as written (an empty
// field reads empty), and its line number in the file for the things to check.
struct ScheduledHours {
    QString start;
    QString end;
    QString rest;
    int line = 0;
};

// working_hours.txt by date text; when a date appears twice, the later line wins.
using WorkingHours = std::map<QString, ScheduledHours>;

// The date's line of working_hours.txt, or nullopt when it has none.
std::optional<ScheduledHours> scheduledHoursOn(const WorkingHours& workingHours, const QDate& date);

enum class ScheduleSource { SchoolCalendar, NationalHoliday, WorkingHoursFile, WeeklyTable, None };

struct DaySchedule {
    ScheduleSource source = ScheduleSource::None;
    std::optional<ScheduledHours> hours;  // as the sheet shows them; nullopt on a day off
    std::optional<int> scheduled;         // minutes to work: end - start - break
    int rest = 0;                         // the break, deducted from the time at school
    bool unreadable = false;  // a time that cannot be read: the day's overtime is not counted
    QString note;             // the holiday's name, or the calendar's note

    bool isDayOff() const { return !scheduled && !unreadable; }
};

// ordinary_working_hours.txt: Monday's line first; a weekday without a line has none.
using WeeklyHours = std::array<std::optional<ScheduledHours>, 7>;

// What the report knows of the days besides the journal.
struct ReportCalendar {
    WorkingHours workingHours;
    WeeklyHours weekly;
    SchoolCalendar school;
    // Days after it are still to come: no record there is nothing to check.
    QDate today;
};

// The weekday as the sheets show it: 月 to 日.
QString weekdayText(const QDate& date);

DaySchedule scheduleOn(const ReportCalendar& calendar, const QDate& date);

// The school's hours of a day: its scheduled start and end, minutes after midnight.
struct SchoolHours {
    int start = 0;
    int end = 0;
    bool operator==(const SchoolHours&) const = default;
};

// None on a day off, or when the day's times cannot be read.
std::optional<SchoolHours> schoolHoursOf(const DaySchedule& schedule);

// What the office should look at in the month's scheduled hours, one line each: a time that
// cannot be read (its file and line; that day's overtime is not counted), a date whose hours
// came from the weekly table (up to today), a line of the school's calendar left out.
QStringList scheduleChecks(const ReportPeriod& month, const ReportCalendar& calendar);

// 「週の表から」, 「祝日（海の日）」, 「学校の休日」…: why a row's hours are what they are;
// empty for a date's own line of working_hours.txt.
QString scheduleNoteText(const DaySchedule& schedule);

}  // namespace tavomi
