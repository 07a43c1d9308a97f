// Several reception PCs sharing one data folder, as processes on this machine:
// N writers append through the library to one journal on the build folder's disk,
// each until it has written its share, trying again after a "busy". Every record
// a writer was told is written must be in the journal once and whole.

#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/punch_journal.h"
#include "support/journal_header.h"

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using namespace tavomi;

const QString kHeader = QString::fromUtf16(test::kJournalHeader);

// Each record names its writer and its number, so that each can be found again.
QString record(int writer, int number) {
    return u"出勤,山田%1,2019/08/28,07:45,IC記録,詳細%2,事由なし"_s.arg(writer).arg(number);
}

// The benchmark's own folder, on the disk of the build folder (not a tmpfs /tmp).
QString besideThisProgram() {
    return QString::fromStdString(
        std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
}

struct Tally {
    std::int64_t written = 0;
    std::int64_t busy = 0;
    std::int64_t errors = 0;
};

[[noreturn]] void runWriter(const std::filesystem::path& app, int writer, int records, int out) {
    Tally tally;
    JournalLock lock;
    for (int number = 0; number < records;) {
        try {
            switch (writeRecordLockingFirst(app, record(writer, number), lock)) {
                case WriteOutcome::Written:
                    ++tally.written;
                    ++number;
                    continue;
                case WriteOutcome::Busy:
                    ++tally.busy;
                    break;
                case WriteOutcome::JournalMissing:
                    ++tally.errors;
                    break;
            }
        } catch (const FileError&) {
            ++tally.errors;
        }
        ::usleep(500);  // the teacher lays the card again
    }
    const bool reported = ::write(out, &tally, sizeof tally) == sizeof tally;
    ::_exit(reported ? 0 : 1);
}

// Starts the writers and adds up what they report.
Tally runWriters(const std::filesystem::path& app, int writers, int records) {
    std::vector<std::pair<pid_t, int>> started;
    for (int w = 0; w < writers; ++w) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            throw std::runtime_error("cannot make a pipe");
        }
        const pid_t pid = ::fork();
        if (pid < 0) {
            throw std::runtime_error("cannot start a writer");
        }
        if (pid == 0) {
            ::close(pipeFds[0]);
            runWriter(app, w, records, pipeFds[1]);
        }
        ::close(pipeFds[1]);
        started.emplace_back(pid, pipeFds[0]);
    }
    Tally total;
    for (const auto& [pid, fd] : started) {
        Tally one;
        if (::read(fd, &one, sizeof one) != sizeof one) {
            throw std::runtime_error("a writer did not report");
        }
        ::close(fd);
        ::waitpid(pid, nullptr, 0);
        total.written += one.written;
        total.busy += one.busy;
        total.errors += one.errors;
    }
    return total;
}

struct JournalCheck {
    std::int64_t lost = 0;  // told written, not found
    std::int64_t torn = 0;  // lines that are no whole record of ours, or a record twice
};

JournalCheck checkJournal(const std::filesystem::path& journal, int writers, int records) {
    QFile f(QString::fromStdString(journal.string()));
    if (!f.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + journal.string());
    }
    const QByteArray bytes = f.readAll();
    QStringList lines = decodeCp932(bytes).split(QStringLiteral("\r\n"));
    JournalCheck check;
    if (!bytes.endsWith("\r\n") || lines.takeFirst() != kHeader) {
        ++check.torn;
    }
    lines.removeLast();  // after the last CR LF
    static const QRegularExpression whole(
        u"^出勤,山田(\\d+),2019/08/28,07:45,IC記録,詳細(\\d+),事由なし$"_s);
    std::set<std::pair<int, int>> found;
    for (const QString& line : lines) {
        const auto match = whole.match(line);
        if (!match.hasMatch() ||
            !found.emplace(match.captured(1).toInt(), match.captured(2).toInt()).second) {
            ++check.torn;
        }
    }
    for (int w = 0; w < writers; ++w) {
        for (int n = 0; n < records; ++n) {
            check.lost += found.count({w, n}) == 0 ? 1 : 0;
        }
    }
    return check;
}

void BM_ConcurrentWriters(benchmark::State& state) {
    const int writers = static_cast<int>(state.range(0));
    const int records = static_cast<int>(state.range(1));
    Tally tally;
    JournalCheck check;
    for (auto _ : state) {
        QTemporaryDir dir(besideThisProgram() + "/concurrent-writers-XXXXXX");
        const std::filesystem::path app(dir.path().toStdString());
        std::filesystem::create_directories(app / kDataFolderName);
        const std::filesystem::path journal = dataFilePath(app, kJournalFile);
        {
            QFile f(QString::fromStdString(journal.string()));
            if (!f.open(QIODevice::WriteOnly) || f.write(encodeCp932(kHeader) + "\r\n") < 0) {
                state.SkipWithError("cannot make the journal");
                break;
            }
        }
        tally = runWriters(app, writers, records);
        state.PauseTiming();
        check = checkJournal(journal, writers, records);
        state.ResumeTiming();
    }
    state.counters["written"] = double(tally.written);
    state.counters["busy"] = double(tally.busy);
    state.counters["errors"] = double(tally.errors);
    state.counters["lost"] = double(check.lost);
    state.counters["torn"] = double(check.torn);
    state.counters["records/s"] =
        benchmark::Counter(double(tally.written), benchmark::Counter::kIsRate);
    state.SetLabel(std::to_string(writers) + " writers x " + std::to_string(records) + " records");
    if (check.lost != 0 || check.torn != 0) {
        state.SkipWithError("records lost or torn");
    }
}
BENCHMARK(BM_ConcurrentWriters)
    ->Args({8, 2000})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
