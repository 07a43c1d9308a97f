#include "calendar/school_calendar.h"

#include "files/comma_text.h"
#include "files/cp932.h"
#include "files/data_file_io.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/punch_journal.h"
#include "files/data_dates.h"
#include "files/unique_fd.h"
#include "files/working_hours.h"

#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

const QString kDayOff = u"休日"_s;
const QString kWorkday = u"勤務日"_s;

constexpr int kLatestMinute = 28 * 60 + 59;

std::optional<QDate> readCalendarDate(QStringView text) {
    static const QRegularExpression pattern(u"^([0-9]{4})/([0-9]{1,2})/([0-9]{1,2})$"_s);
    const auto match = pattern.match(text.toString());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QDate date(match.capturedView(1).toInt(), match.capturedView(2).toInt(),
                     match.capturedView(3).toInt());
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// The line's day, or what is wrong with it.
struct ReadLine {
    std::optional<SchoolDay> day;
    QString problem;
};

ReadLine readDay(const QStringList& fields) {
    const auto field = [&](qsizetype i) {
        return i < fields.size() ? fields[i].trimmed() : QString();
    };
    SchoolDay day;
    const auto date = readCalendarDate(field(0));
    if (!date) {
        return {std::nullopt, u"日付が読めません"_s};
    }
    day.date = *date;
    const QString kind = field(1);
    if (kind != kDayOff && kind != kWorkday) {
        return {std::nullopt, u"休日・勤務日のどちらでもありません"_s};
    }
    day.workday = kind == kWorkday;
    for (auto [column, minutes] : {std::pair{2, &day.startMinutes}, std::pair{3, &day.endMinutes},
                                   std::pair{4, &day.breakMinutes}}) {
        const QString text = field(column);
        if (text.isEmpty()) {
            continue;
        }
        *minutes = readSpreadsheetMinutes(text);
        if (!*minutes) {
            return {std::nullopt, u"時刻が読めません"_s};
        }
    }
    if (day.startMinutes && day.endMinutes && *day.endMinutes <= *day.startMinutes) {
        return {std::nullopt, u"終了が開始より後ではありません"_s};
    }
    if (fields.size() > 5) {
        day.note = fields.mid(5).join(u' ');
    }
    return {day, {}};
}

bool onlyEmptyFields(const QStringList& fields) {
    for (const QString& field : fields) {
        if (!field.trimmed().isEmpty()) {
            return false;
        }
    }
    return true;
}

QString timeText(const std::optional<int>& minutes) {
    if (!minutes) {
        return {};
    }
    if (*minutes < 0 || *minutes > kLatestMinute) {
        throw std::invalid_argument("a school day's time out of 0:00-28:59");
    }
    return u"%1:%2"_s.arg(*minutes / 60, 2, 10, QChar(u'0')).arg(*minutes % 60, 2, 10, QChar(u'0'));
}

QString quotedNote(QString note) {
    for (QChar& c : note) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = u' ';
        }
    }
    note.replace(u'"', u"\"\""_s);
    return u'"' + note + u'"';
}

// Decoding turns each byte that is no CP932 text into U+FFFD, a character CP932 itself
// cannot hold; the first line with one tells where the file went wrong.
void requireCp932Text(const QStringList& lines, const std::filesystem::path& file) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].contains(QChar::ReplacementCharacter)) {
            throw FileError(
                file, "cannot read", EILSEQ,
                "line " + std::to_string(i + 1) + " holds bytes that are no CP932 text");
        }
    }
}

off_t fileSize(int fd, const std::filesystem::path& file) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        throw FileError(file, "cannot read", errno);
    }
    return st.st_size;
}

// Another PC that starts the file at the same moment holds the lock only while it writes
// the header, or appends its line: wait that long, no longer.
void lockForHeader(int fd, const std::filesystem::path& file) {
    using namespace std::chrono_literals;
    const auto giveUp = std::chrono::steady_clock::now() + 2s;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // A refused lock reads EWOULDBLOCK, or EACCES on an SMB share.
        const int error = errno;
        if ((error != EWOULDBLOCK && error != EACCES) ||
            std::chrono::steady_clock::now() > giveUp) {
            throw FileError(file, "cannot write", error);
        }
        std::this_thread::sleep_for(20ms);
    }
}

// Makes sure the file exists and starts with its header. The file is made by exclusive
// creation (never through a link); the header goes into an empty file under the file's
// lock, so that of two writers finding it empty only the first writes it, and a file whose
// maker stopped before its header gets one from the next writer.
void ensureHeader(const std::filesystem::path& file) {
    UniqueFd fd;
    try {
        fd = openDataFile(file, O_RDWR | O_CREAT | O_EXCL, "cannot create");
    } catch (const FileError& error) {
        if (error.errorNumber() != EEXIST) {
            throw;
        }
        fd = openDataFile(file, O_RDWR, "cannot open for appending");
    }
    if (fileSize(fd.get(), file) > 0) {
        return;
    }
    lockForHeader(fd.get(), file);
    if (fileSize(fd.get(), file) > 0) {
        return;
    }
    QByteArray header = encodeCp932(schoolCalendarHeader());
    header += "\r\n";
    int error =
        writeFully(fd.get(), header.constData(), static_cast<std::size_t>(header.size()), 0);
    if (error == 0 && ::fdatasync(fd.get()) != 0) {
        error = errno;
    }
    if (error != 0) {
        // Back to empty, so the next writer tries again.
        if (::ftruncate(fd.get(), 0) != 0) {
            throw FileError(file, "cannot restore", errno);
        }
        throw FileError(file, "cannot write", error);
    }
    if (fd.close() != 0) {
        throw FileError(file, "cannot close", errno);
    }
}

}  // namespace

QString schoolCalendarHeader() {
    return u"日付,区分,開始,終了,休憩,備考"_s;
}

SchoolCalendar schoolCalendarOfLines(const QStringList& lines) {
    SchoolCalendar calendar;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = commaTextFields(lines[i]);
        if (onlyEmptyFields(fields)) {
            continue;
        }
        const int lineNumber = static_cast<int>(i + 1);
        ReadLine read = readDay(fields);
        if (!read.day) {
            calendar.problems.push_back({lineNumber, lines[i], read.problem});
            continue;
        }
        read.day->line = lineNumber;
        calendar.days.insert_or_assign(read.day->date, *read.day);
    }
    return calendar;
}

SchoolCalendar readSchoolCalendar(const std::filesystem::path& appFolder) {
    const auto file = dataFilePath(appFolder, kSchoolCalendarFile);
    std::error_code ec;
    if (std::filesystem::symlink_status(file, ec).type() == std::filesystem::file_type::not_found) {
        return {};
    }
    const QStringList lines = readDataFileLines(file);
    requireCp932Text(lines, file);
    return schoolCalendarOfLines(lines);
}

QString schoolDayLine(const SchoolDay& day) {
    if (!day.date.isValid()) {
        throw std::invalid_argument("a school day without a valid date");
    }
    QStringList fields{recordDateText(day.date), day.workday ? kWorkday : kDayOff};
    const bool hasTimes = day.startMinutes || day.endMinutes || day.breakMinutes;
    if (hasTimes || !day.note.isEmpty()) {
        fields << timeText(day.startMinutes) << timeText(day.endMinutes)
               << timeText(day.breakMinutes);
    }
    if (!day.note.isEmpty()) {
        fields << quotedNote(day.note);
    }
    return fields.join(u',');
}

void appendSchoolDay(const std::filesystem::path& appFolder, const SchoolDay& day) {
    const QString line = schoolDayLine(day);  // before the file is touched
    const auto file = dataFilePath(appFolder, kSchoolCalendarFile);
    ensureHeader(file);
    appendLine(file, line);
}

}  // namespace tavomi
