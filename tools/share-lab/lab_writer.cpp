// The share lab's writer and checker (tools/share-lab/run.sh). On a client PC it appends
// records through the files library, as a reception PC does, and logs every attempt; on
// the host it checks a journal against the writers' logs.
//
//   tavomi-share-lab init APP_FOLDER            a fresh journal (header only), no lock file
//   tavomi-share-lab write APP_FOLDER NAME SECONDS
//       appends NAME's records 0, 1, ... until SECONDS have passed, trying a record again
//       after a busy or an error, as a teacher lays the card again
//   tavomi-share-lab hold APP_FOLDER NAME SECONDS
//       takes the lock, prints "Holding", waits SECONDS on the monotonic clock (the lab
//       kills or stops it meanwhile), then appends record 0 and releases
//   tavomi-share-lab check JOURNAL LOG...
//       prints "written busy errors lost torn duplicated longest_ms hung unreported"
//
// A log line is "NAME NUMBER OUTCOME MILLISECONDS [errno text]", OUTCOME one of Written,
// Busy, JournalMissing, FileError; MILLISECONDS is how long that one call took. The lab
// adds a line "Hung" to the log of a writer it had to kill inside a call.

#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/journal_lock.h"
#include "files/punch_journal.h"
#include "support/journal_header.h"

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

using namespace tavomi;
using Clock = std::chrono::steady_clock;

const QString kHeader = QString::fromUtf16(test::kJournalHeader);

// Each record names its writer and its number, so that each can be found again.
QString record(const QString& name, std::int64_t number) {
    return u"出勤,山田%1,2019/08/28,07:45,IC記録,詳細%2,事由なし"_s.arg(name).arg(number);
}

std::int64_t millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void logAttempt(const char* name, std::int64_t number, const char* outcome, std::int64_t ms,
                const std::string& detail = {}) {
    std::printf("%s %lld %s %lld%s%s\n", name, static_cast<long long>(number), outcome,
                static_cast<long long>(ms), detail.empty() ? "" : " ", detail.c_str());
    std::fflush(stdout);
}

int init(const std::filesystem::path& app) {
    std::filesystem::remove(dataFilePath(app, kLockFile));
    QFile journal(QString::fromStdString(dataFilePath(app, kJournalFile).string()));
    if (!journal.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        journal.write(encodeCp932(kHeader) + "\r\n") < 0 || !journal.flush()) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(journal.fileName()));
        return 1;
    }
    return 0;
}

int write(const std::filesystem::path& app, const char* name, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    JournalLock lock;
    for (std::int64_t number = 0; Clock::now() < end;) {
        const auto start = Clock::now();
        try {
            const WriteOutcome outcome = writeRecordLockingFirst(app, record(name, number), lock);
            logAttempt(name, number, writeOutcomeName(outcome), millisecondsSince(start));
            if (outcome == WriteOutcome::Written) {
                ++number;
            }
        } catch (const FileError& e) {
            logAttempt(name, number, "FileError", millisecondsSince(start),
                       std::to_string(e.errorNumber()) + " " + e.what());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the next card
    }
    return 0;
}

int hold(const std::filesystem::path& app, const char* name, int seconds) {
    JournalLock lock;
    const auto lockFile = dataFilePath(app, kLockFile);
    while (!lock.take(lockFile)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::printf("Holding\n");
    std::fflush(stdout);
    const JournalLockHold held(lock, lockFile);
    // A deadline, not a duration: a writer stopped past it appends as soon as it goes on.
    const auto until = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const auto start = Clock::now();
    try {
        appendLine(dataFilePath(app, kJournalFile), record(name, 0));
        logAttempt(name, 0, "Written", millisecondsSince(start));
    } catch (const FileError& e) {
        logAttempt(name, 0, "FileError", millisecondsSince(start),
                   std::to_string(e.errorNumber()) + " " + e.what());
    }
    return 0;
}

struct Check {
    std::int64_t written = 0;
    std::int64_t busy = 0;
    std::int64_t errors = 0;
    std::int64_t lost = 0;        // a record its writer was told is written, not in the file
    std::int64_t torn = 0;        // a line that is not one whole record
    std::int64_t duplicated = 0;  // a record found more than once
    std::int64_t longestMs = 0;   // the longest single call that ended, whatever its outcome
    std::int64_t hung = 0;        // writers killed inside a call that never ended
    std::int64_t unreported = 0;  // whole records no log called written (a killed writer's)
};

int check(const char* journalPath, int logCount, char** logPaths) {
    Check c;
    std::set<std::pair<std::string, std::int64_t>> reported;
    for (int i = 0; i < logCount; ++i) {
        std::ifstream log(logPaths[i]);
        std::string line;
        while (std::getline(log, line)) {
            if (line == "Hung") {
                ++c.hung;
                continue;
            }
            std::istringstream fields(line);
            std::string name, outcome;
            std::int64_t number = 0, ms = 0;
            if (!(fields >> name >> number >> outcome >> ms)) {
                continue;  // "Holding" and the like
            }
            c.longestMs = std::max(c.longestMs, ms);
            if (outcome == "Written") {
                ++c.written;
                reported.emplace(name, number);
            } else if (outcome == "Busy") {
                ++c.busy;
            } else {
                ++c.errors;
                std::fprintf(stderr, "error: %s\n", line.c_str());
            }
        }
    }
    QFile journal(QString::fromLocal8Bit(journalPath));
    if (!journal.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", journalPath);
        return 1;
    }
    const QByteArray bytes = journal.readAll();
    QStringList lines = decodeCp932(bytes).split(u"\r\n"_s);
    if (lines.takeFirst() != kHeader) {
        ++c.torn;
        std::fprintf(stderr, "torn: the header\n");
    }
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();  // after the last CR LF
    }
    static const QRegularExpression whole(
        u"^出勤,山田([a-z0-9]+),2019/08/28,07:45,IC記録,詳細(\\d+),事由なし$"_s);
    std::map<std::pair<std::string, std::int64_t>, int> found;
    for (const QString& line : std::as_const(lines)) {
        const auto match = whole.match(line);
        if (!match.hasMatch()) {
            ++c.torn;
            // Control characters as \xNN: a tail of NUL bytes shows as what it is.
            QString shown;
            for (const QChar ch : line) {
                if (ch.unicode() < 0x20) {
                    shown += u"\\x%1"_s.arg(int(ch.unicode()), 2, 16, QChar(u'0'));
                } else {
                    shown += ch;
                }
            }
            std::fprintf(stderr, "torn: %lld characters: %s\n", static_cast<long long>(line.size()),
                         qPrintable(shown));
            continue;
        }
        const std::pair key{match.captured(1).toStdString(), match.captured(2).toLongLong()};
        if (++found[key] == 2) {
            ++c.duplicated;
            std::fprintf(stderr, "duplicated: %s\n", qPrintable(line));
        }
    }
    for (const auto& key : reported) {
        if (found.count(key) == 0) {
            ++c.lost;
            std::fprintf(stderr, "lost: %s %lld\n", key.first.c_str(),
                         static_cast<long long>(key.second));
        }
    }
    for (const auto& [key, times] : found) {
        c.unreported += reported.count(key) == 0 ? 1 : 0;
    }
    for (const std::int64_t value : {c.written, c.busy, c.errors, c.lost, c.torn, c.duplicated,
                                     c.longestMs, c.hung, c.unreported}) {
        std::printf("%lld ", static_cast<long long>(value));
    }
    std::printf("\n");
    return 0;
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s init APP_FOLDER\n"
                 "       %s write|hold APP_FOLDER NAME SECONDS\n"
                 "       %s check JOURNAL LOG...\n",
                 program, program, program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return usage(argv[0]);
    }
    const std::string command = argv[1];
    try {
        if (command == "init" && argc == 3) {
            return init(argv[2]);
        }
        if ((command == "write" || command == "hold") && argc == 5) {
            const int seconds = std::atoi(argv[4]);
            return command == "write" ? write(argv[2], argv[3], seconds)
                                      : hold(argv[2], argv[3], seconds);
        }
        if (command == "check" && argc >= 4) {
            return check(argv[2], argc - 3, argv + 3);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return usage(argv[0]);
}
