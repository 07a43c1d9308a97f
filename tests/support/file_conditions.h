#pragma once

// Conditions of the file system that the files library must survive: a file
// held by another program, a read-only file or folder, a disk that fills up.

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace tavomi::test {

// Holds a flock on a file through its own descriptor, as another program would.
class HeldFile {
  public:
    HeldFile(const std::filesystem::path& path, int operation) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0 || ::flock(fd_, operation | LOCK_NB) != 0) {
            throw std::runtime_error("cannot lock " + path.string());
        }
    }
    ~HeldFile() { ::close(fd_); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

  private:
    int fd_ = -1;
};

// Permission bits only bind a process without CAP_DAC_OVERRIDE; tests often run
// as root. This drops the override from the calling thread's effective set (the
// code under test runs on that thread) and puts it back afterwards.
class WithoutDacOverride {
  public:
    WithoutDacOverride() {
        header_ = {_LINUX_CAPABILITY_VERSION_3, 0};
        if (::syscall(SYS_capget, &header_, saved_) != 0) {
            return;
        }
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
            lowered[CAP_TO_INDEX(cap)].effective &= ~CAP_TO_MASK(cap);
        }
        changed_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~WithoutDacOverride() {
        if (changed_) {
            ::syscall(SYS_capset, &header_, saved_);
        }
    }
    WithoutDacOverride(const WithoutDacOverride&) = delete;
    WithoutDacOverride& operator=(const WithoutDacOverride&) = delete;

  private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

// Sets a path's permission bits for the guard's lifetime.
class ScopedMode {
  public:
    ScopedMode(const std::filesystem::path& path, mode_t mode) : path_(path) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || ::chmod(path.c_str(), mode) != 0) {
            throw std::runtime_error("cannot chmod " + path.string());
        }
        oldMode_ = st.st_mode & 07777;
    }
    ~ScopedMode() { ::chmod(path_.c_str(), oldMode_); }
    ScopedMode(const ScopedMode&) = delete;
    ScopedMode& operator=(const ScopedMode&) = delete;

  private:
    std::filesystem::path path_;
    mode_t oldMode_ = 0;
};

// True when this process can no longer write the file (or create files in the
// folder); false means the test cannot set the condition up here.
inline bool fileIsReadOnly(const std::filesystem::path& file) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return true;
}

inline bool folderIsReadOnly(const std::filesystem::path& folder) {
    const std::filesystem::path probe = folder / ".probe";
    int fd = ::open(probe.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
        return false;
    }
    return true;
}

// A disk that fills up, as the process sees it: writes past `bytes` in any
// regular file fail with EFBIG or come out short (SIGXFSZ is ignored).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = SIG_DFL;
};

}  // namespace tavomi::test
