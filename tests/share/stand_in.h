#pragma once

// The test side of the stand-in share (stand_in_fs.cpp): one PC's view of a backing
// folder, mounted for as long as the object lives, and a writer in a process of its own
// that a test can leave stalled while it does other things.

#include <QTemporaryDir>

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tavomi::test {

class StandInShare {
  public:
    // Mounts a view of `backing`. When FUSE cannot be mounted here, mounted() is false
    // and whyNot() says why.
    explicit StandInShare(const std::filesystem::path& backing);
    // Unmounts lazily and ends the file system, whatever is still held in it.
    ~StandInShare();
    StandInShare(const StandInShare&) = delete;
    StandInShare& operator=(const StandInShare&) = delete;

    bool mounted() const { return control_ >= 0; }
    const std::string& whyNot() const { return whyNot_; }

    // The mount point: the backing folder as this PC sees it.
    std::filesystem::path appFolder() const;

    // One command (see stand_in_fs.cpp); its answer, "ok" when it was done.
    std::string command(const std::string& line);

  private:
    QTemporaryDir dir_;
    pid_t pid_ = -1;
    int input_ = -1;  // its standard input: closing it ends it
    int control_ = -1;
    std::string whyNot_;
};

// files_append_process with the arguments, running until outcome() is asked for.
class WriterProcess {
  public:
    explicit WriterProcess(const std::vector<std::string>& args);
    // Kills it if it has not ended.
    ~WriterProcess();
    WriterProcess(const WriterProcess&) = delete;
    WriterProcess& operator=(const WriterProcess&) = delete;

    // Waits for it to end (20 s at most) and gives its one line ("timeout" if none came).
    std::string outcome();

  private:
    pid_t pid_ = -1;
    int output_ = -1;
};

}  // namespace tavomi::test
