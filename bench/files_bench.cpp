// Costs of the files library on data of realistic and extreme size: appending
// must not grow with the journal (only its last 128 bytes are read), and the
// main screen's load of a large cardholder list must stay well under a tick.

#include "files/cardholder_list.h"
#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/punch_journal.h"
#include "support/journal_header.h"

#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

using namespace tavomi;

const QString kRecord = u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし"_s;

std::filesystem::path makeDataFolder(const QTemporaryDir& dir) {
    const std::filesystem::path app(dir.path().toStdString());
    std::filesystem::create_directories(app / kDataFolderName);
    return app;
}

// A journal of `size` bytes: sparse except for a header and its last record,
// so a 1 GB journal costs no disk space or time to set up.
void makeJournal(const std::filesystem::path& file, off_t size) {
    const QByteArray header = encodeCp932(test::kJournalHeader) + "\r\n";
    const QByteArray last = encodeCp932(kRecord) + "\r\n";
    const int fd = ::open(file.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, header.data(), header.size()) != header.size() ||
        ::ftruncate(fd, size - last.size()) != 0 ||
        ::pwrite(fd, last.data(), last.size(), size - last.size()) != last.size()) {
        throw std::runtime_error("cannot make " + file.string());
    }
    ::close(fd);
}

void restoreSize(const std::filesystem::path& file, off_t size) {
    if (::truncate(file.c_str(), size) != 0) {
        throw std::runtime_error("cannot truncate " + file.string());
    }
}

void BM_AppendRecord(benchmark::State& state) {
    QTemporaryDir dir;
    const std::filesystem::path app = makeDataFolder(dir);
    const std::filesystem::path journal = dataFilePath(app, kJournalFile);
    const off_t size = off_t(state.range(0)) << 20;
    makeJournal(journal, size);
    for (auto _ : state) {
        appendLine(journal, kRecord);
        // Back to the same size, so every append meets the journal as set up.
        state.PauseTiming();
        restoreSize(journal, size);
        state.ResumeTiming();
    }
    state.SetLabel(std::to_string(state.range(0)) + " MB journal");
}
BENCHMARK(BM_AppendRecord)->Arg(1)->Arg(1024)->Unit(benchmark::kMicrosecond);

void BM_AppendRecordLockingFirst(benchmark::State& state) {
    QTemporaryDir dir;
    const std::filesystem::path app = makeDataFolder(dir);
    const std::filesystem::path journal = dataFilePath(app, kJournalFile);
    const off_t size = off_t(state.range(0)) << 20;
    makeJournal(journal, size);
    JournalLock lock;
    for (auto _ : state) {
        if (writeRecordLockingFirst(app, kRecord, lock) != WriteOutcome::Written) {
            state.SkipWithError("not written");
            break;
        }
        state.PauseTiming();
        restoreSize(journal, size);
        state.ResumeTiming();
    }
    state.SetLabel(std::to_string(state.range(0)) + " MB journal, with the lock file");
}
BENCHMARK(BM_AppendRecordLockingFirst)->Arg(1)->Arg(1024)->Unit(benchmark::kMicrosecond);

void BM_LoadCardholderListAndLookUp(benchmark::State& state) {
    QTemporaryDir dir;
    const std::filesystem::path app = makeDataFolder(dir);
    const int entries = int(state.range(0));
    {
        QByteArray bytes = encodeCp932(u"カードID,氏名,職名,職員番号,備考\r\n");
        for (int i = 0; i < entries; ++i) {
            bytes +=
                QByteArray::number(0x0123456700000000LL + i, 16).toUpper().rightJustified(16, '0');
            bytes += encodeCp932(u",山田花子") + QByteArray::number(i) + encodeCp932(u",教諭,");
            bytes += QByteArray::number(100000 + i) + encodeCp932(u",\"2年1組, 担任\"\r\n");
            if (state.range(1) != 0 && i == entries / 3) {
                bytes += "\x85\x40\r\n";  // a pair the code page leaves unassigned
            }
        }
        std::ofstream(dataFilePath(app, kCardholderListFile), std::ios::binary)
            .write(bytes.constData(), bytes.size());
    }
    const QString wanted =
        QString::number(0x0123456700000000LL + entries / 2, 16).toUpper().rightJustified(16, '0');
    CardholderTable table;
    for (auto _ : state) {
        table.load(app);
        auto name = table.lookup(wanted);
        if (!name) {
            state.SkipWithError("entry not found");
            break;
        }
        benchmark::DoNotOptimize(name);
    }
    state.SetLabel(std::to_string(entries) + " entries" +
                   (state.range(1) != 0 ? ", one unassigned CP932 pair" : ""));
}
BENCHMARK(BM_LoadCardholderListAndLookUp)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond);

void BM_LookUpOnly(benchmark::State& state) {
    QTemporaryDir dir;
    const std::filesystem::path app = makeDataFolder(dir);
    {
        QByteArray bytes = "h\r\n";
        for (int i = 0; i < 10000; ++i) {
            bytes +=
                QByteArray::number(0x0123456700000000LL + i, 16).toUpper().rightJustified(16, '0') +
                ",name\r\n";
        }
        std::ofstream(dataFilePath(app, kCardholderListFile), std::ios::binary)
            .write(bytes.constData(), bytes.size());
    }
    CardholderTable table;
    table.load(app);
    const QString wanted =
        QString::number(0x0123456700000000LL + 5000, 16).toUpper().rightJustified(16, '0');
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.lookup(wanted));
    }
}
BENCHMARK(BM_LookUpOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
