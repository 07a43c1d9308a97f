#include "office/report_period.h"

#include "files/punch_record.h"

namespace tavomi {

ReportPeriod ReportPeriod::ofDay(const QDate& day) {
    return ReportPeriod(day, day);
}

ReportPeriod ReportPeriod::ofMonth(int year, int month) {
    const QDate first(year, month, 1);
    return ReportPeriod(first, first.addMonths(1).addDays(-1));
}

std::optional<ReportPeriod> ReportPeriod::parseMonth(QStringView text) {
    // A month is the first day's date without its day.
    if (text.size() != 7) {
        return std::nullopt;
    }
    const auto first = readRecordDate(text.toString() + QStringLiteral("/01"));
    if (!first) {
        return std::nullopt;
    }
    return ofMonth(first->year(), first->month());
}

QByteArray ReportPeriod::datePrefix() const {
    const QByteArray day = recordDateText(first_).toLatin1();
    return isDay() ? day : day.left(8);
}

}  // namespace tavomi
