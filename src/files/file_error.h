#pragma once

#include <QString>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tavomi {

// A file that could not be opened, read, written or closed. what() carries the
// path, the action and the platform's text (strerror), ready for the error report.
class FileError : public std::runtime_error {
  public:
    FileError(const std::filesystem::path& path, const std::string& action, int errnum);

    // With our own words for the cause, where the platform's text would mislead
    // ("is a symbolic link" rather than "Too many levels of symbolic links").
    FileError(const std::filesystem::path& path, const std::string& action, int errnum,
              const std::string& cause);

    int errorNumber() const { return errnum_; }
    const std::filesystem::path& path() const { return path_; }

    // The same for a teacher at the screen, in Japanese: what could not be done, the
    // file, and the system's reason.
    QString japaneseText() const;

  private:
    std::filesystem::path path_;
    std::string action_;
    std::string cause_;
    int errnum_;
};

}  // namespace tavomi
