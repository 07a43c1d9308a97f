#include "files/file_error.h"

#include <cerrno>
#include <cstring>

namespace tavomi {

namespace {

std::string describe(const std::filesystem::path& path, const std::string& action, int errnum) {
    std::string text = std::strerror(errnum);
    // flock's EWOULDBLOCK reads "Resource temporarily unavailable"; say what it means here.
    if (errnum == EWOULDBLOCK) {
        text = "in use by another program (" + text + ")";
    }
    return action + " " + path.string() + ": " + text;
}

}  // namespace

FileError::FileError(const std::filesystem::path& path, const std::string& action, int errnum)
    : std::runtime_error(describe(path, action, errnum)), errnum_(errnum) {}

}  // namespace tavomi
