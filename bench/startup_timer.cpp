// tavomi-bench-startup-timer: how long a program takes from exec to its first window.
// usage: tavomi-bench-startup-timer [--runs N] [--until WORD] [--timeout-ms MS] COMMAND [ARG...]
// Runs COMMAND N times (default 15) after one run that is not counted (it fills the page
// cache and lets the program make what it makes on a first start). Each run lasts until the
// program prints the mark "WORD <CLOCK_MONOTONIC ns>" (default MAINSCREEN); then it is
// killed. Every mark printed up to then is timed from just before the exec, and for each
// one a line goes out:  WORD runs=N median_ms=X min_ms=Y max_ms=Z
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
    std::string until = "MAINSCREEN";
    int timeoutMs = 60000;
    std::vector<char*> command;  // null-terminated for exec
};

using Marks = std::vector<std::pair<std::string, double>>;  // word, ms after exec, in order

std::int64_t monotonicNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

[[noreturn]] void usage() {
    std::fprintf(stderr,
                 "usage: tavomi-bench-startup-timer [--runs N] [--until WORD] [--timeout-ms MS] "
                 "COMMAND [ARG...]\n");
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
        } else if (option == "--until") {
            options.until = value;
        } else if (option == "--timeout-ms") {
            options.timeoutMs = std::atoi(value);
        } else {
            usage();
        }
    }
    if (i >= argc || options.runs < 1 || options.timeoutMs < 1) {
        usage();
    }
    options.command.assign(argv + i, argv + argc);
    options.command.push_back(nullptr);
    return options;
}

// A line "WORD <ns>" with an upper-case word; anything else the program prints is not ours.
std::optional<std::pair<std::string, std::int64_t>> parseMark(const std::string& line) {
    const std::size_t space = line.find(' ');
    if (space == 0 || space == std::string::npos) {
        return std::nullopt;
    }
    const std::string word = line.substr(0, space);
    if (!std::all_of(word.begin(), word.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
        return std::nullopt;
    }
    char* end = nullptr;
    const long long ns = std::strtoll(line.c_str() + space + 1, &end, 10);
    if (end == line.c_str() + space + 1 || *end != '\0') {
        return std::nullopt;
    }
    return std::make_pair(word, static_cast<std::int64_t>(ns));
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
                marks.emplace_back(mark->first, static_cast<double>(mark->second - start) / 1e6);
                if (mark->first == options.until) {
                    return marks;
                }
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    if (!timeOneRun(options)) {
        return 1;
    }
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> times;
    for (int run = 0; run < options.runs; ++run) {
        const std::optional<Marks> marks = timeOneRun(options);
        if (!marks) {
            return 1;
        }
        for (const auto& [word, ms] : *marks) {
            if (times.find(word) == times.end()) {
                order.push_back(word);
            }
            times[word].push_back(ms);
        }
    }
    for (const std::string& word : order) {
        std::vector<double>& ms = times[word];
        std::sort(ms.begin(), ms.end());
        const std::size_t n = ms.size();
        const double median = n % 2 == 1 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
        std::printf("%s runs=%zu median_ms=%.1f min_ms=%.1f max_ms=%.1f\n", word.c_str(), n, median,
                    ms.front(), ms.back());
    }
    return 0;
}
