#include "report/journal_scan.h"

#include "files/cp932.h"
#include "files/data_file_io.h"
#include "files/file_error.h"
#include "files/punch_journal.h"
#include "files/unique_fd.h"
#include "record/line_bytes.h"
#include "record/punch_record.h"
#include "record/record_bytes.h"
#include "record/vocabulary.h"

#include <QHash>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tavomi {

namespace {

// Each read asks for 128 KiB: the kernel's copy then stays in the core's cache for the
// scan that follows (a 1 MiB read costs a third more in all). A line may be up to 1 MiB.
constexpr std::size_t kReadSize = std::size_t{128} << 10;
constexpr std::size_t kLongestLine = std::size_t{1} << 20;
// Bytes after the read buffer's end that findByte may read (and ignore).
constexpr std::size_t kPadding = 64;

UniqueFd openJournal(const std::filesystem::path& path) {
    UniqueFd fd = openDataFile(path, O_RDONLY, "cannot open");
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return fd;
}

// Calls onLine(data, size) for every line of the file, without its LF. A line that does
// not fit the buffer is handed over cut at the buffer's size; the rest of it is skipped.
// Returns early, without the rest of the file, when the progress says stop.
template <typename OnLine>
void forEachLine(int fd, const std::filesystem::path& path, OnLine&& onLine,
                 const ScanProgress& progress, qint64 size) {
    // Not zeroed: filling a buffer that the reads overwrite costs as much as a tenth of
    // the scan. Only the bytes findByte may look at past what was read are cleared.
    const auto padded = std::make_unique_for_overwrite<char[]>(kLongestLine + kPadding);
    const std::span<char> buffer(padded.get(), kLongestLine);
    qint64 read = 0;
    std::size_t filled = 0;
    bool skippingRestOfLine = false;
    for (;;) {
        const ssize_t got =
            readOnce(fd, buffer.data() + filled, std::min(kReadSize, buffer.size() - filled));
        if (got < 0) {
            throw FileError(path, "cannot read", errno);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
        std::memset(buffer.data() + filled, 0, kPadding);
        read += got;
        if (progress && !progress(read, size)) {
            return;
        }
        const char* p = buffer.data();
        const char* const end = p + filled;
        while (const char* lf = findByte(p, end, '\n')) {
            if (!skippingRestOfLine) {
                onLine(p, static_cast<std::size_t>(lf - p));
            }
            skippingRestOfLine = false;
            p = lf + 1;
        }
        std::size_t rest = static_cast<std::size_t>(end - p);
        if (rest == buffer.size()) {
            if (!skippingRestOfLine) {
                onLine(p, rest);
            }
            skippingRestOfLine = true;
            rest = 0;
        }
        std::memmove(buffer.data(), p, rest);
        filled = rest;
    }
    if (filled > 0 && !skippingRestOfLine) {
        onLine(buffer.data(), filled);
    }
}

bool isMonthNumber(const char* digits) {
    const int month = digitsValue(digits, 2);
    return month >= 1 && month <= 12;
}

std::uint64_t monthKeyOf(const QDate& date) {
    return monthKey(recordDateText(date).toLatin1().constData());
}

// Nothing to read: an empty line, or the end-of-file mark some editors leave.
bool isBlankLine(const char* data, std::size_t size) {
    return std::all_of(data, data + size, [](char c) { return c == kEndOfFileMark || c == '\r'; });
}

// Where a record line's date field starts, found as bytes (dates are ASCII in CP932, and
// CP932 never uses a comma as the second byte of a character), or nullptr. A record's
// kind is two characters, so the name starts at byte 5; the name is the only field that
// may hold a comma, so when the comma after byte 5 is not followed by a date, the date is
// looked for by its place from the line's end instead.
const char* findDateField(const char* data, const char* end) {
    auto isDateAt = [end](const char* d) {
        return end - d > static_cast<std::ptrdiff_t>(kDateBytes) && d[kDateBytes] == ',' &&
               looksLikeDate(d);
    };
    const char* const name = data + kKindBytes + 1;
    if (end > name && data[kKindBytes] == ',') {
        if (const char* comma = findByte(name, end, ','); comma && isDateAt(comma + 1)) {
            return comma + 1;
        }
    }
    std::size_t commas = 0;
    for (const char* p = end; p > data;) {
        if (*--p == ',' && ++commas == fieldFromEnd(RecordField::Date)) {
            return isDateAt(p + 1) ? p + 1 : nullptr;
        }
    }
    return nullptr;
}

class Scanner {
  public:
    Scanner(const ReportPeriod& period, const QDate& lookBackFrom)
        : period_(period),
          periodMonth_(monthKeyOf(period.first())),
          earlierMonth_(lookBackFrom.isValid() && lookBackFrom < period.first()
                            ? monthKeyOf(lookBackFrom)
                            : periodMonth_) {}

    void line(const char* data, std::size_t size) {
        ++number_;
        if (size > 0 && data[size - 1] == '\r') {
            --size;
        }
        if (number_ == 1) {
            header(data, size);
            return;
        }
        // The fast way, for nearly every line: the date field found and compared as bytes;
        // a line of another month is never decoded.
        const char* const end = data + size;
        if (const char* date = findDateField(data, end)) {
            const std::uint64_t month = monthKey(date);
            if (month < firstMonth_ && isMonthNumber(date + 5)) {
                firstMonth_ = month;
                std::memcpy(firstMonthText_.data(), date, firstMonthText_.size());
            }
            // A month takes every day number, 2019/08/32 included, so that such a line is
            // named as garbled rather than skipped.
            if (month == periodMonth_ &&
                (!period_.isDay() || std::memcmp(date + 8, dayDigits_, 2) == 0)) {
                lineOfPeriod(data, size);
            } else if (month >= earlierMonth_ && month < periodMonth_) {
                earlierLine(data, date, end);
            }
            return;
        }
        oddLine(data, size);
    }

    JournalScan take() {
        if (firstMonth_ != kNoMonth) {
            const QDate first(digitsValue(firstMonthText_.data(), 4),
                              digitsValue(firstMonthText_.data() + 5, 2), 1);
            scan_.firstMonth = first.isValid() ? first : QDate();
        }
        return std::move(scan_);
    }

  private:
    void header(const char* data, std::size_t size) {
        const auto read = readPunchLine(decoder_.decode(QByteArrayView(data, size)));
        if (const auto* event = std::get_if<PunchEvent>(&read)) {
            keep(*event);
        }
    }

    void lineOfPeriod(const char* data, std::size_t size) {
        if (auto event = recordBytes_.read(data, data + size)) {
            if (period_.contains(event->date)) {
                event->line = number_;
                scan_.events.push_back(std::move(*event));
            }
            return;
        }
        const QString text = decoder_.decode(QByteArrayView(data, size));
        const auto read = readPunchLine(text);
        if (const auto* event = std::get_if<PunchEvent>(&read)) {
            keep(*event);
        } else {
            scan_.garbled.push_back({number_, std::get<LineProblem>(read), text});
        }
    }

    // A line whose third field is no date: a name with a comma, or something garbled.
    void oddLine(const char* data, std::size_t size) {
        if (isBlankLine(data, size)) {
            return;
        }
        const QString text = decoder_.decode(QByteArrayView(data, size));
        const auto read = readPunchLine(text);
        if (const auto* event = std::get_if<PunchEvent>(&read)) {
            keep(*event);
        } else if (mayBelongToPeriod(text)) {
            scan_.garbled.push_back({number_, std::get<LineProblem>(read), text});
        }
    }

    void keep(PunchEvent event) {
        if (period_.contains(event.date)) {
            event.line = number_;
            // A month repeats a few names and times many times over: each is kept once.
            event.name = interned(event.name);
            event.time = interned(event.time);
            scan_.events.push_back(std::move(event));
        }
    }

    QString interned(const QString& text) {
        auto found = interned_.constFind(text);
        if (found == interned_.constEnd()) {
            found = interned_.insert(text, text);
        }
        return found.value();
    }

    // Where the line's date should be: a readable date decides; otherwise a year and
    // month read leniently (2019/8/32) decide; with neither the line may be anyone's.
    bool mayBelongToPeriod(const QString& text) const {
        const QStringList parts = text.split(u',');
        QString dateText;
        if (const auto fields = splitRecordFields(text)) {
            dateText = (*fields)[RecordField::Date];
        } else if (parts.size() > static_cast<qsizetype>(fieldIndex(RecordField::Date))) {
            dateText = parts[fieldIndex(RecordField::Date)];
        }
        if (const auto date = readRecordDate(dateText)) {
            return period_.contains(*date);
        }
        static const QRegularExpression yearMonth(QStringLiteral("^\\s*(\\d{4})\\D(\\d{1,2})"));
        const auto match = yearMonth.match(dateText);
        if (!match.hasMatch()) {
            return true;
        }
        return match.captured(1).toInt() == period_.first().year() &&
               match.captured(2).toInt() == period_.first().month();
    }

    // A record of the look-back, read from its bytes: the kind's four bytes and its comma,
    // a name field (a line whose date follows the kind has none), a valid date and a time
    // as the kind takes it.
    void earlierLine(const char* data, const char* date, const char* end) {
        constexpr std::size_t kDateAndTime = kDateBytes + 1 + kTimeBytes;  // 2019/08/28,07:45
        const char* const name = data + kKindBytes + 1;
        const auto kind = kinds_.at(data);
        if (!kind || data[kKindBytes] != ',' || date <= name ||
            end - date <= static_cast<std::ptrdiff_t>(kDateAndTime) || date[kDateAndTime] != ',') {
            return;
        }
        const std::optional<qint32> day = julianDay(date);
        const auto minutes = minutesAt(*kind, date + kDateBytes + 1);
        if (!day || !minutes) {
            return;
        }
        const std::string_view nameBytes(name, static_cast<std::size_t>(date - 1 - name));
        const bool leave = (*kind == RecordKind::GoingOut || *kind == RecordKind::Return) &&
                           !endsWithNoReason(date, end) && isOnLeave(reasonField(date, end));
        scan_.earlier[earlierTeacher(nameBytes)].push_back(
            {*day, static_cast<qint16>(*minutes), *kind, leave});
    }

    // Whether the line ends in ",事由なし", as nearly every line does: told from its last
    // bytes, without looking for the field.
    bool endsWithNoReason(const char* date, const char* end) const {
        const auto size = static_cast<std::ptrdiff_t>(noReason_.size());
        return end - date > size && end[-size - 1] == ',' &&
               std::memcmp(end - size, noReason_.data(), noReason_.size()) == 0;
    }

    // The last field's bytes: the reason (事由なし, 事由年休).
    static std::string_view reasonField(const char* date, const char* end) {
        const char* p = end;
        while (p > date && p[-1] != ',') {
            --p;
        }
        return {p, static_cast<std::size_t>(end - p)};
    }

    // Whether a reason field's codes take the teacher away on leave; each field read once.
    bool isOnLeave(std::string_view reason) {
        if (reason == noReason_) {
            return false;
        }
        auto found = leaveOfReason_.find(reason);
        if (found == leaveOfReason_.end()) {
            const auto codes =
                readReasonCodes(decoder_.decode(QByteArrayView(reason.data(), reason.size())));
            const bool leave =
                codes && std::any_of(codes->begin(), codes->end(),
                                     [](const QString& c) { return isLeaveReason(c); });
            found = leaveOfReason_.emplace(std::string(reason), leave).first;
        }
        return found->second;
    }

    // The look-back's index of the name, by its bytes, decoded once. CP932 has a few
    // characters twice (纊 is ED 40 and FA 5C): a name written both ways is one teacher's,
    // whose days may hold records of both.
    std::size_t earlierTeacher(std::string_view name) {
        auto found = nameIndex_.find(name);
        if (found == nameIndex_.end()) {
            const QString text = decoder_.decode(QByteArrayView(name.data(), name.size()));
            auto teacher = teacherOfName_.constFind(text);
            if (teacher == teacherOfName_.constEnd()) {
                teacher = teacherOfName_.insert(text, scan_.earlierNames.size());
                scan_.earlierNames.append(text);
                scan_.earlier.emplace_back();
            }
            found = nameIndex_.emplace(std::string(name), teacher.value()).first;
        }
        return static_cast<std::size_t>(found->second);
    }

    // The date's day number; the journal runs in date order, so that it is nearly always
    // the last line's.
    std::optional<qint32> julianDay(const char* date) {
        if (std::memcmp(date, lastDate_.data(), lastDate_.size()) != 0) {
            std::memcpy(lastDate_.data(), date, lastDate_.size());
            const auto day = dateAt(date);
            lastJulianDay_ =
                day ? std::optional(static_cast<qint32>(day->toJulianDay())) : std::nullopt;
        }
        return lastJulianDay_;
    }

    const ReportPeriod& period_;
    const std::uint64_t periodMonth_;
    const std::uint64_t earlierMonth_;  // from the look-back's month on
    const QByteArray dayText_ = recordDateText(period_.first()).toLatin1();
    const char* const dayDigits_ = dayText_.constData() + 8;
    const KindBytes kinds_;
    ByBytes<qsizetype> nameIndex_;  // the look-back's names by their bytes
    QHash<QString, qsizetype> teacherOfName_;
    std::array<char, 10> lastDate_{};
    std::optional<qint32> lastJulianDay_;
    qint64 number_ = 0;
    static constexpr std::uint64_t kNoMonth = ~std::uint64_t{0};
    std::uint64_t firstMonth_ = kNoMonth;
    std::array<char, 7> firstMonthText_{};  // 2019/08
    const std::string noReason_ = encodeCp932(QStringView(kNoReason)).toStdString();
    ByBytes<bool> leaveOfReason_;
    Cp932Decoder decoder_;
    RecordBytesReader recordBytes_{decoder_, kinds_};
    QHash<QString, QString> interned_;
    JournalScan scan_;
};

}  // namespace

JournalScan scanJournal(const std::filesystem::path& journal, const ReportPeriod& period,
                        const QDate& lookBackFrom, const ScanProgress& progress) {
    const UniqueFd fd = openJournal(journal);
    qint64 journalSize = 0;
    if (progress) {
        struct stat st {};
        if (::fstat(fd.get(), &st) == 0) {
            journalSize = st.st_size;
        }
    }
    Scanner scanner(period, lookBackFrom);
    forEachLine(
        fd.get(), journal, [&](const char* data, std::size_t size) { scanner.line(data, size); },
        progress, journalSize);
    return scanner.take();
}

}  // namespace tavomi
