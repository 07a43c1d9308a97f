// Faults for the files library's tests, loaded with LD_PRELOAD into a writer
// process: the n-th pread, pwrite, ftruncate, fdatasync, close, rename or link on one
// data file fails with a chosen error, or the process is killed just before or just
// after it, as a failing disk or a crash would do.
//
//   TAVOMI_FAULT=call:n:action[,call:n:action...]  e.g. close:1:EIO,pwrite:1:kill-after
//   TAVOMI_FAULT_FILE=keeper.txt                   the file's name (this is the default)
//   TAVOMI_UNSEEN=rock_file.txt                    lstat answers ENOENT for this name
//
// An error fails the call without doing it, except close, which closes and then
// fails, as a network file system reports a late write error. other-writer fails it
// with EIO after another writer has appended kOtherRecord to the file, as a PC whose
// byte-range lock never reached this one does while a write hangs on a share;
// other-writer-unseen does the same, and from then on fstat on that descriptor tells
// the size from before, as an NFS client's attribute cache may. other-writer-first
// lets another writer append and then runs the call. TAVOMI_UNSEEN hides a file from
// lstat as an NFS client's directory cache hides another PC's new file, which an open
// still finds. other-lock-first, on a rename of the lock file, lets another writer take
// the lock over just before it (a new lock file with kOtherHolder in its place).
//
// <unistd.h> is left out on purpose: its declarations of these calls carry
// attributes of their own, and the real work is done by raw system calls anyway.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

extern "C" long syscall(long number, ...) noexcept;

namespace {

enum Call { Pread, Pwrite, Ftruncate, Fdatasync, Close, Rename, Link, CallCount };
constexpr std::array<std::string_view, CallCount> kCallNames = {
    "pread", "pwrite", "ftruncate", "fdatasync", "close", "rename", "link"};

constexpr int kKillBefore = -1;
constexpr int kKillAfter = -2;
constexpr int kOtherWriter = -3;
constexpr int kOtherWriterUnseen = -4;
constexpr int kOtherWriterFirst = -5;
constexpr int kOtherLockFirst = -6;
constexpr char kOtherRecord[] = "another PC's record\r\n";
constexpr char kOtherHolder[] = "host=other pid=7 boot=b token=9\r\n";

struct Rule {
    int call = -1;
    long nth = 0;
    int action = 0;  // an errno value, or one of the k... actions above
};

struct Faults {
    std::array<Rule, 8> rules{};
    int ruleCount = 0;
    std::array<long, CallCount> calls{};
    char file[256] = "/keeper.txt";
    char unseen[256] = "";
    int staleSizeFd = -1;  // fstat on it tells the size less kOtherRecord
};

int actionOf(std::string_view word) {
    if (word == "kill-before") {
        return kKillBefore;
    }
    if (word == "kill-after") {
        return kKillAfter;
    }
    if (word == "other-writer") {
        return kOtherWriter;
    }
    if (word == "other-writer-unseen") {
        return kOtherWriterUnseen;
    }
    if (word == "other-writer-first") {
        return kOtherWriterFirst;
    }
    if (word == "other-lock-first") {
        return kOtherLockFirst;
    }
    static constexpr std::pair<std::string_view, int> kErrors[] = {
        {"EIO", EIO}, {"ENOSPC", ENOSPC}, {"EFBIG", EFBIG}, {"EDQUOT", EDQUOT}, {"EPERM", EPERM}};
    for (const auto& [name, value] : kErrors) {
        if (word == name) {
            return value;
        }
    }
    return 0;
}

Faults readFaults() {
    Faults faults;
    if (const char* name = std::getenv("TAVOMI_FAULT_FILE")) {
        std::snprintf(faults.file, sizeof faults.file, "/%s", name);
    }
    if (const char* name = std::getenv("TAVOMI_UNSEEN")) {
        std::snprintf(faults.unseen, sizeof faults.unseen, "/%s", name);
    }
    const char* rules = std::getenv("TAVOMI_FAULT");
    std::string_view rest = rules != nullptr ? rules : "";
    while (!rest.empty() && faults.ruleCount < int(faults.rules.size())) {
        const auto comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const auto colon1 = item.find(':');
        const auto colon2 = item.find(':', colon1 + 1);
        if (colon1 == std::string_view::npos || colon2 == std::string_view::npos) {
            continue;
        }
        Rule rule;
        for (int c = 0; c < CallCount; ++c) {
            if (item.substr(0, colon1) == kCallNames[c]) {
                rule.call = c;
            }
        }
        rule.nth = std::strtol(std::string(item.substr(colon1 + 1, colon2 - colon1 - 1)).c_str(),
                               nullptr, 10);
        rule.action = actionOf(item.substr(colon2 + 1));
        if (rule.call >= 0 && rule.nth > 0 && rule.action != 0) {
            faults.rules[faults.ruleCount++] = rule;
        }
    }
    return faults;
}

Faults& faults() {
    static Faults instance = readFaults();
    return instance;
}

bool isTheFile(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const long n = syscall(SYS_readlink, link, target, sizeof target - 1);
    if (n <= 0) {
        return false;
    }
    const std::string_view path(target, static_cast<size_t>(n));
    return path.ends_with(faults().file);
}

// The action for this call, 0 for none; counts only calls on the chosen file.
int actionFor(Call call, bool onTheFile) {
    if (!onTheFile) {
        return 0;
    }
    Faults& f = faults();
    const long nth = ++f.calls[call];
    for (int i = 0; i < f.ruleCount; ++i) {
        if (f.rules[i].call == call && f.rules[i].nth == nth) {
            return f.rules[i].action;
        }
    }
    return 0;
}

// Appends kOtherRecord to the file behind fd through a descriptor of its own.
void appendAsAnotherWriter(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const long n = syscall(SYS_readlink, link, target, sizeof target - 1);
    if (n <= 0) {
        return;
    }
    target[n] = '\0';
    const long other = syscall(SYS_openat, AT_FDCWD, target, O_WRONLY | O_APPEND);
    if (other < 0) {
        return;
    }
    syscall(SYS_write, other, kOtherRecord, sizeof kOtherRecord - 1);
    syscall(SYS_close, other);
}

bool isTheFile(const char* path) {
    return std::string_view(path).ends_with(faults().file);
}

// Another writer's lock file in place of the one at `path`.
void putOtherLock(const char* path) {
    syscall(SYS_unlink, path);
    const long fd = syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
        syscall(SYS_write, fd, kOtherHolder, sizeof kOtherHolder - 1);
        syscall(SYS_close, fd);
    }
}

// Runs the real call unless the action forbids it, and applies the action.
template <typename Real>
long faulty(Call call, int fd, Real real) {
    const int action = actionFor(call, isTheFile(fd));
    if (action == kKillBefore) {
        raise(SIGKILL);
    }
    if (action == kOtherWriter || action == kOtherWriterUnseen) {
        appendAsAnotherWriter(fd);
        if (action == kOtherWriterUnseen) {
            faults().staleSizeFd = fd;
        }
        errno = EIO;
        return -1;
    }
    if (action == kOtherWriterFirst) {
        appendAsAnotherWriter(fd);
    }
    if (action > 0 && call != Close) {
        errno = action;
        return -1;
    }
    const long result = real();
    if (action == kKillAfter) {
        raise(SIGKILL);
    }
    if (action > 0) {
        errno = action;
        return -1;
    }
    return result;
}

// A rename or link of the file (either path); fails with the rule's error, if any.
template <typename Real>
int faultyPaths(Call call, const char* from, const char* to, Real real) {
    const int action = actionFor(call, isTheFile(from) || isTheFile(to));
    if (action == kOtherLockFirst) {
        putOtherLock(from);
    } else if (action > 0) {
        errno = action;
        return -1;
    }
    return int(real());
}

}  // namespace

extern "C" {

ssize_t pread(int fd, void* buf, size_t n, off_t at) {
    return faulty(Pread, fd, [&] { return syscall(SYS_pread64, fd, buf, n, at); });
}

ssize_t pread64(int fd, void* buf, size_t n, off_t at) {
    return pread(fd, buf, n, at);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t at) {
    return faulty(Pwrite, fd, [&] { return syscall(SYS_pwrite64, fd, buf, n, at); });
}

ssize_t pwrite64(int fd, const void* buf, size_t n, off_t at) {
    return pwrite(fd, buf, n, at);
}

int ftruncate(int fd, off_t length) {
    return int(faulty(Ftruncate, fd, [&] { return syscall(SYS_ftruncate, fd, length); }));
}

int ftruncate64(int fd, off_t length) {
    return ftruncate(fd, length);
}

int fdatasync(int fd) {
    return int(faulty(Fdatasync, fd, [&] { return syscall(SYS_fdatasync, fd); }));
}

int close(int fd) {
    if (fd == faults().staleSizeFd) {
        faults().staleSizeFd = -1;
    }
    return int(faulty(Close, fd, [&] { return syscall(SYS_close, fd); }));
}

int rename(const char* from, const char* to) noexcept {
    return faultyPaths(Rename, from, to,
                       [&] { return syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to); });
}

int link(const char* from, const char* to) noexcept {
    return faultyPaths(Link, from, to,
                       [&] { return syscall(SYS_linkat, AT_FDCWD, from, AT_FDCWD, to, 0); });
}

int fstat(int fd, struct stat* st) noexcept {
    const long result = syscall(SYS_fstat, fd, st);
    if (result == 0 && fd == faults().staleSizeFd) {
        st->st_size -= static_cast<off_t>(sizeof kOtherRecord - 1);
    }
    return int(result);
}

int lstat(const char* path, struct stat* st) noexcept {
    const std::string_view unseen = faults().unseen;
    if (!unseen.empty() && std::string_view(path).ends_with(unseen)) {
        errno = ENOENT;
        return -1;
    }
    return int(syscall(SYS_newfstatat, AT_FDCWD, path, st, AT_SYMLINK_NOFOLLOW));
}

}  // extern "C"
