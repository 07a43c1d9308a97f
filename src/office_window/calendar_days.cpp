#include "office_window/calendar_days.h"

#include "calendar/national_holidays.h"
#include "files/cp932.h"
#include "files/data_dates.h"
#include "files/working_hours.h"
#include "report/day_schedule.h"
#include "report/month_totals.h"

#include <optional>
#include <tuple>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

QString minutesText(const std::optional<int>& minutes) {
    return minutes ? hoursText(*minutes) : QString();
}

QString markOf(const QDate& date, const std::optional<QString>& holiday) {
    const int weekday = date.dayOfWeek();
    const QString weekend = weekday == Qt::Saturday ? u"土曜"_s
                            : weekday == Qt::Sunday ? u"日曜"_s
                                                    : QString();
    if (!holiday) {
        return weekend;
    }
    const QString named = u"祝日（%1）"_s.arg(*holiday);
    return weekend.isEmpty() ? named : weekend + u"・"_s + named;
}

std::optional<QString> characterCp932Lacks(const QString& text) {
    for (const char32_t c : text.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        if (decodeCp932(encodeCp932(character)) != character) {
            return character;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<CalendarDayRow> calendarDayRows(int year, int month, const SchoolCalendar& calendar) {
    std::vector<CalendarDayRow> rows;
    const QDate first(year, month, 1);
    if (!first.isValid()) {
        return rows;
    }
    for (QDate date = first; date.month() == month; date = date.addDays(1)) {
        CalendarDayRow row;
        row.date = date;
        row.dateText = recordDateText(date);
        row.weekday = weekdayText(date);
        const auto holiday = nationalHolidayName(date);
        row.mark = markOf(date, holiday);
        // The order in which the report decides a day's hours.
        if (const auto school = calendar.days.find(date); school != calendar.days.end()) {
            const SchoolDay& day = school->second;
            row.kind = day.workday ? u"勤務日"_s : u"学校の休日"_s;
            row.start = minutesText(day.startMinutes);
            row.end = minutesText(day.endMinutes);
            row.rest = minutesText(day.breakMinutes);
            row.note = day.note;
            row.dayOff = !day.workday;
        } else if (holiday) {
            row.kind = u"祝日（%1）"_s.arg(*holiday);
            row.dayOff = true;
        } else if (date.dayOfWeek() >= Qt::Saturday) {
            row.kind = u"土日（休み）"_s;
            row.dayOff = true;
        } else {
            row.kind = u"平日"_s;
        }
        rows.push_back(row);
    }
    return rows;
}

QStringList calendarProblemTexts(const SchoolCalendar& calendar) {
    QStringList texts;
    for (const CalendarProblem& problem : calendar.problems) {
        texts.append(u"%1行目: %2（%3）"_s.arg(problem.line).arg(problem.what, problem.text));
    }
    return texts;
}

std::variant<SchoolDay, QString> schoolDayOf(const DayMarking& marking) {
    if (!marking.date.isValid()) {
        return u"記録する日を表から選んでください。"_s;
    }
    SchoolDay day;
    day.date = marking.date;
    day.workday = marking.workday;
    day.note = marking.note.trimmed();
    const QString start = marking.start.trimmed();
    const QString end = marking.end.trimmed();
    const QString rest = marking.rest.trimmed();
    if (!day.workday && !(start.isEmpty() && end.isEmpty() && rest.isEmpty())) {
        return u"休日には開始・終了・休憩を入れません。"_s;
    }
    for (auto [label, text, minutes] : {std::tuple{u"開始"_s, start, &day.startMinutes},
                                        std::tuple{u"終了"_s, end, &day.endMinutes},
                                        std::tuple{u"休憩"_s, rest, &day.breakMinutes}}) {
        if (text.isEmpty()) {
            continue;
        }
        *minutes = readSpreadsheetMinutes(text);
        if (!*minutes) {
            return u"%1の「%2」は時刻として読めません。8:15 のように 時:分 で入れてください"
                   u"（時は 0〜28）。"_s.arg(label, text);
        }
    }
    // The report takes a working day's own hours only with both ends; else the usual ones.
    if (day.startMinutes.has_value() != day.endMinutes.has_value()) {
        return u"開始と終了は両方とも入れるか、両方とも空けてください。"_s;
    }
    if (day.breakMinutes && !day.startMinutes) {
        return u"休憩を入れるときは開始と終了も入れてください。"_s;
    }
    if (day.startMinutes && *day.endMinutes <= *day.startMinutes) {
        return u"終了（%1）が開始（%2）より後ではありません。"_s.arg(end, start);
    }
    if (day.breakMinutes && *day.breakMinutes >= *day.endMinutes - *day.startMinutes) {
        return u"休憩（%1）が開始から終了までの時間より短くありません。"_s.arg(rest);
    }
    if (const auto lacking = characterCp932Lacks(day.note)) {
        return u"備考の「%1」（U+%2）はシフトJIS（CP932）で書けない文字です。"_s.arg(
            *lacking,
            QString::number(lacking->toUcs4().value(0), 16).toUpper().rightJustified(4, u'0'));
    }
    return day;
}

}  // namespace tavomi
