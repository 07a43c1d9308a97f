#include "office/report_model.h"

#include "files/cardholder_list.h"
#include "files/punch_record.h"
#include "files/working_hours.h"

#include <QHash>
#include <QSet>

#include <array>
#include <optional>

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

PeriodReport buildReport(const ReportPeriod& period, JournalScan scan,
                         const QStringList& cardholders, const WorkingHours& workingHours) {
    // Each teacher's records by day of the period, the teachers by where their name first
    // appears; a hash finds a name, as a month may hold a thousand teachers.
    QStringList names;
    QHash<QString, std::size_t> teacherOf;
    auto teacherIndex = [&](const QString& name) {
        auto found = teacherOf.constFind(name);
        if (found == teacherOf.constEnd()) {
            found = teacherOf.insert(name, static_cast<std::size_t>(names.size()));
            names.append(name);
        }
        return found.value();
    };
    for (const QString& name : cardholders) {
        teacherIndex(name);
    }
    const auto days = static_cast<std::size_t>(period.first().daysTo(period.last()) + 1);
    // Counted first, so that each day's list is made once at its size.
    std::vector<std::pair<std::size_t, std::size_t>> place;  // each event's teacher and day
    place.reserve(scan.events.size());
    std::vector<std::vector<std::uint32_t>> counts;
    for (const PunchEvent& event : scan.events) {
        const std::size_t teacher = teacherIndex(event.name);
        const auto day = static_cast<std::size_t>(period.first().daysTo(event.date));
        if (teacher >= counts.size()) {
            counts.resize(static_cast<std::size_t>(names.size()));
        }
        counts[teacher].resize(days);
        ++counts[teacher][day];
        place.emplace_back(teacher, day);
    }
    counts.resize(static_cast<std::size_t>(names.size()));
    std::vector<std::vector<std::vector<PunchEvent>>> byTeacher(counts.size());
    for (std::size_t t = 0; t < counts.size(); ++t) {
        if (!counts[t].empty()) {
            byTeacher[t].resize(days);
            for (std::size_t d = 0; d < days; ++d) {
                byTeacher[t][d].reserve(counts[t][d]);
            }
        }
    }
    counts = {};
    for (std::size_t i = 0; i < place.size(); ++i) {
        const auto [teacher, day] = place[i];
        byTeacher[teacher][day].push_back(std::move(scan.events[i]));
    }
    place = {};
    // What the records held is now elsewhere, and the earlier months are needed only as
    // their overtime: both go before the sheets are built.
    scan.events = {};
    EarlierOvertime before;
    if (!period.isDay()) {
        before = earlierOvertime(scan, workingHours);
    }
    scan.earlier = {};

    // One look-up per date, not per teacher and date.
    std::vector<std::optional<ScheduledHours>> scheduled(days);
    for (std::size_t d = 0; d < days; ++d) {
        const QDate date = period.first().addDays(static_cast<qint64>(d));
        if (const auto hours = workingHours.find(recordDateText(date));
            hours != workingHours.end()) {
            scheduled[d] = hours->second;
        }
    }

    PeriodReport report{period, {}, std::move(scan.garbled), {}};
    report.teachers.reserve(static_cast<std::size_t>(names.size()));
    for (qsizetype t = 0; t < names.size(); ++t) {
        TeacherDays teacher{names[t], {}};
        teacher.days.reserve(days);
        auto& eventsByDay = byTeacher[static_cast<std::size_t>(t)];
        for (std::size_t d = 0; d < days; ++d) {
            DaySummary day = summarizeDay(
                period.first().addDays(static_cast<qint64>(d)),
                d < eventsByDay.size() ? std::move(eventsByDay[d]) : std::vector<PunchEvent>{});
            day.scheduled = scheduled[d];
            teacher.days.push_back(std::move(day));
        }
        eventsByDay = {};
        report.teachers.push_back(std::move(teacher));
    }
    if (!period.isDay()) {
        report.totals = monthTotals(period, report.teachers, before, workingHours);
    }
    return report;
}

QString weekdayText(const QDate& date) {
    // Made once and shared: a month's sheets ask for tens of thousands.
    static const std::array<QString, 7> kWeekdays = {u"月"_s, u"火"_s, u"水"_s, u"木"_s,
                                                     u"金"_s, u"土"_s, u"日"_s};
    return kWeekdays[static_cast<std::size_t>(date.dayOfWeek() - 1)];
}

}  // namespace tavomi
