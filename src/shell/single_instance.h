#pragma once
// The per-user presence marker "Tavomi_ver01": an exclusive flock on a file in the
// user's runtime folder. The kernel drops the lock however the process ends.

#include "files/unique_fd.h"

#include <filesystem>
#include <string_view>

namespace tavomi {

inline constexpr std::string_view kInstanceName = "Tavomi_ver01";

// $XDG_RUNTIME_DIR/<name>.lock, or /tmp/<name>-<uid>.lock when the variable is unset.
std::filesystem::path instanceMarkerPath(std::string_view name = kInstanceName);

class SingleInstance {
  public:
    // Takes the marker if it can and holds it until destroyed.
    explicit SingleInstance(const std::filesystem::path& markerFile);

    // True only when another process holds the marker. A marker that cannot be made
    // at all (no folder, a file of another user) does not stop the program: it then
    // runs as a first copy.
    bool anotherCopyRuns() const { return anotherCopyRuns_; }

  private:
    UniqueFd fd_;
    bool anotherCopyRuns_ = false;
};

}  // namespace tavomi
