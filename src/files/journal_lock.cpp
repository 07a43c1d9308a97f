#include "files/journal_lock.h"

#include "files/data_file_io.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <random>
#include <thread>
#include <utility>

namespace tavomi {

namespace {

// A holder line is far shorter; more is not a lock file of ours.
constexpr std::size_t kMaxHolderLine = 512;

FileIdentity identityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_mode & S_IFMT, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

std::string randomToken() {
    std::random_device random;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        token += part;
    }
    return token;
}

std::string bootId() {
    std::ifstream file("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(file, id);
    return id.empty() ? std::string("unknown") : id;
}

std::string hostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') {
        return "unknown";
    }
    return name.data();
}

// One take of one writer: a fresh token every time.
std::string newHolderLine() {
    return "host=" + hostName() + " pid=" + std::to_string(::getpid()) + " boot=" + bootId() +
           " token=" + randomToken() + "\r\n";
}

// Creates the lock file holding `holder`; false when something already stands at the path.
bool createLockFile(const std::filesystem::path& lockFile, const std::string& holder) {
    // O_EXCL never follows a link: a link at the path is "exists", never written through.
    UniqueFd fd(
        ::open(lockFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd) {
        if (errno == EEXIST) {
            return false;
        }
        throw FileError(lockFile, "cannot create the lock file", errno);
    }
    // The line is on the server before anyone can judge it; a lock that cannot say whose
    // it is would be removed by nobody but the stale rule.
    int error = writeFully(fd.get(), holder.data(), holder.size());
    if (error == 0 && (::fsync(fd.get()) != 0 || fd.close() != 0)) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(lockFile.c_str());
        throw FileError(lockFile, "cannot create the lock file", error);
    }
    return true;
}

// The first kMaxHolderLine bytes of an open file; empty when it cannot be read.
std::string readHolder(int fd) {
    std::string holder(kMaxHolderLine, '\0');
    holder.resize(static_cast<std::size_t>(
        std::max<ssize_t>(0, readFully(fd, holder.data(), holder.size()))));
    return holder;
}

// Removes a folder (empty) or a link in the lock's place if it is still what was found.
bool removeIfUnchanged(const std::filesystem::path& path, const FileIdentity& found) {
    const auto now = identityAt(path);
    if (!now) {
        return true;
    }
    if (*now != found) {
        return false;
    }
    // remove() takes an empty folder as well as a file or a link (never the link's target).
    return std::remove(path.c_str()) == 0 || errno == ENOENT;
}

enum class Removal { Gone, Kept, Failed };

// Removes a lock file only while it is still `judged`. It is first renamed aside, which
// only one of several writers can do to one file; what was moved is then looked at
// again. A different lock (a racer's new one, moved by mistake) is put back where it
// was if that place is still free, and otherwise removed: its holder's release then
// finds no line of its own and removes nothing. Putting back is a hard link, which never
// replaces a lock made meanwhile; where the file system makes none it is a rename, which
// would replace such a lock: no worse than removing the moved one.
Removal removeLockIf(const std::filesystem::path& lockFile, const LockSighting& judged,
                     const std::string& token) {
    if (judged.identity.type != S_IFREG) {
        return removeIfUnchanged(lockFile, judged.identity) ? Removal::Gone : Removal::Failed;
    }
    std::filesystem::path aside = lockFile;
    aside += ".aside-" + token;
    if (::rename(lockFile.c_str(), aside.c_str()) != 0) {
        return errno == ENOENT ? Removal::Gone : Removal::Failed;
    }
    const auto moved = lookAtLock(aside);
    if (moved && !moved->sameLockAs(judged)) {
        if (::link(aside.c_str(), lockFile.c_str()) == 0) {
            ::unlink(aside.c_str());
            return Removal::Kept;
        }
        if (errno != EEXIST && ::rename(aside.c_str(), lockFile.c_str()) == 0) {
            return Removal::Kept;
        }
    }
    ::unlink(aside.c_str());
    return Removal::Gone;
}

std::string lockToken() {
    return randomToken().substr(0, 16);
}

}  // namespace

std::optional<FileIdentity> identityAt(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return identityOf(st);
}

bool LockSighting::sameLockAs(const LockSighting& other) const {
    if (!holder.empty() || !other.holder.empty()) {
        return holder == other.holder;
    }
    return identity == other.identity;
}

std::optional<LockSighting> lookAtLock(const std::filesystem::path& lockFile) {
    UniqueFd fd(
        ::open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        // A link, or something this account may not open: judged by what lstat shows.
        const auto identity = identityAt(lockFile);
        if (!identity) {
            return std::nullopt;
        }
        return LockSighting{*identity, {}};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return LockSighting{};
    }
    LockSighting sighting{identityOf(st), {}};
    if (S_ISREG(st.st_mode)) {
        sighting.holder = readHolder(fd.get());
    }
    return sighting;
}

JournalLock::JournalLock(Now now) : now_(std::move(now)), token_(lockToken()) {}

bool JournalLock::take(const std::filesystem::path& lockFile) {
    const std::string holder = newHolderLine();
    if (!createLockFile(lockFile, holder)) {
        if (standsInTheWay(lockFile)) {
            return false;
        }
        // The lock went (released, or removed as stale) since the first try.
        if (!createLockFile(lockFile, holder)) {
            return false;
        }
    }
    taken_ = holder;
    inTheWay_.reset();
    return true;
}

void JournalLock::release(const std::filesystem::path& lockFile) noexcept {
    if (taken_.empty()) {
        return;
    }
    const std::string ours = std::exchange(taken_, std::string());
    try {
        const auto found = lookAtLock(lockFile);
        if (found && found->holder == ours) {
            removeLockIf(lockFile, *found, token_);
        }
    } catch (...) {
        // Nothing to report: a lock left behind heals by the stale rule.
    }
}

bool JournalLock::standsInTheWay(const std::filesystem::path& lockFile) {
    const auto found = lookAtLock(lockFile);
    if (!found) {
        inTheWay_.reset();
        return false;
    }
    if (!isStale(*found)) {
        return true;
    }
    if (removeLockIf(lockFile, *found, token_) != Removal::Gone) {
        return true;
    }
    inTheWay_.reset();
    return false;
}

bool JournalLock::isStale(const LockSighting& found) {
    const auto now = now_();
    if (!inTheWay_ || !inTheWay_->lock.sameLockAs(found)) {
        inTheWay_ = Sighting{found, now, now};
        return false;
    }
    inTheWay_->last = now;
    return now - inTheWay_->since >= kStaleAfter;
}

std::chrono::steady_clock::duration JournalLock::inTheWayFor() const {
    return inTheWay_ ? inTheWay_->last - inTheWay_->since : std::chrono::steady_clock::duration{};
}

void waitOnThisThread(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

LeftoverLockCheck clearLeftoverJournalLock(const std::filesystem::path& appFolder) {
    LeftoverLockCheck check{LeftoverLock::None, dataFilePath(appFolder, kLockFile)};
    const auto found = lookAtLock(check.lockFile);
    if (!found) {
        return check;
    }
    if (found->identity.type == S_IFREG) {
        check.found = LeftoverLock::LeftStanding;
        return check;
    }
    check.found = removeIfUnchanged(check.lockFile, found->identity) ? LeftoverLock::Removed
                                                                     : LeftoverLock::Blocking;
    return check;
}

}  // namespace tavomi
