#include "stand_in.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tavomi::test {

namespace {

// Starts `argv` with its standard input and output on pipes (their other ends returned,
// close-on-exec, so no later child keeps them open) and standard error to `errors`.
pid_t start(std::vector<std::string> argv, int* input, int* output, const char* errors) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        return -1;
    }
    std::vector<char*> args;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        if (errors != nullptr) {
            const int err = ::open(errors, O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(err, STDERR_FILENO);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    *input = in[1];
    *output = out[0];
    return pid;
}

// One line from fd, waiting at most `seconds`; empty at its end or on time-out.
std::string readLine(int fd, int seconds) {
    std::string line;
    char c;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, seconds * 1000) > 0 && ::read(fd, &c, 1) == 1) {
        if (c == '\n') {
            return line;
        }
        line += c;
    }
    return line;
}

void stop(pid_t& pid) {
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
    }
}

}  // namespace

StandInShare::StandInShare(const std::filesystem::path& backing) {
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        whyNot_ = std::string("FUSE cannot be used here: /dev/fuse: ") + std::strerror(errno);
        return;
    }
    const std::filesystem::path base(dir_.path().toStdString());
    std::filesystem::create_directory(appFolder());
    const std::string socket = (base / "control").string();
    const std::string errors = (base / "errors").string();
    int output = -1;
    pid_ = start({TAVOMI_STAND_IN_FS, backing.string(), appFolder().string(), socket}, &input_,
                 &output, errors.c_str());
    const std::string ready = readLine(output, 10);
    ::close(output);
    if (ready != "ready") {
        int status = 0;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        std::stringstream said;
        said << std::ifstream(errors).rdbuf();
        whyNot_ = (WIFEXITED(status) && WEXITSTATUS(status) == 77
                       ? "FUSE cannot be mounted here: "
                       : "the stand-in share did not start: ") +
                  said.str();
        return;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        whyNot_ = std::string("the stand-in share takes no commands: ") + std::strerror(errno);
        ::close(fd);
        return;
    }
    control_ = fd;
}

StandInShare::~StandInShare() {
    if (control_ >= 0) {
        ::close(control_);
    }
    if (pid_ > 0) {
        // Detached first, so nothing new enters it; ending the file system then fails
        // whatever is still held in it, and no hung mount is left behind.
        if (::umount2(appFolder().c_str(), MNT_DETACH) != 0 && errno == EPERM) {
            int in = -1;
            int out = -1;
            pid_t helper =
                start({"/bin/fusermount3", "-u", "-z", appFolder().string()}, &in, &out, nullptr);
            ::close(in);
            ::close(out);
            ::waitpid(helper, nullptr, 0);
        }
        ::close(input_);
        stop(pid_);
    }
}

std::filesystem::path StandInShare::appFolder() const {
    return std::filesystem::path(dir_.path().toStdString()) / "mount";
}

std::string StandInShare::command(const std::string& line) {
    const std::string sent = line + "\n";
    if (control_ < 0 || ::write(control_, sent.data(), sent.size()) < 0) {
        return "error: the stand-in share is not there";
    }
    return readLine(control_, 15);
}

WriterProcess::WriterProcess(const std::vector<std::string>& args) {
    std::vector<std::string> argv{TAVOMI_APPEND_PROCESS};
    argv.insert(argv.end(), args.begin(), args.end());
    int input = -1;
    pid_ = start(argv, &input, &output_, nullptr);
    ::close(input);
}

WriterProcess::~WriterProcess() {
    stop(pid_);
    ::close(output_);
}

std::string WriterProcess::outcome() {
    const std::string line = readLine(output_, 20);
    if (line.empty()) {
        stop(pid_);
        return "timeout";
    }
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return line;
}

}  // namespace tavomi::test
