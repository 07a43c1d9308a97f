// A month's report over a long journal, timed side by side with `wc -l` over the same
// file in the same run, in CPU time (user and system, from wait4 in a small process), on two
// journals of 256 MiB (TAVOMI_BENCH_JOURNAL_MB sets another size), generated in the build folder
// and removed afterwards. The check, by the best of nine runs of each: the report within 1.5
// times wc's CPU time for a month outside the journal, within 4.5 times for the month of one
// of sixty (its look-back and a thousand sheets of 17 columns), and under 64 MiB of resident
// memory; a run that misses it says so and ends with status 1.
//   OutsideTheMonth  120 teachers from 1960 on; the month asked is before the first line
//   OneOfSixty       as many teachers as fill the size in 60 months; the 31st month asked

#include "files/cp932.h"
#include "files/data_folder.h"
#include "support/journal_header.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

extern char** environ;

namespace {

using namespace tavomi;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr int kFirstYear = 1960;
// About what one teacher's month of records takes (3.4 lines of 58 bytes, 21.7 days).
constexpr std::uint64_t kBytesPerTeacherMonth = 4300;

const std::filesystem::path kAppFolder =
    std::filesystem::path(TAVOMI_BUILD_DIR) / "bench" / "report-journal";

// 256 MiB, or less when the disk has not three times that to spare; TAVOMI_BENCH_JOURNAL_MB
// sets it.
std::uint64_t journalSize() {
    if (const char* mb = std::getenv("TAVOMI_BENCH_JOURNAL_MB"); mb != nullptr && *mb != '\0') {
        return std::strtoull(mb, nullptr, 10) * kMiB;
    }
    struct statvfs fs {};
    std::uint64_t size = 256 * kMiB;
    if (::statvfs(TAVOMI_BUILD_DIR, &fs) == 0) {
        const std::uint64_t free = std::uint64_t(fs.f_bavail) * fs.f_frsize;
        while (size > 64 * kMiB && free < 3 * size) {
            size /= 2;
        }
    }
    return size;
}

enum class Shape { OutsideTheMonth, OneOfSixty };

// What `make bench` checks, the best CPU time of the report over wc's, as met in December 2026.
double checkedRatio(Shape shape) {
    return shape == Shape::OutsideTheMonth ? 1.5 : 4.5;
}
constexpr double kCheckedRssMiB = 64;
bool checkMissed = false;

QByteArray cp932(const char16_t* text) {
    return encodeCp932(QString::fromUtf16(text));
}

// One school day of every teacher: clock-in, going out and return for a third of them,
// a clock-out with work categories, and now and then a 中抜 or a manual clock-out.
void appendDay(QByteArray& out, const QByteArray& date, const std::vector<QByteArray>& names,
               int dayNumber) {
    static const QByteArray in = cp932(u"出勤,"), outKind = cp932(u"退勤,"),
                            goOut = cp932(u"外出,"), back = cp932(u"戻り,"),
                            absence = cp932(u"中抜,"), card = cp932(u",IC記録,"),
                            manual = cp932(u",手動記録,"), none = cp932(u"詳細なし,事由なし\r\n"),
                            work = cp932(u"詳細bchm1,事由なし\r\n"),
                            leave = cp932(u"詳細なし,事由年休\r\n");
    for (std::size_t t = 0; t < names.size(); ++t) {
        auto record = [&](const QByteArray& kind, const char* time, const QByteArray& source,
                          const QByteArray& tail) {
            out += kind;
            out += names[t];
            out += ',';
            out += date;
            out += ',';
            out += time;
            out += source;
            out += tail;
        };
        const int salt = static_cast<int>(t) + dayNumber;
        record(in, "07:45", card, none);
        if (salt % 3 == 0) {
            record(goOut, "13:10", card, none);
            record(back, "14:20", card, none);
        }
        if (salt % 17 == 0) {
            record(absence, "02:00", card, leave);
        }
        record(outKind, salt % 29 == 0 ? "25:30" : "18:02", salt % 29 == 0 ? manual : card, work);
    }
}

struct Journal {
    std::filesystem::path keeper;
    std::uint64_t bytes = 0;
    QString month;  // the month the report is asked for, in the middle of the journal
};

Journal makeJournal(Shape shape) {
    {
        Journal j;
        const std::uint64_t target = journalSize();
        const int kTeachers =
            shape == Shape::OutsideTheMonth
                ? 120
                : std::max<int>(1, static_cast<int>(target / (60 * kBytesPerTeacherMonth)));
        std::filesystem::remove_all(kAppFolder);
        const auto data = kAppFolder / kDataFolderName;
        std::filesystem::create_directories(data);
        std::vector<QByteArray> names;
        QByteArray list = cp932(u"カードID,氏名,職名\r\n");
        for (int t = 0; t < kTeachers; ++t) {
            names.push_back(encodeCp932(u"教員　%1"_s.arg(t + 1, 3, 10, QChar(u'0'))));
            list += QByteArray::number(0x0100000000000000LL + t, 16).toUpper() + ',' +
                    names.back() + cp932(u",教諭\r\n");
        }
        auto write = [](const std::filesystem::path& file, const QByteArray& bytes) {
            std::FILE* f = std::fopen(file.c_str(), "wb");
            if (f == nullptr ||
                std::fwrite(bytes.data(), 1, bytes.size(), f) != size_t(bytes.size()) ||
                std::fclose(f) != 0) {
                throw std::runtime_error("cannot write " + file.string());
            }
        };
        write(data / kCardholderListFile, list);
        // No working hours at all, as since the bench began: every day counts as a day off,
        // so the figures stay comparable run to run.
        write(data / kWorkingHoursFile, cp932(u"日付,開始,終了,休憩\r\n"));
        write(data / kWeeklyTableFile, cp932(u"曜日,開始,終了,休憩\r\n"));

        j.keeper = data / kJournalFile;
        std::FILE* f = std::fopen(j.keeper.c_str(), "wb");
        if (f == nullptr) {
            throw std::runtime_error("cannot write " + j.keeper.string());
        }
        QByteArray chunk = cp932(test::kJournalHeader) + "\r\n";
        QDate date(kFirstYear, 1, 1);
        std::vector<QDate> months;
        for (int day = 0; j.bytes + std::uint64_t(chunk.size()) < target; ++day) {
            if (date.dayOfWeek() <= 5) {
                appendDay(chunk, date.toString(QStringLiteral("yyyy/MM/dd")).toLatin1(), names,
                          day);
            }
            if (date.day() == 1) {
                months.push_back(date);
            }
            date = date.addDays(1);
            if (chunk.size() > qsizetype(8 * kMiB)) {
                std::fwrite(chunk.data(), 1, chunk.size(), f);
                j.bytes += chunk.size();
                chunk.clear();
            }
        }
        std::fwrite(chunk.data(), 1, chunk.size(), f);
        j.bytes += chunk.size();
        if (std::fclose(f) != 0) {
            throw std::runtime_error("cannot write " + j.keeper.string());
        }
        j.month = shape == Shape::OutsideTheMonth
                      ? QDate(kFirstYear - 1, 12, 1).toString(QStringLiteral("yyyy/MM"))
                      : months[std::min<std::size_t>(30, months.size() - 1)].toString(
                            QStringLiteral("yyyy/MM"));
        return j;
    }
}

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system
    double maxRssMiB = 0;
};

// Runs a program with its output discarded, through tavomi-bench-child-usage so that its
// peak memory is its own and not this benchmark's: its wall time, CPU time and peak
// resident memory.
Run run(const std::vector<std::string>& argv) {
    std::vector<char*> args{const_cast<char*>(TAVOMI_CHILD_USAGE)};
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot make a pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (error != 0) {
        ::close(pipeFds[0]);
        throw std::runtime_error("cannot run " + argv[0]);
    }
    std::string said;
    char buffer[256];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0) {
            said.append(buffer, static_cast<std::size_t>(got));
        } else if (errno != EINTR) {
            break;
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    int exitStatus = -1;
    double user = 0;
    double system = 0;
    long maxRssKiB = 0;
    if (std::sscanf(said.c_str(), "%d %lf %lf %ld", &exitStatus, &user, &system, &maxRssKiB) != 4 ||
        exitStatus != 0) {
        throw std::runtime_error(argv[0] + " failed");
    }
    return {took.count(), user + system, double(maxRssKiB) / 1024.0};
}

void BM_MonthReportBesideWcL(benchmark::State& state, Shape shape) {
    const Journal j = makeJournal(shape);
    const std::vector<std::string> wc = {"wc", "-l", j.keeper.string()};
    const std::vector<std::string> report = {TAVOMI_REPORT, "month", j.month.toStdString(),
                                             "--data", (kAppFolder / kDataFolderName).string()};
    run(wc);  // both then read the journal from the page cache
    Run wcTotal;
    Run reportTotal;
    // The least CPU time of each, too: on a busy machine another tenant's work only ever
    // adds time, so the best runs compare the programs more steadily than the sums.
    double wcBest = 1e9;
    double reportBest = 1e9;
    for (auto _ : state) {
        const Run w = run(wc);
        const Run r = run(report);
        wcBest = std::min(wcBest, w.cpuSeconds);
        reportBest = std::min(reportBest, r.cpuSeconds);
        state.SetIterationTime(r.seconds);
        wcTotal.seconds += w.seconds;
        wcTotal.cpuSeconds += w.cpuSeconds;
        reportTotal.seconds += r.seconds;
        reportTotal.cpuSeconds += r.cpuSeconds;
        reportTotal.maxRssMiB = std::max(reportTotal.maxRssMiB, r.maxRssMiB);
    }
    const double n = double(state.iterations());
    state.counters["journal_MiB"] = double(j.bytes) / double(kMiB);
    state.counters["wc_l_cpu_s"] = wcTotal.cpuSeconds / n;
    state.counters["report_cpu_s"] = reportTotal.cpuSeconds / n;
    state.counters["cpu_per_wc"] = reportTotal.cpuSeconds / wcTotal.cpuSeconds;
    state.counters["best_cpu_per_wc"] = reportBest / wcBest;
    state.counters["wall_per_wc"] = reportTotal.seconds / wcTotal.seconds;
    state.counters["report_max_rss_MiB"] = reportTotal.maxRssMiB;  // under 64
    const bool met =
        reportBest / wcBest <= checkedRatio(shape) && reportTotal.maxRssMiB < kCheckedRssMiB;
    checkMissed = checkMissed || !met;
    state.counters["checked_ratio"] = checkedRatio(shape);
    state.SetLabel("month " + j.month.toStdString() + (met ? ", check met" : ", CHECK MISSED"));
}
BENCHMARK_CAPTURE(BM_MonthReportBesideWcL, OutsideTheMonth, Shape::OutsideTheMonth)
    ->UseManualTime()
    ->Iterations(9)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MonthReportBesideWcL, OneOfSixty, Shape::OneOfSixty)
    ->UseManualTime()
    ->Iterations(9)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    int status = 0;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(kAppFolder, ec);
    return checkMissed ? 1 : status;
}
