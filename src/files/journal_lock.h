#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
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

// How a lock file looked through a fresh open (an open asks the file server; lstat may
// answer from a cache that hides another PC's lock on NFS for half a minute).
struct LockSighting {
    FileIdentity identity;
    std::string holder;  // the holder line; empty for an older writer's empty lock file

    // Two sightings show the same lock: the same holder line, or, without one, the same
    // file (a file server may give every new lock file the same inode, but a holder
    // line names one take of one writer).
    bool sameLockAs(const LockSighting& other) const;
};

// What stands at the lock file's path, looked at through a fresh open; none when
// nothing does.
std::optional<LockSighting> lookAtLock(const std::filesystem::path& lockFile);

// The journal's lock as one program meets it over time. The lock file is made by
// exclusive creation and holds one line naming its holder (host, process, boot and a
// random token). A lock whose holder line still stands kStaleAfter after this program
// first found it in the way belongs to a writer that will never release it (a crash):
// it is moved aside atomically, removed, and the lock taken in the usual exclusive
// way. kStaleAfter outlasts the network outages measured on real shares (an append
// blocked for up to 87 s), so a writer that is only cut off is not taken over. Time
// is this machine's monotonic clock, never compared with the file server's.
class JournalLock {
  public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds kStaleAfter{120};

    explicit JournalLock(Now now = &std::chrono::steady_clock::now);

    // Takes the lock. False when another writer's lock stands in the way (busy).
    // Throws FileError when the lock file cannot be created.
    bool take(const std::filesystem::path& lockFile);

    // Removes the lock file that take() created if it still holds this take's holder
    // line, read through a fresh open: a writer that stalled past a takeover never
    // removes the new holder's lock. Failures are ignored.
    void release(const std::filesystem::path& lockFile) noexcept;

    // True when a lock file stands in the way (busy). A stale one is removed
    // and no longer counts.
    bool standsInTheWay(const std::filesystem::path& lockFile);

    // How long the lock that stood in the way at the last look had stood then, counted
    // from when this object first found that same lock; zero when none stood there.
    std::chrono::steady_clock::duration inTheWayFor() const;

    // The holder line of the lock this object holds (empty when it holds none).
    const std::string& holderLine() const { return taken_; }

  private:
    bool isStale(const LockSighting& found);

    struct Sighting {
        LockSighting lock;
        std::chrono::steady_clock::time_point since;
        std::chrono::steady_clock::time_point last;  // the latest look that found it
    };

    Now now_;
    std::optional<Sighting> inTheWay_;
    std::string taken_;
    std::string token_;  // names this object's takeovers
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
