#pragma once

#include <QByteArray>
#include <QDate>
#include <QStringView>

#include <optional>

namespace tavomi {

// The dates a report covers: one day, or one calendar month.
class ReportPeriod {
  public:
    static ReportPeriod ofDay(const QDate& day);
    static ReportPeriod ofMonth(int year, int month);

    // A month as the office writes it, or nullopt: 2026/07, 2026/7, 2026-07, or 7月 (also
    // with full-width digits), which is the latest July that has begun by `today`.
    static std::optional<ReportPeriod> parseMonth(QStringView text, const QDate& today);

    const QDate& first() const { return first_; }
    const QDate& last() const { return last_; }
    bool isDay() const { return first_ == last_; }
    bool contains(const QDate& date) const { return date >= first_ && date <= last_; }

    // The bytes with which every record date of the period begins: "2019/08/28" for a
    // day, "2019/08/" for a month (dates are ASCII in CP932 too).
    QByteArray datePrefix() const;

  private:
    ReportPeriod(const QDate& first, const QDate& last) : first_(first), last_(last) {}

    QDate first_;
    QDate last_;
};

}  // namespace tavomi
