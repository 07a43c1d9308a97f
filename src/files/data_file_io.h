#pragma once
// Every system call on a data file goes through here: a safe open, and read and write
// loops that retry an interrupted call.

#include "files/unique_fd.h"

#include <QByteArray>

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>

namespace tavomi {

// Opens a data file as a data file: never through a symbolic link (its target could be any
// file of the user's), never waiting on a FIFO or a device in its place (non-blocking
// while opening, no controlling terminal), and only a regular file; the descriptor blocks
// as usual afterwards. `flags` are the access flags (O_RDONLY, O_RDWR, O_WRONLY | O_CREAT |
// O_APPEND ...); a file that is created gets `mode`. Throws FileError with `action` ("cannot
// open", ...).
UniqueFd openDataFile(const std::filesystem::path& file, int flags, const char* action,
                      mode_t mode = 0660);

// For a file that is only ever read (the cardholder list, the weekly table): the same checks,
// but a symbolic link is followed, as reading through it cannot harm its target.
UniqueFd openDataFileForReading(const std::filesystem::path& file, const char* action);

// The same, but a file that is not there gives an empty descriptor instead of an error.
UniqueFd openDataFileIfPresent(const std::filesystem::path& file, int flags, const char* action);

// Reads until `size` bytes are in or the file ends, from `at` (pread) or, when `at` is -1,
// from the descriptor's position. Returns the bytes read, or -1 with errno set.
ssize_t readFully(int fd, char* buffer, std::size_t size, off_t at = -1);

// One read of at most `size` bytes, retried when a signal interrupts it; -1 with errno set.
ssize_t readOnce(int fd, char* buffer, std::size_t size);

// Everything from the descriptor's position to the file's end. Throws FileError.
QByteArray readToEnd(int fd, const std::filesystem::path& file);

// Writes all `size` bytes, at `at` (pwrite) or, when `at` is -1, at the descriptor's
// position. Returns 0, or the error that stopped it (EIO for a write that took nothing).
int writeFully(int fd, const char* bytes, std::size_t size, off_t at = -1);

// Replaces the file with `bytes` whole: written to FILE.new beside it with `mode` (whatever
// the umask) and, when given, `group`, synced, renamed over it, and the folder synced. A crash
// leaves the old file or the new one; a failure leaves the old one and no FILE.new. Throws
// FileError.
void replaceFileWhole(const std::filesystem::path& file, const QByteArray& bytes, mode_t mode,
                      std::optional<gid_t> group = std::nullopt);

}  // namespace tavomi
