// One card poll against the real pcscd of the PC/SC rig, with no card and with a virtual
// FeliCa card: what the main screen's 500 ms polling costs. Besides the poll's wall time
// (median of single polls) and this process's CPU time, it reports the CPU time that pcscd
// and the virtual card spend per poll. Starts the rig itself when none is running.
#include "card/card_poll.h"
#include "support/pcsc_rig.h"

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using tavomi::test::VirtualCard;

// CPU time of another process (all its threads, also ended ones), in microseconds.
double cpuMicros(pid_t pid) {
    clockid_t clock;
    timespec ts{};
    if (pid <= 0 || clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &ts) != 0) {
        return 0;
    }
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

void runPolls(benchmark::State& state, pid_t cardPid, bool expectCard) {
    const pid_t pcscd = tavomi::test::usePcscRig().pcscdPid;
    tavomi::PcscCardPoller poller;
    std::vector<double> micros;
    micros.reserve(100000);
    const double pcscdStart = cpuMicros(pcscd);
    const double cardStart = cpuMicros(cardPid);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const tavomi::PollResult result = poller.poll();
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
        if (result.cardId.has_value() != expectCard || !result.readerListObtained) {
            state.SkipWithError("the poll did not see what was laid on the readers");
            break;
        }
    }
    const double polls = static_cast<double>(std::max<std::size_t>(micros.size(), 1));
    std::sort(micros.begin(), micros.end());
    auto quantile = [&](double q) {
        return micros.empty() ? 0 : micros[static_cast<std::size_t>(q * (micros.size() - 1))];
    };
    state.counters["median_us"] = quantile(0.5);
    state.counters["p99_us"] = quantile(0.99);
    state.counters["max_us"] = quantile(1.0);
    state.counters["pcscd_cpu_us"] = (cpuMicros(pcscd) - pcscdStart) / polls;
    if (cardPid > 0) {
        state.counters["card_cpu_us"] = (cpuMicros(cardPid) - cardStart) / polls;
    }
}

void BM_PollNoCard(benchmark::State& state) {
    runPolls(state, 0, false);
}

void BM_PollCardOnFirstReader(benchmark::State& state) {
    VirtualCard card(0, "0123456789ABCDEF");
    runPolls(state, card.pid(), true);
}

void BM_PollCardOnSecondReader(benchmark::State& state) {
    VirtualCard card(1, "0123456789ABCDEF");
    runPolls(state, card.pid(), true);
}

void configure(benchmark::internal::Benchmark* b) {
    b->MeasureProcessCPUTime()
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.5)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
}

BENCHMARK(BM_PollNoCard)->Apply(configure);
BENCHMARK(BM_PollCardOnFirstReader)->Apply(configure);
BENCHMARK(BM_PollCardOnSecondReader)->Apply(configure);

int runScript(const char* command) {
    const std::string line = std::string("bash '") + TAVOMI_RIG_SCRIPT + "' --build '" +
                             TAVOMI_BUILD_DIR + "' " + command + " >&2";
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bool startedRig = false;
    bool failed = false;
    try {
        tavomi::test::usePcscRig();
    } catch (const std::exception&) {
        if (runScript("start") != 0) {
            std::fprintf(stderr, "card poll benchmark: the PC/SC rig did not start\n");
            return 1;
        }
        startedRig = true;
    }
    try {
        tavomi::test::usePcscRig();
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "card poll benchmark: %s\n", e.what());
        failed = true;
    }
    benchmark::Shutdown();
    if (startedRig) {
        runScript("stop");
    }
    return failed ? 1 : 0;
}
