#include "report/month_totals.h"

#include "record/vocabulary.h"

#include <QHash>

#include <algorithm>
#include <tuple>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// Months counted from year 0, so that month arithmetic is plain subtraction.
int monthIndex(const QDate& date) {
    return date.year() * 12 + date.month() - 1;
}

QString uncountedText(const DaySummary& day) {
    QStringList why;
    for (DayException exception : day.exceptions) {
        if (exception == DayException::NoClockOut || exception == DayException::NoClockIn) {
            why.append(exceptionText(exception, day));
        }
    }
    if (why.isEmpty()) {
        why.append(day.clockIns.isEmpty() ? u"出勤・退勤なし"_s : u"退勤が出勤より前"_s);
    }
    return u"%1日 %2"_s.arg(day.date.day()).arg(why.join(u' '));
}

}  // namespace

std::vector<TimedRecord> timedRecords(const std::vector<PunchEvent>& events) {
    std::vector<TimedRecord> records;
    records.reserve(events.size());
    for (const PunchEvent& event : events) {
        records.push_back({event.kind, event.minutes,
                           std::any_of(event.reasons.begin(), event.reasons.end(),
                                       [](const QString& code) { return isLeaveReason(code); })});
    }
    return records;
}

// The earlier records, a day of a teacher at a time, as the hours of those days.
EarlierOvertime earlierOvertime(JournalScan& scan, const ReportCalendar& calendar) {
    EarlierOvertime overtime;
    std::map<int, DaySchedule> scheduleByDay;  // a look-up per date, not per day
    std::vector<TimedRecord> day;
    for (std::size_t n = 0; n < scan.earlier.size(); ++n) {
        // Each teacher's days in the order they happened; a stable sort keeps equal times
        // in journal order.
        std::vector<EarlierRecord>& records = scan.earlier[n];
        std::stable_sort(records.begin(), records.end(),
                         [](const EarlierRecord& a, const EarlierRecord& b) {
                             return std::tie(a.day, a.minutes) < std::tie(b.day, b.minutes);
                         });
        std::map<int, int>& months = overtime[scan.earlierNames[static_cast<qsizetype>(n)]];
        for (auto i = records.begin(); i != records.end();) {
            const int julianDay = i->day;
            day.clear();
            for (; i != records.end() && i->day == julianDay; ++i) {
                day.push_back({i->kind, i->minutes, i->leave});
            }
            const QDate date = QDate::fromJulianDay(julianDay);
            auto schedule = scheduleByDay.find(julianDay);
            if (schedule == scheduleByDay.end()) {
                schedule = scheduleByDay.emplace(julianDay, scheduleOn(calendar, date)).first;
            }
            months[monthIndex(date)] += dayHours(day, schedule->second).overtime;
        }
        records = {};
    }
    return overtime;
}

QDate lookBackStart(const ReportPeriod& month) {
    const QDate first = month.first();
    const QDate fiscalYear(first.month() >= 4 ? first.year() : first.year() - 1, 4, 1);
    return std::min(fiscalYear, first.addMonths(-5));
}

int fiscalYearOf(const QDate& date) {
    return date.month() >= 4 ? date.year() : date.year() - 1;
}

MonthSchedule::MonthSchedule(const ReportPeriod& month, const std::vector<DaySchedule>& days,
                             const QDate& journalBegins)
    : thisMonth(monthIndex(month.first())),
      fiscalYearStart(monthIndex(QDate(fiscalYearOf(month.first()), 4, 1))),
      journalStart(journalBegins.isValid() ? monthIndex(journalBegins) : thisMonth) {
    for (const DaySchedule& day : days) {
        scheduled += day.scheduled.value_or(0);
    }
}

TeacherTotals teacherTotals(const MonthSchedule& month, const TeacherDays& teacher,
                            const EarlierOvertime& before, const QDate& today) {
    TeacherTotals t;
    t.name = teacher.name;
    t.scheduled = month.scheduled;
    for (const DaySummary& day : teacher.days) {
        const DayHours& hours = day.hours;
        t.attendanceDays += hours.attended ? 1 : 0;
        t.present += hours.present;
        t.outside += hours.outside;
        t.overtime += hours.overtime;
        if (!hours.counted && !day.events.empty()) {
            t.uncounted.append(uncountedText(day));
        } else if (hours.counted && !hours.overtimeCounted) {
            t.uncounted.append(u"%1日 勤務時間が読めない"_s.arg(day.date.day()));
        }
        if (day.events.empty() && day.schedule.scheduled &&
            (!today.isValid() || day.date <= today)) {
            t.noRecord.append(day.date.day());
        }
    }

    const auto found = before.constFind(teacher.name);
    const std::map<int, int>* months = found == before.constEnd() ? nullptr : &found.value();
    auto overtimeOf = [&](int monthNumber) {
        if (monthNumber == month.thisMonth) {
            return t.overtime;
        }
        if (months == nullptr) {
            return 0;
        }
        const auto m = months->find(monthNumber);
        return m == months->end() ? 0 : m->second;
    };
    for (int m = month.fiscalYearStart; m <= month.thisMonth; ++m) {
        const int overtime = overtimeOf(m);
        t.fiscalYearOvertime += overtime;
        t.monthsOver45 += overtime > kMonthlyCapMinutes ? 1 : 0;
    }
    // A month before the journal began is no month without overtime: it is unknown.
    t.averageMonthsAvailable =
        std::clamp(month.thisMonth - month.journalStart + 1, 1, kLongestAverageMonths);
    int sum = t.overtime;
    for (int span = 2; span <= t.averageMonthsAvailable; ++span) {
        sum += overtimeOf(month.thisMonth - span + 1);
        if (const int average = sum / span; average > t.highestAverage) {
            t.highestAverage = average;
            t.highestAverageMonths = span;
        }
    }
    return t;
}

QString hoursText(int minutes) {
    // Written by hand: a month's sheets make a hundred thousand of these, and QString::arg
    // twice costs several times as much.
    const bool negative = minutes < 0;
    unsigned rest = negative ? 0u - static_cast<unsigned>(minutes) : static_cast<unsigned>(minutes);
    char text[16];
    char* end = text + sizeof text;
    char* p = end;
    *--p = static_cast<char>('0' + rest % 10);
    *--p = static_cast<char>('0' + rest % 60 / 10);
    *--p = ':';
    rest /= 60;
    do {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest > 0);
    if (negative) {
        *--p = '-';
    }
    return QString::fromLatin1(p, end - p);
}

QStringList capFlags(const TeacherTotals& totals) {
    QStringList flags;
    if (totals.over45()) {
        flags.append(u"月45時間超"_s);
    }
    if (totals.over80()) {
        flags.append(u"2～6か月平均80時間超"_s);
    }
    if (totals.over100()) {
        flags.append(u"月100時間以上"_s);
    }
    if (totals.over360()) {
        flags.append(u"年360時間超"_s);
    }
    return flags;
}

}  // namespace tavomi
