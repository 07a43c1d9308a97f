#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>

namespace tavomi {

// A file as found at a path. Only a file that keeps all of these is the same
// file: a lock file released and taken anew differs at least in its inode or its
// modification time.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    mode_t type = 0;  // the S_IFMT bits
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of whatever stands at the path, links not followed; none when
// nothing does (or it cannot be examined).
std::optional<FileIdentity> identityAt(const std::filesystem::path& path);

// Takes the lock by exclusive creation of an empty file. Returns false when
// something already stands at the path (someone else holds the lock). Throws
// FileError otherwise.
bool takeJournalLock(const std::filesystem::path& lockFile);

// Removes the lock file, whoever made it; a failed deletion is ignored.
void releaseJournalLock(const std::filesystem::path& lockFile) noexcept;

// The journal's lock as one program meets it over time. A lock file that is
// still the same file kStaleAfter after this program first found it in the way
// belongs to a writer that will never release it (a crash): it is removed and
// the lock taken in the usual exclusive way. Time is this machine's monotonic
// clock; the file's times come from the file server and are only compared with
// each other, never with this machine's clock.
class JournalLock {
  public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds kStaleAfter{30};

    explicit JournalLock(Now now = &std::chrono::steady_clock::now);

    // Takes the lock. False when another writer's lock stands in the way (busy).
    // Throws FileError when the lock file cannot be created.
    bool take(const std::filesystem::path& lockFile);

    // Removes the lock file that take() created, unless another file has taken
    // its place meanwhile (ours was removed as stale). Failures are ignored.
    void release(const std::filesystem::path& lockFile) noexcept;

    // True when a lock file stands in the way (busy). A stale one is removed
    // and no longer counts.
    bool standsInTheWay(const std::filesystem::path& lockFile);

  private:
    bool isStale(const FileIdentity& found);

    struct Sighting {
        FileIdentity lock;
        std::chrono::steady_clock::time_point since;
    };

    Now now_;
    std::optional<Sighting> inTheWay_;
    std::optional<FileIdentity> taken_;
};

// Releases a lock taken with JournalLock::take on every path, the error path
// included, so a failed write does not leave every later writer reporting "busy".
class JournalLockHold {
  public:
    JournalLockHold(JournalLock& lock, std::filesystem::path lockFile)
        : lock_(lock), lockFile_(std::move(lockFile)) {}
    JournalLockHold(const JournalLockHold&) = delete;
    JournalLockHold& operator=(const JournalLockHold&) = delete;
    ~JournalLockHold() { lock_.release(lockFile_); }

  private:
    JournalLock& lock_;
    std::filesystem::path lockFile_;
};

// What start-up found at the lock file's place.
enum class LeftoverLock {
    None,        // nothing
    Fresh,       // it went or changed during the wait: a running writer's, left alone
    Removed,     // a lock file that outlived the wait, or a link or empty folder: removed
    NotRemoved,  // a lock file that outlived the wait but could not be removed (ignored)
    Blocking,    // a folder with content, or a link or folder that cannot be removed
};

struct LeftoverLockCheck {
    LeftoverLock found = LeftoverLock::None;
    std::filesystem::path lockFile;

    // While a Blocking thing stays there no punch can succeed: start-up says so,
    // naming lockFile.
    bool needsMessage() const { return found == LeftoverLock::Blocking; }
};

// Far longer than any append takes: a lock file that is still the same file
// after this wait was left by a writer that ended without releasing it.
inline constexpr std::chrono::milliseconds kLeftoverLockWait{2000};

using Wait = std::function<void(std::chrono::milliseconds)>;
void waitOnThisThread(std::chrono::milliseconds duration);

// At start-up: removes a lock file left behind by a writer that never finished,
// leaving alone one that a writer on another machine holds right now. A link or
// an empty folder in its place is removed at once (writers only ever create
// regular files, and the link's target is not touched).
LeftoverLockCheck clearLeftoverJournalLock(const std::filesystem::path& appFolder,
                                           const Wait& wait = waitOnThisThread);

}  // namespace tavomi
