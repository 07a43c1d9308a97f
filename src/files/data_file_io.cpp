#include "files/data_file_io.h"

#include "files/file_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tavomi {

namespace {

[[noreturn]] void failOpen(const std::filesystem::path& file, const char* action, int error) {
    struct stat st {};
    if (error == ELOOP && ::lstat(file.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        throw FileError(file, action, error, "is a symbolic link");
    }
    throw FileError(file, action, error);
}

UniqueFd openChecked(const std::filesystem::path& file, int flags, const char* action, mode_t mode,
                     bool missingIsEmpty) {
    UniqueFd fd(::open(file.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
    if (!fd) {
        if (missingIsEmpty && errno == ENOENT) {
            return fd;
        }
        failOpen(file, action, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        throw FileError(file, action, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        throw FileError(file, action, EINVAL, "is not a regular file");
    }
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
        throw FileError(file, action, errno);
    }
    return fd;
}

}  // namespace

UniqueFd openDataFile(const std::filesystem::path& file, int flags, const char* action,
                      mode_t mode) {
    return openChecked(file, flags | O_NOFOLLOW, action, mode, false);
}

UniqueFd openDataFileForReading(const std::filesystem::path& file, const char* action) {
    return openChecked(file, O_RDONLY, action, 0, false);
}

UniqueFd openDataFileIfPresent(const std::filesystem::path& file, int flags, const char* action) {
    return openChecked(file, (flags & ~O_CREAT) | O_NOFOLLOW, action, 0, true);
}

ssize_t readOnce(int fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

ssize_t readFully(int fd, char* buffer, std::size_t size, off_t at) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            at < 0 ? ::read(fd, buffer + done, size - done)
                   : ::pread(fd, buffer + done, size - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

QByteArray readToEnd(int fd, const std::filesystem::path& file) {
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = readOnce(fd, buffer, sizeof buffer);
        if (n < 0) {
            throw FileError(file, "cannot read", errno);
        }
        if (n == 0) {
            return bytes;
        }
        bytes.append(buffer, n);
    }
}

int writeFully(int fd, const char* bytes, std::size_t size, off_t at) {
    while (size > 0) {
        const ssize_t n = at < 0 ? ::write(fd, bytes, size) : ::pwrite(fd, bytes, size, at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
        if (at >= 0) {
            at += n;
        }
    }
    return 0;
}

void replaceFileWhole(const std::filesystem::path& file, const QByteArray& bytes, mode_t mode,
                      std::optional<gid_t> group) {
    const std::filesystem::path next = file.string() + ".new";
    try {
        UniqueFd fd = openDataFile(next, O_WRONLY | O_CREAT | O_TRUNC, "cannot create", mode);
        if (::fchmod(fd.get(), mode) != 0) {
            throw FileError(next, "cannot create", errno);
        }
        // Who may read it stays; an owner other than ours is not ours to set.
        if (group) {
            [[maybe_unused]] const int ignored = ::fchown(fd.get(), static_cast<uid_t>(-1), *group);
        }
        if (const int error =
                writeFully(fd.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()))) {
            throw FileError(next, "cannot write", error);
        }
        if (::fsync(fd.get()) != 0) {
            throw FileError(next, "cannot sync", errno);
        }
        if (fd.close() != 0) {
            throw FileError(next, "cannot close", errno);
        }
        if (::rename(next.c_str(), file.c_str()) != 0) {
            throw FileError(file, "cannot replace", errno);
        }
    } catch (...) {
        ::unlink(next.c_str());
        throw;
    }
    if (const UniqueFd folder(
            ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        folder) {
        ::fsync(folder.get());
    }
}

}  // namespace tavomi
