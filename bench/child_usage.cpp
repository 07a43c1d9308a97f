// Runs a program with its output discarded and prints what it cost: its exit status, user
// and system CPU seconds and peak resident KiB. A child's peak counts from the memory of
// the process that started it (the kernel carries a parent's peak over into a child that
// posix_spawn makes); this small process stands between a large benchmark and what it
// measures.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tavomi-bench-child-usage PROGRAM [ARG...]\n");
        return 2;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return 1;
    }
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0) {
            ::_exit(127);
        }
        ::execvp(argv[1], argv + 1);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            return 1;
        }
    }
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    std::printf("%d %.6f %.6f %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : 128,
                seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_maxrss);
    return 0;
}
