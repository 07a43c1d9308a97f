#include "office/journal_scan.h"

#include "files/cp932.h"
#include "files/file_error.h"
#include "files/punch_journal.h"
#include "files/punch_record.h"
#include "files/unique_fd.h"

#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace tavomi {

namespace {

constexpr std::size_t kReadSize = std::size_t{1} << 20;

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
    qint64 read = 0;
    std::vector<char> buffer(kReadSize);
    std::size_t filled = 0;
    bool skippingRestOfLine = false;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data() + filled, buffer.size() - filled);
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
        while (const auto* lf = static_cast<const char*>(std::memchr(p, '\n', end - p))) {
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

// Ten bytes shaped like 2019/08/28.
bool looksLikeDate(const char* d) {
    return isDigit(d[0]) && isDigit(d[1]) && isDigit(d[2]) && isDigit(d[3]) && d[4] == '/' &&
           isDigit(d[5]) && isDigit(d[6]) && d[7] == '/' && isDigit(d[8]) && isDigit(d[9]);
}

// Nothing to read: an empty line, or the end-of-file mark some editors leave.
bool isBlankLine(const char* data, std::size_t size) {
    return std::all_of(data, data + size, [](char c) { return c == kEndOfFileMark || c == '\r'; });
}

class Scanner {
  public:
    explicit Scanner(const ReportPeriod& period) : period_(period), prefix_(period.datePrefix()) {}

    void line(const char* data, std::size_t size) {
        ++number_;
        if (size > 0 && data[size - 1] == '\r') {
            --size;
        }
        if (number_ == 1) {
            header(data, size);
            return;
        }
        // The fast way: field 3 of a well-formed record, found and compared as bytes.
        // CP932 never uses a comma as the second byte of a character.
        const char* const end = data + size;
        const auto* comma1 = static_cast<const char*>(std::memchr(data, ',', size));
        const auto* comma2 =
            comma1 ? static_cast<const char*>(std::memchr(comma1 + 1, ',', end - comma1 - 1))
                   : nullptr;
        if (comma2 && end - comma2 > 11 && comma2[11] == ',' && looksLikeDate(comma2 + 1)) {
            if (std::memcmp(comma2 + 1, prefix_.constData(), prefix_.size()) == 0) {
                lineOfPeriod(data, size);
            }
            return;
        }
        oddLine(data, size);
    }

    JournalScan take() { return std::move(scan_); }

  private:
    void header(const char* data, std::size_t size) {
        const auto read = readPunchLine(decodeCp932(QByteArrayView(data, size)));
        if (const auto* event = std::get_if<PunchEvent>(&read)) {
            keep(*event);
        }
    }

    void lineOfPeriod(const char* data, std::size_t size) {
        const QString text = decodeCp932(QByteArrayView(data, size));
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
        const QString text = decodeCp932(QByteArrayView(data, size));
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
            scan_.events.push_back(std::move(event));
        }
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

    const ReportPeriod& period_;
    const QByteArray prefix_;
    qint64 number_ = 0;
    JournalScan scan_;
};

}  // namespace

JournalScan scanJournal(const std::filesystem::path& journal, const ReportPeriod& period) {
    return scanJournal(journal, period, {});
}

JournalScan scanJournal(const std::filesystem::path& journal, const ReportPeriod& period,
                        const ScanProgress& progress) {
    const UniqueFd fd = openJournal(journal);
    qint64 journalSize = 0;
    if (progress) {
        struct stat st {};
        if (::fstat(fd.get(), &st) == 0) {
            journalSize = st.st_size;
        }
    }
    Scanner scanner(period);
    forEachLine(
        fd.get(), journal, [&](const char* data, std::size_t size) { scanner.line(data, size); },
        progress, journalSize);
    return scanner.take();
}

}  // namespace tavomi
