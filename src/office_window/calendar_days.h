#pragma once
// 学校の暦 without widgets: what each day of a month is for the office's count, the lines of
// school_calendar.txt that were left out, and the office's marking of a day checked before
// anything is written.

#include "calendar/school_calendar.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <variant>
#include <vector>

namespace tavomi {

// One day of the month as the page lists it.
struct CalendarDayRow {
    QDate date;
    QString dateText;  // 2019/08/12
    QString weekday;   // 月 … 日
    // The calendar's own days off in words, whatever the school made of them: 土曜, 日曜,
    // 祝日（山の日）, 日曜・祝日（…）; empty on an ordinary weekday.
    QString mark;
    // How the report counts the day: the school's entry first (学校の休日, 勤務日), then
    // 祝日（name）, then 土日（休み）, else 平日.
    QString kind;
    QString start;  // the school's times for a working day, H:mm; empty when it gives none
    QString end;
    QString rest;
    QString note;         // the school's note
    bool dayOff = false;  // the count takes no working hours for the day
};

// The month's days, from the 1st to the last.
std::vector<CalendarDayRow> calendarDayRows(int year, int month, const SchoolCalendar& calendar);

// The lines of the file that were left out: 「4行目: 日付が読めません（2019/08/32,休日）」.
QStringList calendarProblemTexts(const SchoolCalendar& calendar);

// What the office enters to mark a day; times as typed (8:15 or 08:15), empty when not given.
struct DayMarking {
    QDate date;
    bool workday = false;
    QString start;
    QString end;
    QString rest;
    QString note;
};

// The day to append, or the Japanese reason it is refused: no day chosen, a time that is not
// h:mm, only one of start and end, an end not after the start, a break as long as the day,
// times on a day off, a note with characters CP932 cannot hold.
std::variant<SchoolDay, QString> schoolDayOf(const DayMarking& marking);

}  // namespace tavomi
