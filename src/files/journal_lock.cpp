#include "files/journal_lock.h"

#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <thread>

namespace tavomi {

namespace {

FileIdentity identityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_mode & S_IFMT, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

// Creates the lock file; none when something already stands at the path.
std::optional<FileIdentity> createLockFile(const std::filesystem::path& lockFile) {
    // O_EXCL never follows a link: a link at the path is "exists", never written through.
    UniqueFd fd(
        ::open(lockFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd) {
        if (errno == EEXIST) {
            return std::nullopt;
        }
        throw FileError(lockFile, "cannot create the lock file", errno);
    }
    struct stat st {};
    const bool known = ::fstat(fd.get(), &st) == 0;
    if (fd.close() != 0) {
        const int error = errno;
        ::unlink(lockFile.c_str());
        throw FileError(lockFile, "cannot create the lock file", error);
    }
    return known ? identityOf(st) : FileIdentity{};
}

// Removes what stands at the path if it is still the file that was found there.
// True when nothing stands there any more.
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

}  // namespace

std::optional<FileIdentity> identityAt(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return identityOf(st);
}

bool takeJournalLock(const std::filesystem::path& lockFile) {
    return createLockFile(lockFile).has_value();
}

void releaseJournalLock(const std::filesystem::path& lockFile) noexcept {
    ::unlink(lockFile.c_str());
}

JournalLock::JournalLock(Now now) : now_(std::move(now)) {}

bool JournalLock::take(const std::filesystem::path& lockFile) {
    std::optional<FileIdentity> created = createLockFile(lockFile);
    if (!created) {
        if (standsInTheWay(lockFile)) {
            return false;
        }
        // The lock went (released, or removed as stale) since the first try.
        created = createLockFile(lockFile);
        if (!created) {
            return false;
        }
    }
    taken_ = created;
    inTheWay_.reset();
    return true;
}

void JournalLock::release(const std::filesystem::path& lockFile) noexcept {
    if (!taken_) {
        return;
    }
    const FileIdentity ours = *std::exchange(taken_, std::nullopt);
    struct stat st {};
    if (::lstat(lockFile.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            ::unlink(lockFile.c_str());  // cannot tell whose it is: do not leave ours behind
        }
        return;
    }
    // Inode 0: the creation could not tell which file it made.
    if (ours.inode == 0 || (st.st_dev == ours.device && st.st_ino == ours.inode)) {
        ::unlink(lockFile.c_str());
    }
}

bool JournalLock::standsInTheWay(const std::filesystem::path& lockFile) {
    const auto found = identityAt(lockFile);
    if (!found) {
        inTheWay_.reset();
        return false;
    }
    if (!isStale(*found)) {
        return true;
    }
    if (!removeIfUnchanged(lockFile, *found)) {
        return true;
    }
    inTheWay_.reset();
    return false;
}

bool JournalLock::isStale(const FileIdentity& found) {
    const auto now = now_();
    if (!inTheWay_ || inTheWay_->lock != found) {
        inTheWay_ = Sighting{found, now};
        return false;
    }
    return now - inTheWay_->since >= kStaleAfter;
}

void waitOnThisThread(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

LeftoverLockCheck clearLeftoverJournalLock(const std::filesystem::path& appFolder,
                                           const Wait& wait) {
    LeftoverLockCheck check{LeftoverLock::None, dataFilePath(appFolder, kLockFile)};
    const auto found = identityAt(check.lockFile);
    if (!found) {
        return check;
    }
    if (found->type != S_IFREG) {
        check.found = removeIfUnchanged(check.lockFile, *found) ? LeftoverLock::Removed
                                                                : LeftoverLock::Blocking;
        return check;
    }
    wait(kLeftoverLockWait);
    if (identityAt(check.lockFile) != found) {
        check.found = LeftoverLock::Fresh;
        return check;
    }
    check.found = ::unlink(check.lockFile.c_str()) == 0 || errno == ENOENT
                      ? LeftoverLock::Removed
                      : LeftoverLock::NotRemoved;
    return check;
}

}  // namespace tavomi
