#include "files/file_error.h"

#include <cerrno>
#include <cstring>

namespace tavomi {

namespace {

std::string platformText(int errnum) {
    std::string text = std::strerror(errnum);
    // flock's EWOULDBLOCK reads "Resource temporarily unavailable"; say what it means here.
    if (errnum == EWOULDBLOCK) {
        text = "in use by another program (" + text + ")";
    }
    return text;
}

std::string describe(const std::filesystem::path& path, const std::string& action,
                     const std::string& cause) {
    return action + " " + path.string() + ": " + cause;
}

}  // namespace

FileError::FileError(const std::filesystem::path& path, const std::string& action, int errnum)
    : FileError(path, action, errnum, platformText(errnum)) {}

FileError::FileError(const std::filesystem::path& path, const std::string& action, int errnum,
                     const std::string& cause)
    : std::runtime_error(describe(path, action, cause)), errnum_(errnum) {}

}  // namespace tavomi
