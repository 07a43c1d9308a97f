// tavomi-bench-startup-timer: how long a program takes from exec to its first window.
// usage: tavomi-bench-startup-timer [--runs N] [--warmup N] [--until WORD] [--timeout-ms MS]
//                                   COMMAND [ARG...]
// Runs COMMAND N times (default 15) after warm-up runs that are not counted (default 1: it
// fills the page cache and lets the program make what it makes on a first start). Each run
// lasts until the program prints the mark "WORD <CLOCK_MONOTONIC ns>" (default MAINSCREEN);
// then it is killed. Every mark printed up to then is timed from just before the exec, and
// the program's CPU time (all threads) is read when the mark arrives; on a loaded machine
// the CPU time says more than the wall time. One line per mark:
//   WORD runs=N median_ms=X min_ms=Y max_ms=Z cpu_median_ms=C
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Options {
    int runs = 15;
    int warmup = 1;
    std::string until = "MAINSCREEN";
    int timeoutMs = 60000;
    std::vector<char*> command;  // null-terminated for exec
};

struct Mark {
    std::string word;
    double ms = 0;     // after the exec
    double cpuMs = 0;  // the program's CPU time when we read the mark
};
using Marks = std::vector<Mark>;  // in the order printed

std::int64_t monotonicNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

[[noreturn]] void usage() {
    std::fprintf(stderr,
                 "usage: tavomi-bench-startup-timer [--runs N] [--warmup N] [--until WORD] "
                 "[--timeout-ms MS] COMMAND [ARG...]\n");
    std::exit(2);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const std::string option = argv[i];
        if (option == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) {
            usage();
        }
        const char* value = argv[++i];
        if (option == "--runs") {
            options.runs = std::atoi(value);
        } else if (option == "--warmup") {
            options.warmup = std::atoi(value);
        } else if (option == "--until") {
            options.until = value;
        } else if (option == "--timeout-ms") {
            options.timeoutMs = std::atoi(value);
        } else {
            usage();
        }
    }
    if (i >= argc || options.runs < 1 || options.warmup < 0 || options.timeoutMs < 1) {
        usage();
    }
    options.command.assign(argv + i, argv + argc);
    options.command.push_back(nullptr);
    return options;
}

struct PrintedMark {
    std::string word;
    std::int64_t ns = 0;
    std::optional<std::int64_t> cpuNs;
};

// A line "WORD <ns> [<cpu ns>]" with an upper-case word; anything else the program prints
// is not ours.
std::optional<PrintedMark> parseMark(const std::string& line) {
    const std::size_t space = line.find(' ');
    if (space == 0 || space == std::string::npos) {
        return std::nullopt;
    }
    PrintedMark mark;
    mark.word = line.substr(0, space);
    if (!std::all_of(mark.word.begin(), mark.word.end(),
                     [](char c) { return c >= 'A' && c <= 'Z'; })) {
        return std::nullopt;
    }
    const char* at = line.c_str() + space + 1;
    char* end = nullptr;
    mark.ns = std::strtoll(at, &end, 10);
    if (end == at) {
        return std::nullopt;
    }
    if (*end == ' ') {
        at = end + 1;
        mark.cpuNs = std::strtoll(at, &end, 10);
        if (end == at) {
            return std::nullopt;
        }
    }
    if (*end != '\0') {
        return std::nullopt;
    }
    return mark;
}

double cpuMillisecondsOf(pid_t pid) {
    clockid_t clock;
    timespec ts{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &ts) != 0) {
        return 0;
    }
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Kills and reaps the child however the run ends.
class Child {
  public:
    explicit Child(pid_t pid) : pid_(pid) {}
    ~Child() {
        kill(pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

  private:
    pid_t pid_;
};

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// One run; nullopt (with the reason on stderr) when the mark never came.
std::optional<Marks> timeOneRun(const Options& options) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        std::perror("startup-timer: pipe");
        return std::nullopt;
    }
    const Fd readEnd(pipeFds[0]);
    std::optional<Fd> writeEnd(std::in_place, pipeFds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd->get(), STDOUT_FILENO);
    pid_t pid = 0;
    const std::int64_t start = monotonicNanoseconds();
    const int rc =
        posix_spawnp(&pid, options.command[0], &actions, nullptr, options.command.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "startup-timer: cannot start %s: %s\n", options.command[0],
                     std::strerror(rc));
        return std::nullopt;
    }
    const Child child(pid);
    writeEnd.reset();  // so that the child's end of output is seen as end of file

    Marks marks;
    std::string pending;
    const std::int64_t deadline = start + static_cast<std::int64_t>(options.timeoutMs) * 1000000;
    for (;;) {
        const std::int64_t left = deadline - monotonicNanoseconds();
        if (left <= 0) {
            std::fprintf(stderr, "startup-timer: no %s within %d ms\n", options.until.c_str(),
                         options.timeoutMs);
            return std::nullopt;
        }
        pollfd p{readEnd.get(), POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left / 1000000) + 1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("startup-timer: poll");
            return std::nullopt;
        }
        char buffer[4096];
        const ssize_t n = read(readEnd.get(), buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            std::fprintf(stderr, "startup-timer: %s ended before it printed %s\n",
                         options.command[0], options.until.c_str());
            return std::nullopt;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (const auto mark = parseMark(line)) {
                const double cpuMs =
                    mark->cpuNs ? static_cast<double>(*mark->cpuNs) / 1e6 : cpuMillisecondsOf(pid);
                marks.push_back({mark->word, static_cast<double>(mark->ns - start) / 1e6, cpuMs});
                if (mark->word == options.until) {
                    return marks;
                }
            }
        }
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    for (int run = 0; run < options.warmup; ++run) {
        if (!timeOneRun(options)) {
            return 1;
        }
    }
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> times;
    std::map<std::string, std::vector<double>> cpuTimes;
    for (int run = 0; run < options.runs; ++run) {
        const std::optional<Marks> marks = timeOneRun(options);
        if (!marks) {
            return 1;
        }
        for (const Mark& mark : *marks) {
            if (times.find(mark.word) == times.end()) {
                order.push_back(mark.word);
            }
            times[mark.word].push_back(mark.ms);
            cpuTimes[mark.word].push_back(mark.cpuMs);
        }
    }
    for (const std::string& word : order) {
        std::vector<double>& ms = times[word];
        std::sort(ms.begin(), ms.end());
        std::printf("%s runs=%zu median_ms=%.1f min_ms=%.1f max_ms=%.1f cpu_median_ms=%.1f\n",
                    word.c_str(), ms.size(), median(ms), ms.front(), ms.back(),
                    median(cpuTimes[word]));
    }
    return 0;
}
