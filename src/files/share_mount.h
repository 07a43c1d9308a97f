#pragma once
// Whether the data folder lies on a network mount whose options make the lock protocol
// unsafe between PCs.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tavomi {

struct RiskyMount {
    std::string fileSystem;  // cifs, nfs or nfs4
    std::string option;      // nobrl, nolock, local_lock=..., or nolease when missing
    std::string mountPoint;
    bool missing = false;  // the option is one the mount lacks
};

// Reads a /proc/self/mountinfo text: the mount that holds `folder` (an absolute path
// with links resolved), if it is cifs with nobrl (byte-range locks stay on this PC)
// or NFS with nolock or local_lock= other than none (locks never reach the server);
// else cifs without nolease (an open of the lock file may never return after a server
// restart or a network cut).
std::optional<RiskyMount> riskyMountIn(std::string_view mountinfo,
                                       const std::filesystem::path& folder);

// The same for this process's mounts and a folder as given.
std::optional<RiskyMount> riskyMountOf(const std::filesystem::path& folder);

// Where the mount that holds `folder` comes from, as a mountinfo text names it
// ("//server/share", "server:/export", "/dev/vda1"), and its file system; nullopt when no
// mount holds it.
struct MountSource {
    std::string source;
    std::string fileSystem;
    std::string mountPoint;
    bool operator==(const MountSource&) const = default;
};
std::optional<MountSource> mountSourceIn(std::string_view mountinfo,
                                         const std::filesystem::path& folder);
std::optional<MountSource> mountSourceOf(const std::filesystem::path& folder);

// True for the file systems of a file server's share (cifs, smb3, nfs, nfs4).
bool isNetworkFileSystem(std::string_view fileSystem);

// The innermost mount point of an fstab text that holds `folder` and that no mount of the
// mountinfo text has now: the folder then is on the local disk under an empty mount point,
// not on the share it is meant to be on.
std::optional<std::string> unmountedMountPointIn(std::string_view fstab, std::string_view mountinfo,
                                                 const std::filesystem::path& folder);
// The same for /etc/fstab, this process's mounts and a folder as given (links resolved as
// far as they lead).
std::optional<std::string> unmountedMountPointOf(const std::filesystem::path& folder);

}  // namespace tavomi
