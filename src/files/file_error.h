#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tavomi {

// A file that could not be opened, read, written or closed. what() carries the
// path, the action and the platform's text (strerror), ready for the error report.
class FileError : public std::runtime_error {
  public:
    FileError(const std::filesystem::path& path, const std::string& action, int errnum);

    int errorNumber() const { return errnum_; }

  private:
    int errnum_;
};

}  // namespace tavomi
