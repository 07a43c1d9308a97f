#include "files/working_hours.h"

#include "files/comma_text.h"
#include "files/data_dates.h"
#include "files/data_folder.h"
#include "files/punch_journal.h"

#include <algorithm>

namespace tavomi {

namespace {

bool datePresent(const std::vector<HoursRow>& workingHours, const QString& dateText) {
    return std::any_of(workingHours.begin(), workingHours.end(),
                       [&](const HoursRow& row) { return row.day == dateText; });
}

// A number of ASCII digits only (no sign, no full-width digits), at most two long.
std::optional<int> twoDigitNumber(QStringView digits, qsizetype minLength) {
    if (digits.size() < minLength || digits.size() > 2) {
        return std::nullopt;
    }
    int value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

constexpr int kLatestHour = 28;

}  // namespace

std::optional<int> readSpreadsheetMinutes(QStringView text) {
    const QList<QStringView> parts = text.trimmed().split(u':');
    if (parts.size() != 2 && parts.size() != 3) {
        return std::nullopt;
    }
    const auto hours = twoDigitNumber(parts[0], 1);
    const auto minutes = twoDigitNumber(parts[1], 2);
    const auto seconds = parts.size() == 3 ? twoDigitNumber(parts[2], 2) : std::optional<int>(0);
    if (!hours || !minutes || !seconds || *hours > kLatestHour || *minutes > 59 || *seconds > 59) {
        return std::nullopt;
    }
    return *hours * 60 + *minutes;
}

HoursRow HoursRow::fromTableRow(const TableRow& row) {
    return {row[1], row[2], row[3], row[4]};
}

QString HoursRow::line() const {
    return day + u',' + start + u',' + end + u',' + rest;
}

std::vector<HoursRow> readHoursRows(const std::filesystem::path& file) {
    return readDataRows<HoursRow>(file);
}

DerivationOutcome deriveWorkingHours(const std::filesystem::path& appFolder, const QDate& date) {
    const auto workingHoursFile = dataFilePath(appFolder, kWorkingHoursFile);
    const QString dateText = recordDateText(date);
    // A missing file holds no dates; it only matters when there is an entry to append.
    const std::vector<HoursRow> known = regularFileExists(workingHoursFile)
                                            ? readHoursRows(workingHoursFile)
                                            : std::vector<HoursRow>{};
    if (datePresent(known, dateText)) {
        return DerivationOutcome::AlreadyPresent;
    }

    // Data line 1 is Monday ... data line 7 is Sunday; a line the table lacks reads empty.
    const std::vector<HoursRow> week = readHoursRows(dataFilePath(appFolder, kWeeklyTableFile));
    const auto weekday = static_cast<std::size_t>(date.dayOfWeek() - 1);
    const HoursRow hours = weekday < week.size() ? week[weekday] : HoursRow{};
    if (hours.start == hours.end) {
        return DerivationOutcome::NoWorkingHours;
    }
    if (!regularFileExists(workingHoursFile)) {
        return DerivationOutcome::FileMissing;
    }
    appendLine(workingHoursFile, HoursRow{dateText, hours.start, hours.end, hours.rest}.line());
    return DerivationOutcome::Appended;
}

}  // namespace tavomi
