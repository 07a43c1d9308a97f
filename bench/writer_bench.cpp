// From a record button to its outcome: the screen's direct append as it was, beside the
// same append handed to the writer thread with the screen's wait (wait cursor, controls
// disabled), and the wait when the share hangs, which ends at the screen's 2 s with the
// record kept on this PC.

#include "dialogs/write_wait.h"
#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/journal_lock.h"
#include "files/punch_journal.h"
#include "spool/journal_writer.h"
#include "spool/record_spool.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <fstream>
#include <future>
#include <random>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using namespace tavomi;

const QString kRecord = u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし"_s;

std::filesystem::path makeDataFolder(const QTemporaryDir& dir) {
    const std::filesystem::path app(dir.path().toStdString());
    std::filesystem::create_directories(app / kDataFolderName);
    for (std::string_view name : kRequiredFiles) {
        std::ofstream(app / kDataFolderName / name) << "header\r\n";
    }
    return app;
}

QDateTime now() {
    return QDateTime::currentDateTime();
}

void BM_DirectAppend(benchmark::State& state) {
    QTemporaryDir dir;
    const auto app = makeDataFolder(dir);
    JournalLock lock;
    for (auto _ : state) {
        benchmark::DoNotOptimize(writeRecordLockingFirst(app, kRecord, lock));
    }
}
BENCHMARK(BM_DirectAppend)->Unit(benchmark::kMillisecond);

void BM_ThroughTheWriter(benchmark::State& state) {
    QTemporaryDir dir;
    const auto app = makeDataFolder(dir);
    JournalWriter writer(app, app / "spool", &now);
    writer.start();
    QWidget screen;
    for (auto _ : state) {
        const WriteResult result =
            writeFromScreen(writer, {kRecord, WriteOrder::LockingFirst, {}, {}}, &screen);
        if (result.kind != WriteResult::Kind::Written) {
            state.SkipWithError("not written");
        }
    }
}
BENCHMARK(BM_ThroughTheWriter)->Unit(benchmark::kMillisecond);

void BM_HungShare(benchmark::State& state) {
    QTemporaryDir dir;
    const auto app = makeDataFolder(dir);
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    {
        JournalWriter writer(
            app, app / "spool", &now,
            [answered](const std::filesystem::path& folder, const QString& line, JournalLock& lock,
                       WriteOrder order, const WhileLocked& whileLocked) {
                answered.wait();
                return JournalWriter::appendToShare(folder, line, lock, order, whileLocked);
            });
        QWidget screen;
        for (auto _ : state) {
            const WriteResult result =
                writeFromScreen(writer, {kRecord, WriteOrder::LockingFirst, {}, {}}, &screen);
            if (result.kind != WriteResult::Kind::Kept) {
                state.SkipWithError("not kept");
            }
        }
        answer.set_value();
    }
}
BENCHMARK(BM_HungShare)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A backlog the spool kept while the share was away (a day of a large school, or a
// week's outage), sent when the share answers again: the time until the next punch is
// written after it.
void BM_SendBacklog(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const auto app = makeDataFolder(dir);
        RecordSpool spool(app / "spool");
        for (int i = 0; i < count; ++i) {
            spool.keep(
                {now(), u"出勤,教員%1,2019/08/28,07:%2,IC記録,詳細なし,事由なし"_s.arg(i).arg(
                            i % 60, 2, 10, QChar(u'0'))});
        }
        state.ResumeTiming();
        JournalWriter writer(app, app / "spool", &now);
        const WriteResult result = JournalWriter::await(
            writer.submit({kRecord, WriteOrder::LockingFirst, {}, {}}), std::chrono::minutes(10));
        if (result.kind != WriteResult::Kind::Written) {
            state.SkipWithError("not written");
        }
    }
    state.counters["records"] = count;
}
BENCHMARK(BM_SendBacklog)->Arg(3000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The peak of resident memory since the last reset, in MiB (Linux keeps it per process).
double peakMiBSinceReset() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A spool.txt of 64 MiB that is no record at all (random bytes, or the zeros a disk gives
// back after a crash), found by the first punch: the time until it is written, and the
// memory that took.
void BM_DamagedSpool(benchmark::State& state) {
    const bool zeros = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const auto app = makeDataFolder(dir);
        std::filesystem::create_directories(app / "spool");
        {
            std::ofstream damaged(app / "spool" / RecordSpool::kFileName, std::ios::binary);
            std::mt19937_64 random(20261211);
            std::vector<std::uint64_t> block(1024 * 1024 / 8);
            for (int mib = 0; mib < 64; ++mib) {
                for (std::uint64_t& word : block) {
                    word = zeros ? 0 : random();
                }
                damaged.write(reinterpret_cast<const char*>(block.data()), 1024 * 1024);
            }
        }
        resetPeakMemory();
        const double before = peakMiBSinceReset();
        state.ResumeTiming();
        JournalWriter writer(app, app / "spool", &now);
        const WriteResult result = JournalWriter::await(
            writer.submit({kRecord, WriteOrder::LockingFirst, {}, {}}), std::chrono::minutes(1));
        if (result.kind != WriteResult::Kind::Written) {
            state.SkipWithError("not written");
        }
        state.PauseTiming();
        state.counters["peak_MiB_over_before"] = peakMiBSinceReset() - before;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DamagedSpool)
    ->ArgName("zeros")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
