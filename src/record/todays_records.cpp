#include "record/todays_records.h"

#include "files/cp932.h"
#include "files/data_file_io.h"
#include "files/data_folder.h"
#include "files/file_error.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>

using namespace Qt::StringLiterals;

namespace tavomi {

std::optional<QStringList> journalLastLines(const std::filesystem::path& appFolder, qint64 bytes) {
    const std::filesystem::path journal = dataFilePath(appFolder, kJournalFile);
    try {
        const UniqueFd fd = openDataFileForReading(journal, "cannot open");
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) {
            return std::nullopt;
        }
        const off_t from = std::max<off_t>(0, st.st_size - bytes);
        QByteArray tail(static_cast<qsizetype>(st.st_size - from), '\0');
        const ssize_t got =
            readFully(fd.get(), tail.data(), static_cast<std::size_t>(tail.size()), from);
        if (got < 0) {
            return std::nullopt;
        }
        tail.truncate(got);
        if (from > 0) {
            tail.remove(0, tail.indexOf('\n') + 1);  // the first line may be cut
        }
        tail.truncate(tail.lastIndexOf('\n') + 1);  // so may the last, being written
        QStringList lines = decodeCp932(tail).split(u"\r\n"_s, Qt::SkipEmptyParts);
        return lines;
    } catch (const FileError&) {
        return std::nullopt;
    }
}

std::vector<PunchEvent> todaysRecordsOf(const QString& name, const QDate& date, const OwnLines& own,
                                        const std::optional<QStringList>& journal) {
    QStringList lines = journal ? *journal : own.written;
    const std::set<QString> known(lines.begin(), lines.end());
    for (const QString& line : own.waiting) {
        if (!known.contains(line)) {
            lines << line;
        }
    }
    // A 中抜's time is its length: it keeps its place after the record made before it.
    std::vector<std::pair<int, PunchEvent>> found;
    int lastTime = -1;
    for (const QString& line : lines) {
        const auto read = readPunchLine(line);
        if (const auto* event = std::get_if<PunchEvent>(&read);
            event && event->name == name && event->date == date) {
            if (event->kind != RecordKind::MidDayAbsence) {
                lastTime = event->minutes;
            }
            found.emplace_back(lastTime, *event);
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<PunchEvent> records;
    for (auto& [time, event] : found) {
        records.push_back(std::move(event));
    }
    return records;
}

QString todaysRecordsText(const std::vector<PunchEvent>& records, bool journalRead) {
    QStringList parts{u"今日の記録"_s};
    for (const PunchEvent& record : records) {
        parts << recordKindWord(record.kind) + u' ' + record.time;
    }
    if (records.empty()) {
        parts << u"なし"_s;
    }
    QString text = parts.join(u"　"_s);
    if (!journalRead) {
        text += u"（ほかのPCの記録は読めませんでした）"_s;
    }
    return text;
}

}  // namespace tavomi
