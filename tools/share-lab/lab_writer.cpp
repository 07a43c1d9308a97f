// The share lab's writer and checker (tools/share-lab/run.sh). On a client PC it appends
// records as a reception PC's clock does, through the journal writer with its spool, and
// logs every attempt; on the host it checks a journal against the writers' logs.
//
//   tavomi-share-lab init APP_FOLDER [FILE]     a fresh journal (or FILE beside it), header
//                                               only, no lock file
//   tavomi-share-lab write APP_FOLDER NAME SECONDS [GO_FILE]
//       punches NAME's records 0, 1, ... until SECONDS have passed (at least one), each as a card
//       screen does (2 s, then kept on this PC), trying a record again after a busy or an error, as
//       a teacher lays the card again. Then it waits until its spool is empty and for the read-back
//       of every record written (up to SHARE_LAB_DRAIN seconds, 180, for the spool;
//       SHARE_LAB_READ_BACK, the writer's read-back time and 15 s). With GO_FILE its first append,
//       once it holds the lock and the journal is open and its end known, prints "Holding at
//       OFFSET" and waits until GO_FILE exists (the lab stops it or cuts its network there).
//   tavomi-share-lab late FILE NAME GO_FILE
//       appends one record to FILE as the journal is appended to, held in the same place
//       until GO_FILE exists; logs how long the write took from then and where it went
//   tavomi-share-lab barge FILE NAME SECONDS
//       appends a record to FILE every 5 s for SECONDS, without the lock file, as a writer
//       that took the lock over would
//   tavomi-share-lab check JOURNAL LOG...
//       prints "written kept busy errors lost torn duplicated longest_ms hung unreported
//       written_again unsent": unsent are records not in the journal that were still in
//       their writer's spool at its end, lost the others a writer was told are written or kept
//
// A log line is "NAME NUMBER OUTCOME MILLISECONDS [detail]", OUTCOME one of Written, Kept,
// Busy, JournalMissing, FileError; MILLISECONDS is how long that one punch took. "append
// MILLISECONDS OUTCOME [detail]" is one append to the share (the writer thread's), "Unsent
// N" the records still in the spool at the end, and lines "tavomi: ..." the writer's own
// session log. The lab adds a line "Hung" to the log of a writer it had to kill inside a
// call.

#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/journal_lock.h"
#include "files/punch_journal.h"
#include "spool/journal_writer.h"
#include "support/journal_header.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTime>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
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

// The PC's time of day, to line the logs of the three machines up with the lab's steps.
std::string timeOfDay() {
    return QTime::currentTime().toString(u"HH:mm:ss.zzz"_s).toStdString();
}

void logAttempt(const char* name, std::int64_t number, const char* outcome, std::int64_t ms,
                const std::string& detail = {}) {
    std::printf("%s %lld %s %lld @%s%s%s\n", name, static_cast<long long>(number), outcome,
                static_cast<long long>(ms), timeOfDay().c_str(), detail.empty() ? "" : " ",
                detail.c_str());
    std::fflush(stdout);
}

int init(const std::filesystem::path& app, const char* fileName) {
    std::filesystem::remove(dataFilePath(app, kLockFile));
    const std::filesystem::path journalPath =
        fileName != nullptr ? dataFilePath(app, kJournalFile).parent_path() / fileName
                            : dataFilePath(app, kJournalFile);
    QFile journal(QString::fromStdString(journalPath.string()));
    if (!journal.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        journal.write(encodeCp932(kHeader) + "\r\n") < 0 || !journal.flush()) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(journal.fileName()));
        return 1;
    }
    return 0;
}

std::string errorText(const FileError& e) {
    return std::to_string(e.errorNumber()) + " " + e.what();
}

// Waits until the lab says go: a file that appears on the lab's own share, which no
// network cut of the PC reaches.
void waitForFile(const std::string& file) {
    while (!std::filesystem::exists(file)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

int secondsFromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

// The clock's own append, timed and logged; with a go file the first one is held where
// its write is about to go out.
JournalWriter::Append labAppend(std::string goFile) {
    auto held = std::make_shared<std::atomic<bool>>(goFile.empty());
    return [goFile = std::move(goFile), held](const std::filesystem::path& app, const QString& line,
                                              JournalLock& lock, WriteOrder order,
                                              const WhileLocked& whileLocked) {
        WhileLocked labWhileLocked = whileLocked;
        if (!*held) {
            labWhileLocked.beforeWrite = [&goFile, held](qint64 writeAt) {
                if (held->exchange(true)) {
                    return;
                }
                std::printf("Holding at %lld @%s\n", static_cast<long long>(writeAt),
                            timeOfDay().c_str());
                std::fflush(stdout);
                waitForFile(goFile);
            };
        }
        const auto start = Clock::now();
        try {
            const WriteOutcome outcome =
                JournalWriter::appendToShare(app, line, lock, order, labWhileLocked);
            std::printf("append %lld %s @%s\n", static_cast<long long>(millisecondsSince(start)),
                        writeOutcomeName(outcome), timeOfDay().c_str());
            std::fflush(stdout);
            return outcome;
        } catch (const FileError& e) {
            std::printf("append %lld FileError @%s %s\n",
                        static_cast<long long>(millisecondsSince(start)), timeOfDay().c_str(),
                        errorText(e).c_str());
            std::fflush(stdout);
            throw;
        }
    };
}

const char* resultName(const WriteResult& result, std::string& detail) {
    switch (result.kind) {
        case WriteResult::Kind::Written:
            return "Written";
        case WriteResult::Kind::Kept:
            return "Kept";
        case WriteResult::Kind::Busy:
            return "Busy";
        case WriteResult::Kind::JournalMissing:
            return "JournalMissing";
        case WriteResult::Kind::Failed:
            break;
    }
    try {
        if (result.error) {
            std::rethrow_exception(result.error);
        }
    } catch (const FileError& e) {
        detail = errorText(e);
    } catch (const std::exception& e) {
        detail = e.what();
    }
    return "FileError";
}

int write(const std::filesystem::path& app, const char* name, int seconds,
          const std::string& goFile) {
    // Each writer is one PC's clock with a spool of its own on the PC's disk, fresh for
    // each scenario.
    const std::filesystem::path spoolFolder =
        std::filesystem::path("/var/tmp/tavomi-share-lab") / (app.filename().string() + "-" + name);
    std::filesystem::remove_all(spoolFolder);
    std::filesystem::create_directories(spoolFolder);
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    JournalWriter writer(
        app, spoolFolder, [] { return QDateTime::currentDateTime(); }, labAppend(goFile));
    // At least one record, however short the time: a held writer's first.
    for (std::int64_t number = 0; number == 0 || Clock::now() < end;) {
        const auto start = Clock::now();
        WriteRequest request;
        request.line = record(name, number);
        const WriteResult result = writer.write(request);
        std::string detail;
        const char* outcome = resultName(result, detail);
        logAttempt(name, number, outcome, millisecondsSince(start), detail);
        if (result.kind == WriteResult::Kind::Written || result.kind == WriteResult::Kind::Kept) {
            ++number;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the next card
    }
    // What waits in the spool goes once the lock does; then every record written is read
    // back by the writer when a late write can no longer land on it.
    const auto drainUntil =
        Clock::now() + std::chrono::seconds(secondsFromEnvironment("SHARE_LAB_DRAIN", 180));
    while (writer.spoolStatus().waiting > 0 && Clock::now() < drainUntil) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    std::printf("Unsent %d @%s\n", writer.spoolStatus().waiting, timeOfDay().c_str());
    std::fflush(stdout);
    const auto readBack =
        std::chrono::duration_cast<std::chrono::seconds>(JournalWriter::kRecheckAfter) +
        std::chrono::seconds(15);
    std::this_thread::sleep_for(
        std::chrono::seconds(secondsFromEnvironment("SHARE_LAB_READ_BACK", readBack.count())));
    return 0;
}

int late(const std::filesystem::path& file, const char* name, const std::string& goFile) {
    auto go = Clock::now();
    try {
        const qint64 at = appendLines(file, {record(name, 0)}, [&](qint64 writeAt) {
            std::printf("Holding at %lld @%s\n", static_cast<long long>(writeAt),
                        timeOfDay().c_str());
            std::fflush(stdout);
            waitForFile(goFile);
            go = Clock::now();
        });
        logAttempt(name, 0, "Written", millisecondsSince(go), "at " + std::to_string(at));
    } catch (const FileError& e) {
        logAttempt(name, 0, "FileError", millisecondsSince(go), errorText(e));
    }
    return 0;
}

int barge(const std::filesystem::path& file, const char* name, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    for (std::int64_t number = 0; Clock::now() < end;) {
        const auto start = Clock::now();
        try {
            const qint64 at = appendLines(file, {record(name, number)});
            logAttempt(name, number, "Written", millisecondsSince(start),
                       "at " + std::to_string(at));
            ++number;
        } catch (const FileError& e) {
            logAttempt(name, number, "FileError", millisecondsSince(start), errorText(e));
        }
        std::this_thread::sleep_for(std::chrono::seconds(5));
    }
    return 0;
}

struct Check {
    std::int64_t written = 0;
    std::int64_t kept = 0;  // kept on the PC at the punch, to be sent later
    std::int64_t busy = 0;
    std::int64_t errors = 0;
    std::int64_t lost = 0;          // a record written or kept that is not in the file
    std::int64_t torn = 0;          // a line that is not one whole record
    std::int64_t duplicated = 0;    // a record found more than once
    std::int64_t longestMs = 0;     // the longest single call that ended, whatever its outcome
    std::int64_t hung = 0;          // writers killed inside a call that never ended
    std::int64_t unreported = 0;    // whole records no log called written or kept
    std::int64_t writtenAgain = 0;  // records the read-back found overwritten
    std::int64_t unsent = 0;        // records still in a spool at the end, not in the file
};

using RecordKey = std::pair<std::string, std::int64_t>;

// Control characters as \xNN: a tail of NUL bytes shows as what it is.
QString shown(const QString& line) {
    QString text;
    for (const QChar ch : line) {
        if (ch.unicode() < 0x20) {
            text += u"\\x%1"_s.arg(int(ch.unicode()), 2, 16, QChar(u'0'));
        } else {
            text += ch;
        }
    }
    return text;
}

// Reads one writer's log. A spool sends its records oldest first, so the N records still
// in it at the end ("Unsent N") are the last N the writer kept.
void readLog(const char* path, Check& c, std::set<RecordKey>& reported,
             std::set<RecordKey>& inSpool) {
    std::ifstream log(path);
    std::string line;
    std::vector<RecordKey> keptHere;
    std::int64_t unsentHere = 0;
    while (std::getline(log, line)) {
        if (line == "Hung") {
            ++c.hung;
            continue;
        }
        if (line.rfind("tavomi: ", 0) == 0) {
            if (line.find("is written again") != std::string::npos) {
                ++c.writtenAgain;
                std::fprintf(stderr, "written again (%s): %s\n", path, line.c_str());
            }
            continue;
        }
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (first == "append") {
            std::int64_t ms = 0;
            if (fields >> ms) {
                c.longestMs = std::max(c.longestMs, ms);
            }
            continue;
        }
        if (first == "Unsent") {
            fields >> unsentHere;
            continue;
        }
        std::string outcome;
        std::int64_t number = 0, ms = 0;
        if (!(fields >> number >> outcome >> ms)) {
            continue;  // "Holding at" and the like
        }
        c.longestMs = std::max(c.longestMs, ms);
        if (outcome == "Written" || outcome == "Kept") {
            ++(outcome == "Written" ? c.written : c.kept);
            reported.emplace(first, number);
            if (outcome == "Kept") {
                keptHere.emplace_back(first, number);
            }
        } else if (outcome == "Busy") {
            ++c.busy;
        } else {
            ++c.errors;
            std::fprintf(stderr, "error: %s\n", line.c_str());
        }
    }
    for (std::int64_t i = 0; i < unsentHere && i < static_cast<std::int64_t>(keptHere.size());
         ++i) {
        inSpool.insert(keptHere[keptHere.size() - 1 - static_cast<std::size_t>(i)]);
    }
}

int check(const char* journalPath, int logCount, char** logPaths) {
    Check c;
    std::set<RecordKey> reported;
    std::set<RecordKey> inSpool;
    for (int i = 0; i < logCount; ++i) {
        readLog(logPaths[i], c, reported, inSpool);
    }
    QFile journal(QString::fromLocal8Bit(journalPath));
    if (!journal.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", journalPath);
        return 1;
    }
    const QByteArray bytes = journal.readAll();
    static const QRegularExpression whole(
        u"^出勤,山田([a-z0-9]+),2019/08/28,07:45,IC記録,詳細(\\d+),事由なし$"_s);
    std::map<std::pair<std::string, std::int64_t>, int> found;
    qsizetype at = 0;
    for (bool first = true; at < bytes.size(); first = false) {
        qsizetype next = bytes.indexOf("\r\n", at);
        const qsizetype lineEnd = next < 0 ? bytes.size() : next;
        const QString line = decodeCp932(bytes.mid(at, lineEnd - at));
        const qsizetype lineAt = at;
        at = next < 0 ? bytes.size() : next + 2;
        if (first) {
            if (line != kHeader) {
                ++c.torn;
                std::fprintf(stderr, "torn: the header\n");
            }
            continue;
        }
        const auto match = whole.match(line);
        if (!match.hasMatch()) {
            ++c.torn;
            std::fprintf(stderr, "torn at %lld: %lld characters: %s\n",
                         static_cast<long long>(lineAt), static_cast<long long>(line.size()),
                         qPrintable(shown(line)));
            continue;
        }
        const std::pair key{match.captured(1).toStdString(), match.captured(2).toLongLong()};
        if (key.first.front() == 'h') {
            // A held writer's record: where it went.
            std::fprintf(stderr, "at %lld: %s %lld\n", static_cast<long long>(lineAt),
                         key.first.c_str(), static_cast<long long>(key.second));
        }
        if (++found[key] == 2) {
            ++c.duplicated;
            std::fprintf(stderr, "duplicated at %lld: %s\n", static_cast<long long>(lineAt),
                         qPrintable(line));
        }
    }
    for (const auto& key : reported) {
        if (found.count(key) != 0) {
            continue;
        }
        const bool waits = inSpool.count(key) != 0;
        ++(waits ? c.unsent : c.lost);
        std::fprintf(stderr, "%s: %s %lld\n", waits ? "still in its spool" : "lost",
                     key.first.c_str(), static_cast<long long>(key.second));
    }
    for (const auto& [key, times] : found) {
        c.unreported += reported.count(key) == 0 ? 1 : 0;
    }
    for (const std::int64_t value :
         {c.written, c.kept, c.busy, c.errors, c.lost, c.torn, c.duplicated, c.longestMs, c.hung,
          c.unreported, c.writtenAgain, c.unsent}) {
        std::printf("%lld ", static_cast<long long>(value));
    }
    std::printf("\n");
    return 0;
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s init APP_FOLDER [FILE]\n"
                 "       %s write APP_FOLDER NAME SECONDS [GO_FILE]\n"
                 "       %s late FILE NAME GO_FILE\n"
                 "       %s barge FILE NAME SECONDS\n"
                 "       %s check JOURNAL LOG...\n",
                 program, program, program, program, program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return usage(argv[0]);
    }
    const std::string command = argv[1];
    try {
        if (command == "init" && (argc == 3 || argc == 4)) {
            return init(argv[2], argc == 4 ? argv[3] : nullptr);
        }
        if (command == "write" && (argc == 5 || argc == 6)) {
            return write(argv[2], argv[3], std::atoi(argv[4]), argc == 6 ? argv[5] : "");
        }
        if (command == "late" && argc == 5) {
            return late(argv[2], argv[3], argv[4]);
        }
        if (command == "barge" && argc == 5) {
            return barge(argv[2], argv[3], std::atoi(argv[4]));
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
