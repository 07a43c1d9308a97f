#pragma once

// Runs files_append_process (append_process.cpp) as a process of its own, with
// faults from fault_shim.cpp or a file-size limit, and tells how it ended.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace tavomi::test {

struct WriterConditions {
    std::string faults;  // TAVOMI_FAULT for the shim; empty, with no unseen name: no shim
    std::string faultFile = "keeper.txt";
    std::string unseen;  // TAVOMI_UNSEEN for the shim: a name lstat does not find
    std::optional<rlim_t> fileSizeLimit;
    bool sizeSignalIgnored = true;  // SIGXFSZ, as the program has it

    static WriterConditions withFaults(std::string faults) {
        WriterConditions c;
        c.faults = std::move(faults);
        return c;
    }
    static WriterConditions withFileSizeLimit(rlim_t bytes, bool sizeSignalIgnored) {
        WriterConditions c;
        c.fileSizeLimit = bytes;
        c.sizeSignalIgnored = sizeSignalIgnored;
        return c;
    }
};

struct WriterRun {
    int exitCode = -1;    // when it ended by itself
    int killedBy = 0;     // the signal that ended it, if one did
    std::string outcome;  // its one line, without the line break
    std::string errors;   // what it wrote to standard error
};

namespace detail {

inline std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return text;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace detail

// Runs the writer with the arguments (see append_process.cpp) and waits until it ends.
inline WriterRun runWriter(const std::vector<std::string>& args,
                           const WriterConditions& conditions = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "TAVOMI_FAULT", 12) != 0 &&
            std::strncmp(*e, "TAVOMI_UNSEEN", 13) != 0 &&
            std::strncmp(*e, "LD_PRELOAD=", 11) != 0) {
            env.emplace_back(*e);
        }
    }
    if (!conditions.faults.empty() || !conditions.unseen.empty()) {
        env.push_back(std::string("LD_PRELOAD=") + TAVOMI_FAULT_SHIM);
        env.push_back("TAVOMI_FAULT=" + conditions.faults);
        env.push_back("TAVOMI_FAULT_FILE=" + conditions.faultFile);
        env.push_back("TAVOMI_UNSEEN=" + conditions.unseen);
        env.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{TAVOMI_APPEND_PROCESS};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot make pipes for the writer");
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("cannot start the writer");
    }
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        if (conditions.fileSizeLimit) {
            const rlimit limit{*conditions.fileSizeLimit, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::signal(SIGXFSZ, conditions.sizeSignalIgnored ? SIG_IGN : SIG_DFL);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    WriterRun run;
    run.outcome = detail::readAll(out[0]);
    run.errors = detail::readAll(err[0]);
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        run.killedBy = WTERMSIG(status);
    }
    if (!run.outcome.empty() && run.outcome.back() == '\n') {
        run.outcome.pop_back();
    }
    return run;
}

}  // namespace tavomi::test
