#include "office/report_model.h"

#include "files/cardholder_list.h"
#include "files/punch_record.h"
#include "files/working_hours.h"

#include <QHash>

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
    for (const CardholderRow& row : readCardholderRows(file)) {
        const QString& name = row.name;
        if (!name.trimmed().isEmpty() && !names.contains(name)) {
            names.append(name);
        }
    }
    return names;
}

PeriodReport buildReport(const ReportPeriod& period, JournalScan scan,
                         const QStringList& cardholders, const WorkingHours& workingHours) {
    QStringList names = cardholders;
    for (const PunchEvent& event : scan.events) {
        if (!names.contains(event.name)) {
            names.append(event.name);
        }
    }

    // name -> date -> records
    QHash<QString, std::map<QDate, std::vector<PunchEvent>>> byTeacher;
    for (PunchEvent& event : scan.events) {
        const QDate date = event.date;
        byTeacher[event.name][date].push_back(std::move(event));
    }

    PeriodReport report{period, {}, std::move(scan.garbled), {}};
    for (const QString& name : names) {
        TeacherDays teacher{name, {}};
        auto& dates = byTeacher[name];
        for (QDate date = period.first(); date <= period.last(); date = date.addDays(1)) {
            auto found = dates.find(date);
            DaySummary day = summarizeDay(
                date, found == dates.end() ? std::vector<PunchEvent>{} : std::move(found->second));
            if (const auto hours = workingHours.find(recordDateText(date));
                hours != workingHours.end()) {
                day.scheduled = hours->second;
            }
            teacher.days.push_back(std::move(day));
        }
        report.teachers.push_back(std::move(teacher));
    }
    if (!period.isDay()) {
        report.totals = monthTotals(period, report.teachers, scan, workingHours);
    }
    return report;
}

QString weekdayText(const QDate& date) {
    static constexpr const char16_t* kWeekdays[] = {u"月", u"火", u"水", u"木",
                                                    u"金", u"土", u"日"};
    return QString::fromUtf16(kWeekdays[date.dayOfWeek() - 1]);
}

}  // namespace tavomi
