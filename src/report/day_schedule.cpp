#include "report/day_schedule.h"

#include "calendar/national_holidays.h"
#include "files/data_dates.h"
#include "files/working_hours.h"

#include <array>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

QString clockText(int minutes) {
    return u"%1:%2"_s.arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0'));
}

// A line's hours: a day off when start equals end (both empty included), as the clock's
// derivation takes them; unreadable when a time is not one.
DaySchedule fromLine(const ScheduledHours& line, ScheduleSource source) {
    DaySchedule day;
    day.source = source;
    if (line.start.trimmed() == line.end.trimmed()) {
        return day;
    }
    const auto start = readSpreadsheetMinutes(line.start);
    const auto end = readSpreadsheetMinutes(line.end);
    const auto rest =
        line.rest.trimmed().isEmpty() ? std::optional(0) : readSpreadsheetMinutes(line.rest);
    day.hours = line;
    if (!start || !end || !rest || *end <= *start) {
        day.unreadable = true;
        return day;
    }
    day.scheduled = std::max(0, *end - *start - *rest);
    day.rest = *rest;
    return day;
}

std::optional<DaySchedule> fromFiles(const ReportCalendar& calendar, const QDate& date) {
    if (const auto line = scheduledHoursOn(calendar.workingHours, date)) {
        return fromLine(*line, ScheduleSource::WorkingHoursFile);
    }
    if (const auto& weekly = calendar.weekly[static_cast<std::size_t>(date.dayOfWeek() - 1)]) {
        return fromLine(*weekly, ScheduleSource::WeeklyTable);
    }
    return std::nullopt;
}

DaySchedule fromSchoolDay(const ReportCalendar& calendar, const SchoolDay& day) {
    DaySchedule schedule;
    if (day.workday && day.startMinutes && day.endMinutes) {
        const ScheduledHours line{clockText(*day.startMinutes), clockText(*day.endMinutes),
                                  day.breakMinutes ? clockText(*day.breakMinutes) : QString(),
                                  day.line};
        schedule = fromLine(line, ScheduleSource::SchoolCalendar);
    } else if (day.workday) {
        // A working day without its own times works the usual hours of its weekday.
        schedule = fromFiles(calendar, day.date).value_or(DaySchedule{});
        if (!schedule.scheduled && !schedule.unreadable) {
            const auto& weekly =
                calendar.weekly[static_cast<std::size_t>(day.date.dayOfWeek() - 1)];
            schedule = weekly ? fromLine(*weekly, ScheduleSource::WeeklyTable) : schedule;
        }
    }
    schedule.source = ScheduleSource::SchoolCalendar;
    schedule.note = day.note.isEmpty() ? (day.workday ? u"勤務日"_s : u"学校の休日"_s) : day.note;
    return schedule;
}

}  // namespace

std::optional<ScheduledHours> scheduledHoursOn(const WorkingHours& workingHours,
                                               const QDate& date) {
    const auto found = workingHours.find(recordDateText(date));
    if (found == workingHours.end()) {
        return std::nullopt;
    }
    return found->second;
}

QString weekdayText(const QDate& date) {
    // Made once and shared: a month's sheets ask for tens of thousands.
    static const std::array<QString, 7> kWeekdays = {u"月"_s, u"火"_s, u"水"_s, u"木"_s,
                                                     u"金"_s, u"土"_s, u"日"_s};
    return kWeekdays[static_cast<std::size_t>(date.dayOfWeek() - 1)];
}

DaySchedule scheduleOn(const ReportCalendar& calendar, const QDate& date) {
    if (const auto school = calendar.school.days.find(date); school != calendar.school.days.end()) {
        return fromSchoolDay(calendar, school->second);
    }
    if (const auto holiday = nationalHolidayName(date)) {
        DaySchedule day;
        day.source = ScheduleSource::NationalHoliday;
        day.note = *holiday;
        return day;
    }
    return fromFiles(calendar, date).value_or(DaySchedule{});
}

std::optional<SchoolHours> schoolHoursOf(const DaySchedule& schedule) {
    if (!schedule.scheduled || !schedule.hours) {
        return std::nullopt;
    }
    const auto start = readSpreadsheetMinutes(schedule.hours->start);
    const auto end = readSpreadsheetMinutes(schedule.hours->end);
    if (!start || !end) {
        return std::nullopt;
    }
    return SchoolHours{*start, *end};
}

QStringList scheduleChecks(const ReportPeriod& month, const ReportCalendar& calendar) {
    QStringList checks;
    QStringList fromWeeklyTable;
    for (QDate date = month.first(); date <= month.last(); date = date.addDays(1)) {
        const DaySchedule day = scheduleOn(calendar, date);
        const QString dateText =
            u"%1/%2（%3）"_s.arg(date.month()).arg(date.day()).arg(weekdayText(date));
        if (day.unreadable && day.hours) {
            const char* file =
                day.source == ScheduleSource::WeeklyTable      ? "ordinary_working_hours.txt"
                : day.source == ScheduleSource::SchoolCalendar ? "school_calendar.txt"
                                                               : "working_hours.txt";
            checks.append(
                u"%1 %2 %3行目の時刻が読めません（%4,%5,%6）。この日の時間外は数えていません"_s
                    .arg(dateText, QString::fromLatin1(file))
                    .arg(day.hours->line)
                    .arg(day.hours->start, day.hours->end, day.hours->rest));
        } else if (day.source == ScheduleSource::WeeklyTable && day.hours &&
                   (!calendar.today.isValid() || date <= calendar.today)) {
            fromWeeklyTable.append(dateText);
        }
    }
    if (!fromWeeklyTable.isEmpty()) {
        checks.append(
            u"working_hours.txt に行がなく、週の表（ordinary_working_hours.txt）の時間で数えた日: "_s +
            fromWeeklyTable.join(u"、"_s));
    }
    for (const CalendarProblem& problem : calendar.school.problems) {
        checks.append(
            u"school_calendar.txt %1行目: %2（%3）。この行は使っていません"_s.arg(problem.line)
                .arg(problem.what, problem.text));
    }
    return checks;
}

QString scheduleNoteText(const DaySchedule& schedule) {
    switch (schedule.source) {
        case ScheduleSource::SchoolCalendar:
            return u"学校の暦: "_s + schedule.note;
        case ScheduleSource::NationalHoliday:
            return u"祝日（%1）"_s.arg(schedule.note);
        case ScheduleSource::WeeklyTable:
            return schedule.hours ? u"週の表から"_s : QString();
        case ScheduleSource::WorkingHoursFile:
        case ScheduleSource::None:
            break;
    }
    return {};
}

}  // namespace tavomi
