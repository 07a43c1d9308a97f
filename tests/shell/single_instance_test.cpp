// The per-user presence marker that keeps a second copy from running.
#include "shell/single_instance.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tavomi {
namespace {

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(SingleInstanceTest, MarkerLivesInTheUsersRuntimeFolder) {
    {
        ScopedEnv env("XDG_RUNTIME_DIR", "/run/user/1234");
        EXPECT_EQ(instanceMarkerPath(), std::filesystem::path("/run/user/1234/Tavomi_ver01.lock"));
    }
    for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
        ScopedEnv env("XDG_RUNTIME_DIR", unset);
        EXPECT_EQ(
            instanceMarkerPath(),
            std::filesystem::path("/tmp/Tavomi_ver01-" + std::to_string(::getuid()) + ".lock"));
    }
}

TEST(SingleInstanceTest, OnlyOneHolderAtATime) {
    QTemporaryDir dir;
    const std::filesystem::path marker = dir.filePath("Tavomi_ver01.lock").toStdString();
    {
        const SingleInstance first(marker);
        EXPECT_FALSE(first.anotherCopyRuns());
        EXPECT_TRUE(SingleInstance(marker).anotherCopyRuns());
    }
    // The holder has gone: the next start runs.
    EXPECT_FALSE(SingleInstance(marker).anotherCopyRuns());
}

// Someone else's lock on the file a marker path leads to.
class OutsideHold {
  public:
    explicit OutsideHold(const std::filesystem::path& file)
        : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0);
    }
    ~OutsideHold() { ::close(fd_); }

  private:
    int fd_;
};

// A marker that cannot be ours never keeps the program from running.
TEST(SingleInstanceTest, AMarkerThatCannotBeOursLetsTheProgramRun) {
    QTemporaryDir dir;
    const std::filesystem::path target = dir.filePath("elsewhere").toStdString();
    const std::filesystem::path link = dir.filePath("planted.lock").toStdString();
    std::filesystem::create_symlink(target, link);
    {
        const OutsideHold hold(target);
        EXPECT_FALSE(SingleInstance(link).anotherCopyRuns());  // a link is never followed
    }
    EXPECT_FALSE(
        SingleInstance(dir.filePath("no/such/folder.lock").toStdString()).anotherCopyRuns());

    if (::geteuid() == 0) {
        const std::filesystem::path foreign = dir.filePath("foreign.lock").toStdString();
        const OutsideHold hold(foreign);
        ASSERT_EQ(::chown(foreign.c_str(), 4242, 4242), 0);
        EXPECT_FALSE(SingleInstance(foreign).anotherCopyRuns());
    }
}

}  // namespace
}  // namespace tavomi
