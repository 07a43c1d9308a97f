#pragma once
// Whether the data folder's file server answers now, asked without ever waiting on a share
// that hangs: a start tells a server that is not there yet from a folder set up wrong.

#include <chrono>
#include <filesystem>
#include <string>

namespace tavomi {

// True for the errors of a share that does not answer (as opposed to one that refuses).
bool isUnreachableError(int errnum);

struct DataFolderProbe {
    enum class State {
        Answers,      // the folder is there and holds some of its files
        Unreachable,  // the share is not there: an error of one that does not answer, no
                      // answer in time, an fstab mount point not mounted, or the folder gone
                      // from a share
        Missing       // on a disk that answers, the folder or all of its files are not there
    };
    State state = State::Answers;
    std::string why;  // for the session log; empty when it answers
};

// Looks at the data folder of `appFolder` on a thread of its own and gives up after `wait`
// (the thread is left to a share that hangs).
DataFolderProbe probeDataFolder(const std::filesystem::path& appFolder,
                                std::chrono::milliseconds wait);

}  // namespace tavomi
