// A stand-in for a school's file share as one PC sees it: a FUSE file system that passes
// a backing folder (the server's disk) through, and on command misbehaves as the shares
// measured did. Two of them on one backing folder are two PCs on one share: each has its
// own kernel view, so a write stalled on one never holds up the other.
//
//   share_stand_in BACKING MOUNTPOINT CONTROL_SOCKET
//
// Prints "ready" once mounted and listening; exits 77 when FUSE cannot be mounted here
// (its reason on standard error). Unmounts (lazily) and ends when standard input closes.
// Every lookup and attribute goes to it (no kernel caching), so what it answers is what
// the PC sees.
//
// Commands on the control socket, one line each, answered "ok" unless said otherwise:
//   stall write|move|read|stat NAME [SECONDS]
//                                    every write to NAME (move: a rename or an unlink of
//                                    NAME; read: a read of it; stat: a look-up of it, and
//                                    so of all below it) waits until released or SECONDS
//                                    have passed, as during a network cut
//   release write|move|read|stat NAME
//                                    lets the waiting ones go on; the stall ends
//   stalled write|move|read|stat NAME
//                                    answers once one waits ("timeout" after 10 s)
//   fail write|move|read|stat NAME ERRNO [until-released]
//                                    the next one (a waiting one, when let go) fails with
//                                    ERRNO (EIO, EAGAIN, ENOTCONN, EHOSTDOWN...); with
//                                    until-released every one fails, as while the share is
//                                    away, until "release"
//   failed write|move|read|stat NAME answers how many have failed so far
//   hold NAME                        the next write to NAME is held as a cifs client holds
//                                    a write in flight when the link went: its bytes and
//                                    the offset it was given are kept, and the writer
//                                    waits; nothing reaches the server
//   held NAME                        answers once a write is held ("timeout" after 10 s)
//   land NAME                        the held write reaches the server when the link comes
//                                    back: its bytes go to the offset it was given, over
//                                    whatever another PC wrote there meanwhile, and the
//                                    writer is told it was written
//   nobrl on|off                     flock does nothing and always succeeds, as on cifs
//                                    mounted nobrl: another PC's lock is never met
//   fixed-ino NAME INO               NAME reports inode INO whichever file it is, as a
//                                    server whose ext4 hands a new file the freed inode
//   fold-case on|off                 a name finds the file that differs only in letter
//                                    case (Keeper.txt opens keeper.txt)
//   hide-from-stat NAME              stat and lstat of NAME answer ENOENT while an open
//                                    finds it, as an NFS client's directory cache does

#define FUSE_USE_VERSION 31

#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

std::string backing;
std::string mountPoint;

struct Stall {
    std::string op;
    std::string name;
    bool on = false;
    std::optional<Clock::time_point> until;
    int held = 0;
    int failWith = 0;        // errno for the next one
    bool failEvery = false;  // not only the next one
    int failed = 0;
};

// A write kept back in the client (see "hold").
struct HeldWrite {
    std::string name;
    bool asked = false;  // the next write to `name` is to be held
    bool held = false;   // one waits
    int fd = -1;         // the writer's, open while its write waits
    std::string bytes;
    off_t at = 0;
    int outcome = 0;  // what the writer is told: the bytes written, or -errno
};

std::mutex stateMutex;
std::condition_variable stateChanged;
std::deque<Stall> stalls;          // never shrinks: references stay valid
std::deque<HeldWrite> heldWrites;  // never shrinks either
std::atomic<bool> nobrl = false;
std::atomic<bool> foldCase = false;
std::map<std::string, ino_t> fixedInodes;
std::map<std::string, bool> hiddenFromStat;

bool sameName(const std::string& a, const std::string& b) {
    return foldCase ? ::strcasecmp(a.c_str(), b.c_str()) == 0 : a == b;
}

// Under stateMutex.
Stall& stallFor(const std::string& op, const std::string& name) {
    for (Stall& s : stalls) {
        if (s.op == op && sameName(s.name, name)) {
            return s;
        }
    }
    Stall& added = stalls.emplace_back();
    added.op = op;
    added.name = name;
    return added;
}

// Under stateMutex.
HeldWrite& heldWriteFor(const std::string& name) {
    for (HeldWrite& h : heldWrites) {
        if (sameName(h.name, name)) {
            return h;
        }
    }
    HeldWrite& added = heldWrites.emplace_back();
    added.name = name;
    return added;
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Waits while `op` on `name` is stalled; then the error it is to fail with, or 0.
int pass(const char* op, const std::string& name) {
    std::unique_lock lock(stateMutex);
    Stall& s = stallFor(op, name);
    const auto stillStalled = [&] { return s.on && (!s.until || Clock::now() < *s.until); };
    if (stillStalled()) {
        ++s.held;
        stateChanged.notify_all();
        if (s.until) {
            stateChanged.wait_until(lock, *s.until, [&] { return !stillStalled(); });
        } else {
            stateChanged.wait(lock, [&] { return !stillStalled(); });
        }
        --s.held;
    }
    const int error = s.failEvery ? s.failWith : std::exchange(s.failWith, 0);
    s.failed += error != 0 ? 1 : 0;
    return error;
}

// The backing path for a path of the mount; with case folding, each part that does not
// exist as spelled is the entry whose name differs only in case, if there is one.
std::string real(const char* path) {
    if (!foldCase) {
        return backing + path;
    }
    std::string out = backing;
    std::istringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty()) {
            continue;
        }
        std::string candidate = out + "/" + part;
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0 && errno == ENOENT) {
            if (DIR* dir = ::opendir(out.c_str())) {
                while (const dirent* entry = ::readdir(dir)) {
                    if (::strcasecmp(entry->d_name, part.c_str()) == 0) {
                        candidate = out + "/" + entry->d_name;
                        break;
                    }
                }
                ::closedir(dir);
            }
        }
        out = candidate;
    }
    return out;
}

// Whether the process asking is in a stat of a path (not of an open descriptor): the
// kernel asks this file system for a lookup alike for a stat and for an open, so the
// caller's system call, still waiting for the answer, tells the two apart.
bool callerStatsAPath() {
    char file[64];
    std::snprintf(file, sizeof file, "/proc/%d/syscall", static_cast<int>(fuse_get_context()->pid));
    std::ifstream in(file);
    long number = -1;
    std::string arg[4];
    if (!(in >> number >> arg[0] >> arg[1] >> arg[2] >> arg[3])) {
        return false;
    }
    const auto flags = [&](int i) { return std::strtoull(arg[i].c_str(), nullptr, 0); };
#ifdef SYS_lstat
    if (number == SYS_stat || number == SYS_lstat) {
        return true;
    }
#endif
    if (number == SYS_newfstatat) {
        return (flags(3) & AT_EMPTY_PATH) == 0;
    }
    if (number == SYS_statx) {
        return (flags(2) & AT_EMPTY_PATH) == 0;
    }
    return false;
}

struct OpenFile {
    int fd;
    std::string name;  // as opened, for the stalls
};

OpenFile* openFile(const fuse_file_info* fi) {
    return reinterpret_cast<OpenFile*>(fi->fh);
}

int result(int r) {
    return r < 0 ? -errno : 0;
}

int fsGetattr(const char* path, struct stat* st, fuse_file_info* fi) {
    const std::string name = baseName(real(path));
    bool hidden = false;
    std::optional<ino_t> inode;
    {
        const std::lock_guard lock(stateMutex);
        for (const auto& [n, on] : hiddenFromStat) {
            hidden = hidden || (on && sameName(n, name));
        }
        for (const auto& [n, ino] : fixedInodes) {
            if (sameName(n, name)) {
                inode = ino;
            }
        }
    }
    if (hidden && fi == nullptr && callerStatsAPath()) {
        return -ENOENT;
    }
    if (fi == nullptr) {
        if (const int error = pass("stat", name)) {
            return -error;
        }
    }
    const int r = fi != nullptr ? ::fstat(openFile(fi)->fd, st) : ::lstat(real(path).c_str(), st);
    if (r != 0) {
        return -errno;
    }
    if (inode) {
        st->st_ino = *inode;
    }
    return 0;
}

int fsReadlink(const char* path, char* buf, size_t size) {
    const ssize_t n = ::readlink(real(path).c_str(), buf, size - 1);
    if (n < 0) {
        return -errno;
    }
    buf[n] = '\0';
    return 0;
}

int fsMkdir(const char* path, mode_t mode) {
    return result(::mkdir(real(path).c_str(), mode));
}

int fsUnlink(const char* path) {
    if (const int error = pass("move", baseName(real(path)))) {
        return -error;
    }
    return result(::unlink(real(path).c_str()));
}

int fsRmdir(const char* path) {
    return result(::rmdir(real(path).c_str()));
}

int fsSymlink(const char* target, const char* path) {
    return result(::symlink(target, real(path).c_str()));
}

int fsRename(const char* from, const char* to, unsigned int flags) {
    if (flags != 0) {
        return -EINVAL;
    }
    if (const int error = pass("move", baseName(real(from)))) {
        return -error;
    }
    return result(::rename(real(from).c_str(), real(to).c_str()));
}

int fsLink(const char* from, const char* to) {
    return result(::link(real(from).c_str(), real(to).c_str()));
}

int fsChmod(const char* path, mode_t mode, fuse_file_info*) {
    return result(::chmod(real(path).c_str(), mode));
}

int fsChown(const char* path, uid_t uid, gid_t gid, fuse_file_info*) {
    return result(::lchown(real(path).c_str(), uid, gid));
}

int fsTruncate(const char* path, off_t size, fuse_file_info* fi) {
    return result(fi != nullptr ? ::ftruncate(openFile(fi)->fd, size)
                                : ::truncate(real(path).c_str(), size));
}

int openAs(const char* path, int flags, mode_t mode, fuse_file_info* fi) {
    const std::string file = real(path);
    const int fd = ::open(file.c_str(), flags, mode);
    if (fd < 0) {
        return -errno;
    }
    fi->fh = reinterpret_cast<uint64_t>(new OpenFile{fd, baseName(file)});
    return 0;
}

int fsOpen(const char* path, fuse_file_info* fi) {
    return openAs(path, fi->flags, 0, fi);
}

int fsCreate(const char* path, mode_t mode, fuse_file_info* fi) {
    return openAs(path, fi->flags | O_CREAT, mode, fi);
}

int fsRead(const char*, char* buf, size_t size, off_t at, fuse_file_info* fi) {
    if (const int error = pass("read", openFile(fi)->name)) {
        return -error;
    }
    const ssize_t n = ::pread(openFile(fi)->fd, buf, size, at);
    return n < 0 ? -errno : static_cast<int>(n);
}

// When a hold was asked for, keeps this write back until it lands (see "land"), and
// gives what the writer is told then.
std::optional<int> holdBack(const OpenFile& file, const char* buf, size_t size, off_t at) {
    std::unique_lock lock(stateMutex);
    HeldWrite& h = heldWriteFor(file.name);
    if (!h.asked) {
        return std::nullopt;
    }
    h.asked = false;
    h.held = true;
    h.fd = file.fd;
    h.bytes.assign(buf, size);
    h.at = at;
    stateChanged.notify_all();
    stateChanged.wait(lock, [&] { return !h.held; });
    return h.outcome;
}

int fsWrite(const char*, const char* buf, size_t size, off_t at, fuse_file_info* fi) {
    if (const int error = pass("write", openFile(fi)->name)) {
        return -error;
    }
    if (const std::optional<int> landed = holdBack(*openFile(fi), buf, size, at)) {
        return *landed;
    }
    const ssize_t n = ::pwrite(openFile(fi)->fd, buf, size, at);
    return n < 0 ? -errno : static_cast<int>(n);
}

int fsStatfs(const char*, struct statvfs* st) {
    return result(::statvfs(backing.c_str(), st));
}

int fsFlush(const char*, fuse_file_info*) {
    return 0;
}

int fsRelease(const char*, fuse_file_info* fi) {
    ::close(openFile(fi)->fd);
    delete openFile(fi);
    return 0;
}

int fsFsync(const char*, int dataOnly, fuse_file_info* fi) {
    return result(dataOnly != 0 ? ::fdatasync(openFile(fi)->fd) : ::fsync(openFile(fi)->fd));
}

int fsReaddir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*,
              fuse_readdir_flags) {
    DIR* dir = ::opendir(real(path).c_str());
    if (dir == nullptr) {
        return -errno;
    }
    while (const dirent* entry = ::readdir(dir)) {
        fill(buf, entry->d_name, nullptr, 0, fuse_fill_dir_flags{});
    }
    ::closedir(dir);
    return 0;
}

int fsUtimens(const char* path, const timespec times[2], fuse_file_info* fi) {
    return result(fi != nullptr
                      ? ::futimens(openFile(fi)->fd, times)
                      : ::utimensat(AT_FDCWD, real(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int fsFlock(const char*, fuse_file_info* fi, int op) {
    if (nobrl) {
        return 0;
    }
    return result(::flock(openFile(fi)->fd, op));
}

void* fsInit(fuse_conn_info*, fuse_config* cfg) {
    cfg->use_ino = 1;
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->direct_io = 1;    // every write reaches us, none waits in the page cache
    cfg->hard_remove = 1;  // an unlink removes, never renames to .fuse_hidden
    return nullptr;
}

int errorNumber(const std::string& word) {
    static const std::map<std::string, int> kNames = {
        {"EIO", EIO},
        {"EAGAIN", EAGAIN},
        {"ENOTCONN", ENOTCONN},
        {"EHOSTDOWN", EHOSTDOWN},
        {"ETIMEDOUT", ETIMEDOUT},
        {"ENOSPC", ENOSPC},
        {"EACCES", EACCES},
        {"ESTALE", ESTALE},
    };
    const auto known = kNames.find(word);
    return known != kNames.end() ? known->second : std::atoi(word.c_str());
}

std::string obey(const std::string& line) {
    std::istringstream in(line);
    std::string verb, a, b;
    in >> verb >> a >> b;
    std::string extra, more;
    in >> extra >> more;
    std::unique_lock lock(stateMutex);
    if (verb == "stall" && (a == "write" || a == "move" || a == "read" || a == "stat") &&
        !b.empty()) {
        Stall& s = stallFor(a, b);
        s.on = true;
        s.until.reset();
        if (!extra.empty()) {
            s.until = Clock::now() + std::chrono::seconds(std::atoi(extra.c_str()));
        }
        return "ok";
    }
    if (verb == "release" && !b.empty()) {
        Stall& s = stallFor(a, b);
        s.on = false;
        if (s.failEvery) {
            s.failEvery = false;
            s.failWith = 0;
        }
        stateChanged.notify_all();
        return "ok";
    }
    if (verb == "stalled" && !b.empty()) {
        Stall& s = stallFor(a, b);
        return stateChanged.wait_for(lock, std::chrono::seconds(10), [&] { return s.held > 0; })
                   ? "ok"
                   : "timeout";
    }
    if (verb == "fail" && !b.empty() && errorNumber(extra) > 0 &&
        (more.empty() || more == "until-released")) {
        Stall& s = stallFor(a, b);
        s.failWith = errorNumber(extra);
        s.failEvery = more == "until-released";
        return "ok";
    }
    if (verb == "failed" && !b.empty()) {
        return std::to_string(stallFor(a, b).failed);
    }
    if (verb == "hold" && !a.empty()) {
        heldWriteFor(a).asked = true;
        return "ok";
    }
    if (verb == "held" && !a.empty()) {
        HeldWrite& h = heldWriteFor(a);
        return stateChanged.wait_for(lock, std::chrono::seconds(10), [&] { return h.held; })
                   ? "ok"
                   : "timeout";
    }
    if (verb == "land" && !a.empty()) {
        HeldWrite& h = heldWriteFor(a);
        if (!h.held) {
            return "error: no write to " + a + " is held";
        }
        // On the server's disk before the answer: the test looks at once.
        const ssize_t n = ::pwrite(h.fd, h.bytes.data(), h.bytes.size(), h.at);
        h.outcome = n < 0 ? -errno : static_cast<int>(n);
        h.held = false;
        stateChanged.notify_all();
        return n == static_cast<ssize_t>(h.bytes.size()) ? "ok"
                                                         : "error: the held write did not land";
    }
    if ((verb == "nobrl" || verb == "fold-case") && (a == "on" || a == "off")) {
        (verb == "nobrl" ? nobrl : foldCase) = a == "on";
        return "ok";
    }
    if (verb == "fixed-ino" && !a.empty() && std::atoll(b.c_str()) > 0) {
        fixedInodes[a] = static_cast<ino_t>(std::atoll(b.c_str()));
        return "ok";
    }
    if (verb == "hide-from-stat" && !a.empty()) {
        if (!std::ifstream("/proc/self/syscall")) {
            return "error: a stat cannot be told from an open here (no /proc/PID/syscall)";
        }
        hiddenFromStat[a] = true;
        return "ok";
    }
    return "error: not understood: " + line;
}

void serve(int connection) {
    std::string pending;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(connection, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        pending.append(buffer, static_cast<size_t>(n));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string answer = obey(pending.substr(0, end)) + "\n";
            pending.erase(0, end + 1);
            if (::write(connection, answer.data(), answer.size()) < 0) {
                break;
            }
        }
    }
    ::close(connection);
}

void detachMount() {
    if (::umount2(mountPoint.c_str(), MNT_DETACH) == 0 || errno != EPERM) {
        return;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execlp("fusermount3", "fusermount3", "-u", "-z", mountPoint.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid > 0) {
        ::waitpid(pid, nullptr, 0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s BACKING MOUNTPOINT CONTROL_SOCKET\n", argv[0]);
        return 2;
    }
    char* resolved = ::realpath(argv[1], nullptr);
    if (resolved == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    backing = resolved;
    std::free(resolved);
    mountPoint = argv[2];

    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", argv[3]);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
        ::listen(listener, 4) != 0) {
        std::perror(argv[3]);
        return 2;
    }

    fuse_operations ops{};
    ops.getattr = fsGetattr;
    ops.readlink = fsReadlink;
    ops.mkdir = fsMkdir;
    ops.unlink = fsUnlink;
    ops.rmdir = fsRmdir;
    ops.symlink = fsSymlink;
    ops.rename = fsRename;
    ops.link = fsLink;
    ops.chmod = fsChmod;
    ops.chown = fsChown;
    ops.truncate = fsTruncate;
    ops.open = fsOpen;
    ops.read = fsRead;
    ops.write = fsWrite;
    ops.statfs = fsStatfs;
    ops.flush = fsFlush;
    ops.release = fsRelease;
    ops.fsync = fsFsync;
    ops.readdir = fsReaddir;
    ops.init = fsInit;
    ops.create = fsCreate;
    ops.utimens = fsUtimens;
    ops.flock = fsFlock;

    char* fuseArgv[] = {argv[0], const_cast<char*>("-o"),
                        const_cast<char*>("fsname=stand-in,subtype=stand-in"), nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, fuseArgv);
    fuse* fs = fuse_new(&args, &ops, sizeof ops, nullptr);
    if (fs == nullptr) {
        return 1;
    }
    if (fuse_mount(fs, mountPoint.c_str()) != 0) {
        return 77;  // libfuse has said why
    }
    std::thread([listener] {
        for (;;) {
            const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection >= 0) {
                std::thread(serve, connection).detach();
            }
        }
    }).detach();
    // The test that started us is gone (or done) when our standard input closes.
    std::thread([] {
        char byte;
        while (::read(STDIN_FILENO, &byte, 1) > 0) {
        }
        detachMount();
        ::_exit(0);
    }).detach();
    std::printf("ready\n");
    std::fflush(stdout);
    const int loop = fuse_loop_mt(fs, 0);
    fuse_unmount(fs);
    fuse_destroy(fs);
    return loop == 0 ? 0 : 1;
}
