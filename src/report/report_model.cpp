#include "report/report_model.h"

#include "files/cardholder_list.h"
#include "files/comma_text.h"
#include "files/working_hours.h"
#include "record/punch_record.h"

#include <QHash>
#include <QSet>

#include <array>
#include <numeric>
#include <optional>
#include <span>
#include <utility>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// The comma-text rules keep an empty field as one space; the sheet shows it empty.
QString fieldText(const QString& field) {
    return field == QStringLiteral(" ") ? QString() : field;
}

// Each teacher's records together, in line order: the records' places, counting-sorted
// by teacher.
class EventsByTeacher {
  public:
    EventsByTeacher(const std::vector<std::uint32_t>& teacherOfEvent, std::size_t teachers)
        : first_(teachers + 1, 0), events_(teacherOfEvent.size()) {
        for (const std::uint32_t t : teacherOfEvent) {
            ++first_[t + 1];
        }
        std::partial_sum(first_.begin(), first_.end(), first_.begin());
        std::vector<std::size_t> next(first_.begin(), first_.end() - 1);
        for (std::uint32_t e = 0; e < teacherOfEvent.size(); ++e) {
            events_[next[teacherOfEvent[e]]++] = e;
        }
    }

    // The places of teacher t's records in the scan.
    std::span<const std::uint32_t> of(std::size_t t) const {
        return std::span(events_).subspan(first_[t], first_[t + 1] - first_[t]);
    }

  private:
    std::vector<std::size_t> first_;
    std::vector<std::uint32_t> events_;
};

// Each date's scheduled hours, looked up once rather than per teacher and date.
std::vector<DaySchedule> scheduleByDay(const ReportPeriod& period, const ReportCalendar& calendar) {
    std::vector<DaySchedule> days;
    for (QDate date = period.first(); date <= period.last(); date = date.addDays(1)) {
        days.push_back(scheduleOn(calendar, date));
    }
    return days;
}

// One teacher's days of the period, from their records' places in `events` (moved out).
TeacherDays teacherDays(const QString& name, const ReportPeriod& period,
                        const std::vector<DaySchedule>& schedules,
                        std::span<const std::uint32_t> places, std::deque<PunchEvent>& events) {
    std::vector<std::vector<PunchEvent>> eventsByDay(schedules.size());
    for (const std::uint32_t e : places) {
        const auto d = static_cast<std::size_t>(period.first().daysTo(events[e].date));
        eventsByDay[d].push_back(std::move(events[e]));
    }
    TeacherDays teacher{name, {}};
    teacher.days.reserve(schedules.size());
    for (std::size_t d = 0; d < schedules.size(); ++d) {
        DaySummary day =
            summarizeDay(period.first().addDays(static_cast<qint64>(d)), std::move(eventsByDay[d]));
        day.schedule = schedules[d];
        day.hours = dayHours(timedRecords(day.events), day.schedule);
        teacher.days.push_back(std::move(day));
    }
    return teacher;
}

}  // namespace

WorkingHours readWorkingHours(const std::filesystem::path& file) {
    WorkingHours hours;
    int line = 1;  // the header
    for (const HoursRow& row : readHoursRows(file)) {
        ++line;
        hours[row.day] = {fieldText(row.start), fieldText(row.end), fieldText(row.rest), line};
    }
    return hours;
}

WeeklyHours readWeeklyHours(const std::filesystem::path& file) {
    WeeklyHours week;
    const std::vector<HoursRow> rows = readHoursRows(file);
    for (std::size_t d = 0; d < week.size() && d < rows.size(); ++d) {
        const HoursRow& row = rows[d];
        week[d] = ScheduledHours{fieldText(row.start), fieldText(row.end), fieldText(row.rest),
                                 static_cast<int>(d) + 2};
    }
    return week;
}

qsizetype jobFieldOf(const QStringList& headerFields) {
    for (qsizetype i = 2; i < headerFields.size(); ++i) {
        const QString heading = headerFields[i].trimmed();
        if (heading == u"職名"_s || heading == u"職種"_s || heading == u"役職"_s) {
            return i;
        }
    }
    return 2;
}

Cardholders readCardholderList(const std::filesystem::path& file,
                               std::optional<qsizetype> jobField) {
    const QStringList lines = readDataFileLines(file);
    const Table table = tableOfLines(lines);
    if (table.empty()) {
        return {};
    }
    const qsizetype job = jobField.value_or(jobFieldOf(commaTextFields(lines.front())));
    Cardholders list;
    QSet<QString> seen;  // a hash: a list may hold a thousand names
    for (std::size_t row = 1; row < table.size(); ++row) {
        const QString name = CardholderRow::fromTableRow(table[row]).name;
        if (name.trimmed().isEmpty()) {
            continue;
        }
        if (!seen.contains(name)) {
            seen.insert(name);
            list.names.append(name);
        }
        if (!list.jobs.contains(name)) {
            const QStringList fields = commaTextFields(lines[static_cast<qsizetype>(row)]);
            if (const QString given = fields.value(job).trimmed(); !given.isEmpty()) {
                list.jobs.insert(name, given);
            }
        }
    }
    return list;
}

QStringList readCardholderNames(const std::filesystem::path& file) {
    return readCardholderList(file).names;
}

std::vector<GarbledLine> buildReportByTeacher(const ReportPeriod& period, JournalScan scan,
                                              const QStringList& cardholders,
                                              const ReportCalendar& calendar,
                                              const OnTeacher& onTeacher) {
    // The teachers by where their name first appears; a hash finds a name, as a month may
    // hold a thousand teachers.
    QStringList names;
    QHash<QString, std::uint32_t> teacherOf;
    auto teacherIndex = [&](const QString& name) {
        auto found = teacherOf.constFind(name);
        if (found == teacherOf.constEnd()) {
            found = teacherOf.insert(name, static_cast<std::uint32_t>(names.size()));
            names.append(name);
        }
        return found.value();
    };
    for (const QString& name : cardholders) {
        teacherIndex(name);
    }
    std::vector<std::uint32_t> teacherOfEvent;
    teacherOfEvent.reserve(scan.events.size());
    for (const PunchEvent& event : scan.events) {
        teacherOfEvent.push_back(teacherIndex(event.name));
    }
    const EventsByTeacher byTeacher(teacherOfEvent, static_cast<std::size_t>(names.size()));
    teacherOfEvent = {};

    // The earlier months are needed only as their overtime.
    EarlierOvertime before;
    if (!period.isDay()) {
        before = earlierOvertime(scan, calendar);
    }
    scan.earlier = {};

    const auto schedules = scheduleByDay(period, calendar);
    const std::optional<MonthSchedule> month =
        period.isDay() ? std::nullopt
                       : std::optional(MonthSchedule(period, schedules, scan.firstMonth));
    for (std::size_t t = 0; t < static_cast<std::size_t>(names.size()); ++t) {
        TeacherDays teacher = teacherDays(names[static_cast<qsizetype>(t)], period, schedules,
                                          byTeacher.of(t), scan.events);
        std::optional<TeacherTotals> totals;
        if (month) {
            totals = teacherTotals(*month, teacher, before, calendar.today);
        }
        onTeacher(std::move(teacher), std::move(totals));
    }
    return std::move(scan.garbled);
}

PeriodReport buildReport(const ReportPeriod& period, JournalScan scan,
                         const QStringList& cardholders, const ReportCalendar& calendar) {
    PeriodReport report{period, {}, {}, {}, {}, {}};
    if (!period.isDay()) {
        report.scheduleChecks = scheduleChecks(period, calendar);
    }
    report.garbled = buildReportByTeacher(
        period, std::move(scan), cardholders, calendar,
        [&report](TeacherDays&& teacher, std::optional<TeacherTotals>&& totals) {
            report.teachers.push_back(std::move(teacher));
            if (totals) {
                report.totals.push_back(std::move(*totals));
            }
        });
    return report;
}

}  // namespace tavomi
