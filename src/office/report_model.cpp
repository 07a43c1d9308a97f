#include "office/report_model.h"

#include "files/cardholder_list.h"
#include "files/punch_record.h"
#include "files/working_hours.h"

#include <QHash>
#include <QSet>

#include <optional>

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
    std::vector<std::vector<std::vector<PunchEvent>>> byTeacher;
    for (PunchEvent& event : scan.events) {
        const std::size_t teacher = teacherIndex(event.name);
        if (teacher >= byTeacher.size()) {
            byTeacher.resize(names.size());
        }
        auto& eventsByDay = byTeacher[teacher];
        eventsByDay.resize(days);
        eventsByDay[static_cast<std::size_t>(period.first().daysTo(event.date))].push_back(
            std::move(event));
    }
    byTeacher.resize(names.size());
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
    static constexpr const char16_t* kWeekdays[] = {u"月", u"火", u"水", u"木",
                                                    u"金", u"土", u"日"};
    return QString::fromUtf16(kWeekdays[date.dayOfWeek() - 1]);
}

}  // namespace tavomi
