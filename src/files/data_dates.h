#pragma once
// How the data files (the journal and working_hours.txt alike) write a date and a time.

#include <QDate>
#include <QString>
#include <QStringView>
#include <QTime>

#include <optional>

namespace tavomi {

// How records (and working_hours.txt) write a date and a time: 2019/08/28, 07:45.
inline constexpr const char* kRecordDateFormat = "yyyy/MM/dd";
inline constexpr const char* kRecordTimeFormat = "HH:mm";
QString recordDateText(const QDate& date);
QString recordTimeText(const QTime& time);

// A date written as yyyy/MM/dd, leading zeros included, or nullopt.
std::optional<QDate> readRecordDate(QStringView text);

}  // namespace tavomi
