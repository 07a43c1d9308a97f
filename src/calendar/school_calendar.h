#pragma once

#include <QDate>
#include <QString>

#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace tavomi {

// The school's own calendar in the data folder, CP932 with CR LF: a header line, then one
// line a day, "date,kind[,start,end,break[,note]]". The date is yyyy/MM/dd (or yyyy/M/d, as a
// spreadsheet writes it); the kind 休日 (the school is closed) or 勤務日 (a working day, such
// as a Saturday worked or a day exchanged for another); start, end and break are times as a
// spreadsheet writes them, each may be empty. The file is optional.
inline constexpr std::string_view kSchoolCalendarFile = "school_calendar.txt";

// The header line a new file starts with.
QString schoolCalendarHeader();

struct SchoolDay {
    QDate date;
    bool workday = false;  // 勤務日; else 休日
    // Minutes after midnight (end up to 28:59); empty where the line leaves them out, when
    // the day's hours come from the working-hours files.
    std::optional<int> startMinutes;
    std::optional<int> endMinutes;
    std::optional<int> breakMinutes;
    QString note;
    int line = 0;  // the line in the file, 1 being the header; 0 for a day not read from one

    bool operator==(const SchoolDay&) const = default;
};

// A line that was left out, and why (in Japanese, for the office).
struct CalendarProblem {
    int line = 0;
    QString text;  // the line as read
    QString what;

    bool operator==(const CalendarProblem&) const = default;
};

struct SchoolCalendar {
    std::map<QDate, SchoolDay> days;  // a date on several lines: the last one
    std::vector<CalendarProblem> problems;
};

// Reads the lines of the file, the first being the header. Fields follow the comma-text rules
// of every data file, so an unquoted note splits at blanks as at commas; its pieces are
// joined again with one blank. A line of nothing but empty fields is passed over.
SchoolCalendar schoolCalendarOfLines(const QStringList& lines);

// Reads the file; no file there is an empty calendar. Throws FileError when it cannot be
// read, or holds bytes that are no CP932 text (a file saved in another encoding).
SchoolCalendar readSchoolCalendar(const std::filesystem::path& appFolder);

// The day's line, which schoolCalendarOfLines reads back as the same day: the note is
// quoted, and a control character in it (a line break would split the line) becomes a
// blank. Once in the file, a character CP932 lacks reads back as '?', as in every data file.
// Throws std::invalid_argument for an invalid date, or a time that is negative or past 28:59.
QString schoolDayLine(const SchoolDay& day);

// Appends the day's line (a later line for the same date overrides the earlier). A missing
// file is first created with its header, by exclusive creation; whoever finds it empty writes
// the header under the file's lock, so two PCs starting the file at once write it once.
// Throws FileError (the file then as before), or std::invalid_argument as schoolDayLine.
void appendSchoolDay(const std::filesystem::path& appFolder, const SchoolDay& day);

}  // namespace tavomi
