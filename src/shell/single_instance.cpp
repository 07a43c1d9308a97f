#include "shell/single_instance.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace tavomi {

std::filesystem::path instanceMarkerPath(std::string_view name) {
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir != nullptr && *runtimeDir != '\0') {
        return std::filesystem::path(runtimeDir) / (std::string(name) + ".lock");
    }
    return std::filesystem::path("/tmp") /
           (std::string(name) + "-" + std::to_string(::getuid()) + ".lock");
}

SingleInstance::SingleInstance(const std::filesystem::path& markerFile) {
    // O_CLOEXEC: a browser started from the about box must not inherit the lock and
    // keep it after we end. O_NOFOLLOW: /tmp is shared, so never follow a planted link.
    fd_ = UniqueFd(
        ::open(markerFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600));
    if (!fd_) {
        return;
    }
    // Someone else's file in /tmp could be held to keep us from starting: ignore it.
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0 || st.st_uid != ::getuid() || !S_ISREG(st.st_mode)) {
        fd_.reset();
        return;
    }
    int rc;
    do {
        rc = ::flock(fd_.get(), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        anotherCopyRuns_ = errno == EWOULDBLOCK;
        fd_.reset();
    }
}

}  // namespace tavomi
