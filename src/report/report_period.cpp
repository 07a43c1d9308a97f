#include "report/report_period.h"

#include "record/punch_record.h"

#include <QRegularExpression>

namespace tavomi {

ReportPeriod ReportPeriod::ofDay(const QDate& day) {
    return ReportPeriod(day, day);
}

ReportPeriod ReportPeriod::ofMonth(int year, int month) {
    const QDate first(year, month, 1);
    return ReportPeriod(first, first.addMonths(1).addDays(-1));
}

std::optional<ReportPeriod> ReportPeriod::parseMonth(QStringView text, const QDate& today) {
    // NFKC turns full-width digits into ASCII ones.
    const QString plain = text.toString().normalized(QString::NormalizationForm_KC).trimmed();
    static const QRegularExpression yearMonth(QStringLiteral("^(\\d{4})[/-](\\d{1,2})$"));
    static const QRegularExpression monthAlone(QStringLiteral("^(\\d{1,2})\u6708$"));
    int year = 0;
    int month = 0;
    if (const auto match = yearMonth.match(plain); match.hasMatch()) {
        year = match.captured(1).toInt();
        month = match.captured(2).toInt();
    } else if (const auto alone = monthAlone.match(plain); alone.hasMatch() && today.isValid()) {
        month = alone.captured(1).toInt();
        year = month <= today.month() ? today.year() : today.year() - 1;
    }
    if (year < 1 || month < 1 || month > 12) {
        return std::nullopt;
    }
    return ofMonth(year, month);
}

QByteArray ReportPeriod::datePrefix() const {
    const QByteArray day = recordDateText(first_).toLatin1();
    return isDay() ? day : day.left(8);
}

}  // namespace tavomi
