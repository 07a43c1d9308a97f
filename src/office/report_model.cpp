#include "office/report_model.h"

#include "files/cardholder_list.h"
#include "files/punch_record.h"
#include "files/working_hours.h"

#include <QHash>
#include <QSet>

#include <array>
#include <numeric>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// The comma-text rules keep an empty field as one space; the sheet shows it empty.
QString fieldText(const QString& field) {
    return field == QStringLiteral(" ") ? QString() : field;
}

}  // namespace

WorkingHours readWorkingHours(const std::filesystem::path& file) {
    WorkingHours hours;
    for (const HoursRow& row : readHoursRows(file)) {
        hours[row.day] = {fieldText(row.start), fieldText(row.end), fieldText(row.rest)};
    }
    return hours;
}

QStringList readCardholderNames(const std::filesystem::path& file) {
    QStringList names;
    QSet<QString> seen;
    for (const CardholderRow& row : readCardholderRows(file)) {
        const QString& name = row.name;
        if (!name.trimmed().isEmpty() && !seen.contains(name)) {
            seen.insert(name);
            names.append(name);
        }
    }
    return names;
}

std::vector<GarbledLine> buildReportByTeacher(const ReportPeriod& period, JournalScan scan,
                                              const QStringList& cardholders,
                                              const WorkingHours& workingHours,
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
    // Each teacher's records together, in line order (a counting sort of their places).
    std::vector<std::uint32_t> teacherOfEvent;
    teacherOfEvent.reserve(scan.events.size());
    for (const PunchEvent& event : scan.events) {
        teacherOfEvent.push_back(teacherIndex(event.name));
    }
    std::vector<std::size_t> first(static_cast<std::size_t>(names.size()) + 1, 0);
    for (const std::uint32_t t : teacherOfEvent) {
        ++first[t + 1];
    }
    std::partial_sum(first.begin(), first.end(), first.begin());
    std::vector<std::uint32_t> byTeacher(teacherOfEvent.size());
    {
        std::vector<std::size_t> next(first.begin(), first.end() - 1);
        for (std::uint32_t i = 0; i < teacherOfEvent.size(); ++i) {
            byTeacher[next[teacherOfEvent[i]]++] = i;
        }
    }
    teacherOfEvent = {};

    // The earlier months are needed only as their overtime.
    EarlierOvertime before;
    if (!period.isDay()) {
        before = earlierOvertime(scan, workingHours);
    }
    scan.earlier = {};

    // One look-up per date, not per teacher and date.
    const auto days = static_cast<std::size_t>(period.first().daysTo(period.last()) + 1);
    std::vector<std::optional<ScheduledHours>> scheduled(days);
    for (std::size_t d = 0; d < days; ++d) {
        const QDate date = period.first().addDays(static_cast<qint64>(d));
        if (const auto hours = workingHours.find(recordDateText(date));
            hours != workingHours.end()) {
            scheduled[d] = hours->second;
        }
    }
    const std::optional<MonthSchedule> schedule =
        period.isDay() ? std::nullopt : std::optional(MonthSchedule(period, workingHours));

    std::vector<std::vector<PunchEvent>> eventsByDay(days);
    for (std::size_t t = 0; t < static_cast<std::size_t>(names.size()); ++t) {
        for (std::size_t i = first[t]; i < first[t + 1]; ++i) {
            PunchEvent& event = scan.events[byTeacher[i]];
            const auto d = static_cast<std::size_t>(period.first().daysTo(event.date));
            eventsByDay[d].push_back(std::move(event));
        }
        TeacherDays teacher{names[static_cast<qsizetype>(t)], {}};
        teacher.days.reserve(days);
        for (std::size_t d = 0; d < days; ++d) {
            DaySummary day = summarizeDay(period.first().addDays(static_cast<qint64>(d)),
                                          std::exchange(eventsByDay[d], {}));
            day.scheduled = scheduled[d];
            teacher.days.push_back(std::move(day));
        }
        std::optional<TeacherTotals> totals;
        if (schedule) {
            totals = teacherTotals(*schedule, teacher, before);
        }
        onTeacher(std::move(teacher), std::move(totals));
    }
    return std::move(scan.garbled);
}

PeriodReport buildReport(const ReportPeriod& period, JournalScan scan,
                         const QStringList& cardholders, const WorkingHours& workingHours) {
    PeriodReport report{period, {}, {}, {}};
    report.garbled = buildReportByTeacher(
        period, std::move(scan), cardholders, workingHours,
        [&report](TeacherDays&& teacher, std::optional<TeacherTotals>&& totals) {
            report.teachers.push_back(std::move(teacher));
            if (totals) {
                report.totals.push_back(std::move(*totals));
            }
        });
    return report;
}

QString weekdayText(const QDate& date) {
    // Made once and shared: a month's sheets ask for tens of thousands.
    static const std::array<QString, 7> kWeekdays = {u"月"_s, u"火"_s, u"水"_s, u"木"_s,
                                                     u"金"_s, u"土"_s, u"日"_s};
    return kWeekdays[static_cast<std::size_t>(date.dayOfWeek() - 1)];
}

}  // namespace tavomi
