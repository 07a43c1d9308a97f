#include "office/month_totals.h"

#include <QHash>

#include <algorithm>
#include <tuple>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

std::optional<int> minutesOf(const QString& text) {
    if (text.isEmpty()) {
        return 0;
    }
    return readRecordMinutes(RecordKind::ClockIn, text);
}

// Months counted from year 0, so that month arithmetic is plain subtraction.
int monthIndex(const QDate& date) {
    return date.year() * 12 + date.month() - 1;
}

std::optional<ScheduledHours> hoursOn(const std::map<QString, ScheduledHours>& workingHours,
                                      const QDate& date) {
    const auto found = workingHours.find(recordDateText(date));
    if (found == workingHours.end()) {
        return std::nullopt;
    }
    return found->second;
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

std::optional<int> scheduledMinutes(const std::optional<ScheduledHours>& hours) {
    if (!hours) {
        return std::nullopt;
    }
    const auto start = minutesOf(hours->start);
    const auto end = minutesOf(hours->end);
    const auto rest = minutesOf(hours->rest);
    if (!start || !end || !rest || *end <= *start) {
        return std::nullopt;
    }
    return std::max(0, *end - *start - *rest);
}

DayHours dayHours(const std::vector<TimedRecord>& records,
                  const std::optional<ScheduledHours>& scheduled) {
    DayHours hours;
    std::optional<int> clockIn;
    std::optional<int> clockOut;
    for (const TimedRecord& record : records) {
        if (record.kind == RecordKind::ClockIn && !clockIn) {
            clockIn = record.minutes;
        } else if (record.kind == RecordKind::ClockOut) {
            clockOut = record.minutes;
        }
    }
    hours.attended = clockIn.has_value();
    if (!clockIn || !clockOut || *clockOut <= *clockIn) {
        return hours;
    }
    hours.counted = true;

    int away = 0;
    std::optional<int> wentOut;
    for (const TimedRecord& record : records) {
        const int at = std::clamp(record.minutes, *clockIn, *clockOut);
        if (record.kind == RecordKind::GoingOut && !wentOut) {
            wentOut = at;
        } else if (record.kind == RecordKind::Return && wentOut) {
            away += at - *wentOut;
            wentOut.reset();
        } else if (record.kind == RecordKind::MidDayAbsence) {
            away += record.minutes;
        }
    }
    if (wentOut) {
        away += *clockOut - *wentOut;
    }
    const auto scheduledTime = scheduledMinutes(scheduled);
    const int rest = scheduledTime ? minutesOf(scheduled->rest).value_or(0) : 0;
    hours.present = std::max(0, *clockOut - *clockIn - away - rest);
    hours.overtime = scheduledTime ? std::max(0, hours.present - *scheduledTime) : hours.present;
    return hours;
}

// The earlier records, a day of a teacher at a time, as the hours of those days.
EarlierOvertime earlierOvertime(JournalScan& scan,
                                const std::map<QString, ScheduledHours>& workingHours) {
    EarlierOvertime overtime;
    std::map<int, std::optional<ScheduledHours>> hoursByDay;  // a look-up per date, not per day
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
                day.push_back({i->kind, i->minutes});
            }
            const QDate date = QDate::fromJulianDay(julianDay);
            auto hours = hoursByDay.find(julianDay);
            if (hours == hoursByDay.end()) {
                hours = hoursByDay.emplace(julianDay, hoursOn(workingHours, date)).first;
            }
            months[monthIndex(date)] += dayHours(day, hours->second).overtime;
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

MonthSchedule::MonthSchedule(const ReportPeriod& month,
                             const std::map<QString, ScheduledHours>& workingHours)
    : thisMonth(monthIndex(month.first())),
      fiscalYearStart(monthIndex(QDate(
          month.first().month() >= 4 ? month.first().year() : month.first().year() - 1, 4, 1))) {
    for (QDate date = month.first(); date <= month.last(); date = date.addDays(1)) {
        scheduled += scheduledMinutes(hoursOn(workingHours, date)).value_or(0);
    }
}

TeacherTotals teacherTotals(const MonthSchedule& month, const TeacherDays& teacher,
                            const EarlierOvertime& before) {
    TeacherTotals t;
    t.name = teacher.name;
    t.scheduled = month.scheduled;
    std::vector<TimedRecord> records;
    for (const DaySummary& day : teacher.days) {
        records.clear();
        for (const PunchEvent& event : day.events) {
            records.push_back({event.kind, event.minutes});
        }
        const DayHours hours = dayHours(records, day.scheduled);
        t.attendanceDays += hours.attended ? 1 : 0;
        t.present += hours.present;
        t.overtime += hours.overtime;
        if (!hours.counted && !day.events.empty()) {
            t.uncounted.append(uncountedText(day));
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
        t.fiscalYearOvertime += overtimeOf(m);
    }
    int sum = t.overtime;
    for (int span = 2; span <= 6; ++span) {
        sum += overtimeOf(month.thisMonth - span + 1);
        if (const int average = sum / span; average > t.highestAverage) {
            t.highestAverage = average;
            t.highestAverageMonths = span;
        }
    }
    return t;
}

QString hoursText(int minutes) {
    return u"%1:%2"_s.arg(minutes / 60).arg(minutes % 60, 2, 10, QChar(u'0'));
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
