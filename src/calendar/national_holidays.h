#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace tavomi {

// Japan's national holidays, worked out from the rules of the holiday law as amended over
// the years (no table of dates), from the law's start on 20 July 1948 to 2150: the fixed and Monday
// holidays with the years they moved, the equinox days by the usual approximation (exact for
// 1980-2099), the one-off days set by special laws, the substitute holiday (振替休日) after a
// holiday on a Sunday, and the citizens' holiday (国民の休日) between two holidays. Outside those
// dates no day is a holiday.

// The day's name as the official list gives it (「元日」, 「振替休日」, 「国民の休日」 ...), or
// nothing on an ordinary day.
std::optional<QString> nationalHolidayName(const QDate& date);

bool isNationalHoliday(const QDate& date);

}  // namespace tavomi
