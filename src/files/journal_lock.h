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
// way. Time is this machine's monotonic clock, never compared with the file server's.
//
// kStaleAfter is long enough that a writer only cut off from the share has landed or
// failed its write for good before anyone takes its lock: a held write that lands late
// goes to the offset it was given, on top of whatever another PC appended meanwhile.
// Appends were measured blocking 63-87 s on NFS (up to 116 s with a loaded client) and
// 66 s before EAGAIN on cifs; 300 s is well above all of them. Nobody waits for it: a
// punch behind a lock that stands is kept on this PC and sent when the lock goes.
class JournalLock {
  public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds kStaleAfter{300};

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
    None,          // nothing
    LeftStanding,  // a lock file: left to the running rule (kStaleAfter), whoever left it
    Removed,       // a link or an empty folder, which no writer makes: removed
    Blocking,      // a folder with content, or a link or folder that cannot be removed
};

struct LeftoverLockCheck {
    LeftoverLock found = LeftoverLock::None;
    std::filesystem::path lockFile;

    // While a Blocking thing stays there no punch can succeed: start-up says so,
    // naming lockFile.
    bool needsMessage() const { return found == LeftoverLock::Blocking; }
};

using Wait = std::function<void(std::chrono::milliseconds)>;
void waitOnThisThread(std::chrono::milliseconds duration);

// At start-up: removes what stands at the lock file's place if it is no lock file at all
// (a link, whose target is not touched, or an empty folder). A lock file is left alone,
// however old it looks: a PC starting while another one's write is held up by a network
// cut must not write beside it. A lock that a crash left is taken over by the running
// rule, and the spool keeps what cannot wait meanwhile.
LeftoverLockCheck clearLeftoverJournalLock(const std::filesystem::path& appFolder);

}  // namespace tavomi
