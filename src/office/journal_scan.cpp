#include "office/journal_scan.h"

#include "files/cp932.h"
#include "files/file_error.h"
#include "files/punch_journal.h"
#include "files/punch_record.h"
#include "files/unique_fd.h"

#include <QHash>
#include <QRegularExpression>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The first `c` in [p, end), or nullptr. Most lines are some 60 bytes long, where a call
// to memchr costs more than the search itself; this one stays inline. It may read up to
// 15 bytes past `end`, which the read buffer's padding allows.
inline const char* findByte(const char* p, const char* end, char c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (; p < end; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)); mask != 0) {
            const char* found = p + __builtin_ctz(static_cast<unsigned>(mask));
            return found < end ? found : nullptr;
        }
    }
    return nullptr;
#else
    return static_cast<const char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)));
#endif
}

UniqueFd openJournal(const std::filesystem::path& path) {
    // Non-blocking, so that a FIFO in the journal's place is refused, not waited on.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        throw FileError(path, "cannot open", errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        throw FileError(path, "cannot read", errno);
    }
    if (!S_ISREG(st.st_mode)) {
        throw FileError(path, "cannot open", EINVAL);
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        throw FileError(path, "cannot open", errno);
    }
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
    // the scan.
    const auto padded = std::make_unique_for_overwrite<char[]>(kLongestLine + kPadding);
    const std::span<char> buffer(padded.get(), kLongestLine);
    qint64 read = 0;
    std::size_t filled = 0;
    bool skippingRestOfLine = false;
    for (;;) {
        const ssize_t got =
            ::read(fd, buffer.data() + filled, std::min(kReadSize, buffer.size() - filled));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw FileError(path, "cannot read", errno);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
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

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Ten bytes shaped like 2019/08/28. The first eight are checked at once: each digit's
// byte is 0x30 to 0x39 and both slashes are in place.
bool looksLikeDate(const char* d) {
    std::uint64_t bytes = 0;
    std::memcpy(&bytes, d, sizeof bytes);                  // little-endian: d[0] is the lowest byte
    constexpr std::uint64_t kDigits = 0x00FFFF00FFFFFFFF;  // bytes 0-3, 5 and 6
    constexpr std::uint64_t kSlashes = 0xFF0000FF00000000;  // bytes 4 and 7
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
    constexpr std::uint64_t kThirties = 0x3030303030303030;
    return (bytes & kSlashes) == 0x2F00002F00000000 &&
           (bytes & kHigh & kDigits) == (kThirties & kDigits) &&
           // Every byte is now at most 0x3F, so adding 6 carries into no other byte.
           ((bytes + 0x0606060606060606) & kHigh & kDigits) == (kThirties & kDigits) &&
           isDigit(d[8]) && isDigit(d[9]);
}

// The first eight bytes of a date ("2019/08/") as a number that orders as the text does.
std::uint64_t monthKey(const char* d) {
    std::uint64_t bytes = 0;
    std::memcpy(&bytes, d, sizeof bytes);
    return __builtin_bswap64(bytes);
}

std::uint64_t monthKey(const QDate& date) {
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
// looked for as the fifth field from the end instead.
const char* findDateField(const char* data, const char* end) {
    auto isDateAt = [end](const char* d) {
        return end - d > 10 && d[10] == ',' && looksLikeDate(d);
    };
    if (end - data > 5 && data[4] == ',') {
        if (const char* comma = findByte(data + 5, end, ','); comma && isDateAt(comma + 1)) {
            return comma + 1;
        }
    }
    int commas = 0;
    for (const char* p = end; p > data;) {
        if (*--p == ',' && ++commas == 5) {
            return isDateAt(p + 1) ? p + 1 : nullptr;
        }
    }
    return nullptr;
}

struct BytesHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

template <typename Value>
using ByBytes = std::unordered_map<std::string, Value, BytesHash, std::equal_to<>>;

// The record kinds by their four CP932 bytes.
class KindBytes {
  public:
    KindBytes() {
        for (const RecordKindWord& word : kRecordKindWords) {
            const QByteArray bytes = encodeCp932(QStringView(word.word));
            std::memcpy(&bytes_[static_cast<std::size_t>(word.kind)], bytes.constData(), 4);
        }
    }

    std::optional<RecordKind> at(const char* p) const {
        std::uint32_t bytes = 0;
        std::memcpy(&bytes, p, 4);
        const auto kind = std::find(bytes_.begin(), bytes_.end(), bytes);
        if (kind == bytes_.end()) {
            return std::nullopt;
        }
        return static_cast<RecordKind>(kind - bytes_.begin());
    }

  private:
    std::array<std::uint32_t, kRecordKindWords.size()> bytes_{};
};

int digitsValue(const char* d, int n) {
    int value = 0;
    for (int i = 0; i < n; ++i) {
        value = value * 10 + (d[i] - '0');
    }
    return value;
}

// The date of ten bytes that looksLikeDate, when it is a date of the calendar.
std::optional<QDate> dateAt(const char* d) {
    const QDate date(digitsValue(d, 4), digitsValue(d + 5, 2), digitsValue(d + 8, 2));
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// The minutes of a time field of five bytes, as readRecordMinutes takes them.
std::optional<int> minutesAt(RecordKind kind, const char* t) {
    char16_t time[5];
    std::copy(t, t + 5, time);
    return readRecordMinutes(kind, QStringView(time, 5));
}

// Reads a line from its bytes when it has the shape nearly every line has: seven fields,
// of which the kind, date, time and source as the time clock writes them, and a name and
// code fields that decode and read. Each distinct name, time and code field is decoded
// once, and the events share its text. Anything else (nullopt) is left to readPunchLine,
// which says what is wrong; a line read here reads the same there.
class RecordBytesReader {
  public:
    explicit RecordBytesReader(Cp932Decoder& decoder)
        : decoder_(decoder),
          card_(encodeCp932(QStringView(kSourceCard)).toStdString()),
          manual_(encodeCp932(QStringView(kSourceManual)).toStdString()) {}

    std::optional<PunchEvent> read(const char* data, const char* end) {
        std::array<const char*, 7> field{data};  // where each starts
        for (std::size_t f = 1; f < field.size(); ++f) {
            const char* comma = findByte(field[f - 1], end, ',');
            if (comma == nullptr) {
                return std::nullopt;
            }
            field[f] = comma + 1;
        }
        // A seventh comma: a name that holds one, which readPunchLine puts together.
        if (findByte(field[6], end, ',') != nullptr) {
            return std::nullopt;
        }
        const auto size = [&](std::size_t f) {
            return (f + 1 < field.size() ? field[f + 1] - 1 : end) - field[f];
        };
        const auto text = [&](std::size_t f) {
            return std::string_view(field[f], static_cast<std::size_t>(size(f)));
        };
        if (size(0) != 4 || size(2) != 10 || size(3) != 5 || !looksLikeDate(field[2])) {
            return std::nullopt;
        }
        const auto kind = kinds_.at(field[0]);
        const auto date = kind ? dateAt(field[2]) : std::nullopt;
        const auto minutes = date ? minutesAt(*kind, field[3]) : std::nullopt;
        const std::string_view source = text(4);
        if (!minutes || (source != card_ && source != manual_)) {
            return std::nullopt;
        }
        const QString* name =
            decoded(names_, text(1), [](const QString& t) { return std::optional(t); });
        const QStringList* categories =
            decoded(details_, text(5), [](const QString& t) { return readDetailCodes(t); });
        const QStringList* reasons =
            decoded(reasons_, text(6), [](const QString& t) { return readReasonCodes(t); });
        if (!name || !categories || !reasons) {
            return std::nullopt;
        }
        PunchEvent event;
        event.kind = *kind;
        event.name = *name;
        event.date = *date;
        event.time = timeText(field[3]);
        event.minutes = *minutes;
        event.manual = source == manual_;
        event.categories = *categories;
        event.reasons = *reasons;
        return event;
    }

  private:
    // What `read` made of the field's decoded text the first time it was seen; nullptr
    // when the bytes are no CP932 text or `read` made nothing of them.
    template <typename Value, typename Read>
    const Value* decoded(ByBytes<std::optional<Value>>& seen, std::string_view bytes, Read&& read) {
        auto found = seen.find(bytes);
        if (found == seen.end()) {
            const QString text = decoder_.decode(QByteArrayView(bytes.data(), bytes.size()));
            std::optional<Value> value;
            if (!text.contains(QChar(QChar::ReplacementCharacter))) {
                value = read(text);
            }
            found = seen.emplace(std::string(bytes), std::move(value)).first;
        }
        return found->second ? &*found->second : nullptr;
    }

    QString timeText(const char* t) {
        std::uint64_t key = 0;
        std::memcpy(&key, t, 5);
        auto found = times_.find(key);
        if (found == times_.end()) {
            found = times_.emplace(key, QString::fromLatin1(t, 5)).first;
        }
        return found->second;
    }

    Cp932Decoder& decoder_;
    const KindBytes kinds_;
    const std::string card_;
    const std::string manual_;
    ByBytes<std::optional<QString>> names_;
    ByBytes<std::optional<QStringList>> details_;
    ByBytes<std::optional<QStringList>> reasons_;
    std::unordered_map<std::uint64_t, QString> times_;
};

class Scanner {
  public:
    Scanner(const ReportPeriod& period, const QDate& lookBackFrom)
        : period_(period),
          periodMonth_(monthKey(period.first())),
          earlierMonth_(lookBackFrom.isValid() && lookBackFrom < period.first()
                            ? monthKey(lookBackFrom)
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

    JournalScan take() { return std::move(scan_); }

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
            dateText = (*fields)[2];
        } else if (parts.size() >= 3) {
            dateText = parts[2];
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
        const auto kind = kinds_.at(data);
        if (!kind || data[4] != ',' || date < data + 6 || end - date < 17 || date[16] != ',') {
            return;
        }
        const std::optional<qint32> day = julianDay(date);
        const auto minutes = minutesAt(*kind, date + 11);
        if (!day || !minutes) {
            return;
        }
        const std::string_view name(data + 5, static_cast<std::size_t>(date - 1 - (data + 5)));
        scan_.earlier[earlierTeacher(name)].push_back({*day, static_cast<qint16>(*minutes), *kind});
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
    Cp932Decoder decoder_;
    RecordBytesReader recordBytes_{decoder_};
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
