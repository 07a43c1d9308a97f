#include "support/pcsc_rig.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <winscard.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>

extern char** environ;

namespace tavomi::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kNoticeTimeout = std::chrono::seconds(10);

std::string stateFilePath() {
    if (const char* path = std::getenv("TAVOMI_PCSC_RIG"); path != nullptr && *path != '\0') {
        return path;
    }
    return TAVOMI_DEFAULT_PCSC_RIG_STATE;
}

// KEY='value' lines as the rig script writes them.
std::map<std::string, std::string> readState(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("no PC/SC rig is running: " + path +
                                 " is missing (ctest starts the rig through the fixture "
                                 "pcsc_rig; by hand: tools/pcsc-rig.sh --build BUILD start)");
    }
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) {
            continue;
        }
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
            value = value.substr(1, value.size() - 2);
        }
        values[line.substr(0, equals)] = value;
    }
    return values;
}

PcscRig loadRig() {
    const std::string path = stateFilePath();
    auto values = readState(path);
    auto need = [&](const char* key) {
        auto it = values.find(key);
        if (it == values.end() || it->second.empty()) {
            throw std::runtime_error(path + " lacks " + key);
        }
        return it->second;
    };
    PcscRig rig;
    rig.socket = need("PCSCLITE_CSOCK_NAME");
    rig.readerNames = {need("TAVOMI_RIG_READER0"), need("TAVOMI_RIG_READER1")};
    rig.basePort = std::stoi(need("TAVOMI_RIG_PORT"));
    auto pidOf = [&](const char* key) {
        const std::string& text = values[key];
        return text.empty() ? pid_t{0} : static_cast<pid_t>(std::stol(text));
    };
    rig.netnsPid = pidOf("TAVOMI_RIG_NETNS_PID");
    rig.pcscdPid = pidOf("TAVOMI_RIG_PCSCD_PID");
    rig.cardTool = need("TAVOMI_RIG_CARD_TOOL");
    rig.script = need("TAVOMI_RIG_SCRIPT");
    rig.buildDir = need("TAVOMI_RIG_BUILD");
    return rig;
}

// Starts a program with stdout discarded and stderr shared (so its complaints reach the
// test's output). Returns its PID.
pid_t spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::runtime_error("cannot run " + argv[0] + ": " + std::strerror(error));
    }
    return pid;
}

int waitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void runScript(const std::string& command) {
    const PcscRig& rig = usePcscRig();
    const int status =
        waitForExit(spawn({"/bin/bash", rig.script, "--build", rig.buildDir, command}));
    if (status != 0) {
        throw std::runtime_error("tools/pcsc-rig.sh " + command + " failed (exit " +
                                 std::to_string(status) + ")");
    }
}

bool hasEnded(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

// Waits until pcscd reports the reader with a card (present, not mute) or empty. Returns
// false when the time is up, or when the card process (cardPid > 0) has ended meanwhile.
bool waitForReaderState(const std::string& reader, bool present, pid_t cardPid) {
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
        return false;
    }
    SCARD_READERSTATE state{};
    state.szReader = reader.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    const auto deadline = Clock::now() + kNoticeTimeout;
    bool reached = false;
    while (Clock::now() < deadline) {
        const LONG rv = SCardGetStatusChange(context, 100, &state, 1);
        if (rv != SCARD_S_SUCCESS && rv != SCARD_E_TIMEOUT) {
            break;
        }
        if (rv == SCARD_S_SUCCESS) {
            const DWORD event = state.dwEventState;
            const bool isPresent = (event & SCARD_STATE_PRESENT) != 0;
            const bool isEmpty = (event & SCARD_STATE_EMPTY) != 0;
            if ((present && isPresent && (event & SCARD_STATE_MUTE) == 0) ||
                (!present && isEmpty)) {
                reached = true;
                break;
            }
            state.dwCurrentState = event & ~SCARD_STATE_CHANGED;
        }
        if (cardPid > 0 && hasEnded(cardPid)) {
            break;
        }
    }
    SCardReleaseContext(context);
    return reached;
}

}  // namespace

const PcscRig& usePcscRig() {
    static std::optional<PcscRig> rig;
    if (!rig) {
        rig = loadRig();
        setenv("PCSCLITE_CSOCK_NAME", rig->socket.c_str(), 1);
    }
    return *rig;
}

PcscServiceFrozen::PcscServiceFrozen() {
    runScript("service-freeze");
}

PcscServiceFrozen::~PcscServiceFrozen() {
    try {
        runScript("service-thaw");
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
    }
}

PcscServiceStopped::PcscServiceStopped() {
    runScript("service-stop");
}

PcscServiceStopped::~PcscServiceStopped() {
    try {
        runScript("service-start");
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
    }
}

namespace {
VirtualCard::Options feliCaOn(int reader, const std::string& idm) {
    VirtualCard::Options options;
    options.reader = reader;
    options.idm = idm;
    return options;
}
}  // namespace

VirtualCard::VirtualCard(int reader, const std::string& idm) : VirtualCard(feliCaOn(reader, idm)) {}

VirtualCard::VirtualCard(const Options& options) {
    const PcscRig& rig = usePcscRig();
    if (options.reader < 0 || options.reader >= static_cast<int>(rig.readerNames.size())) {
        throw std::invalid_argument("the rig has readers 0 and 1 only");
    }
    readerName_ = rig.readerNames[static_cast<std::size_t>(options.reader)];
    std::vector<std::string> argv = {rig.cardTool,
                                     "--port",
                                     std::to_string(rig.basePort + options.reader),
                                     "--idm",
                                     options.idm,
                                     "--atr",
                                     options.atr,
                                     "--exit-with-parent"};
    if (!options.getDataStatus.empty()) {
        argv.insert(argv.end(), {"--get-data-status", options.getDataStatus});
    }
    if (rig.netnsPid > 0) {
        argv.insert(argv.end(), {"--netns-pid", std::to_string(rig.netnsPid)});
    }
    pid_ = spawn(argv);
    if (!waitForReaderState(readerName_, true, pid_)) {
        kill(pid_, SIGTERM);
        const int status = waitForExit(pid_);
        pid_ = 0;
        throw std::runtime_error("pcscd did not report the virtual card on \"" + readerName_ +
                                 "\" (card tool exit " + std::to_string(status) + ")");
    }
}

VirtualCard::~VirtualCard() {
    try {
        takeAway();
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
    }
}

void VirtualCard::takeAway(bool waitUntilNoticed) {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    waitForExit(pid_);
    pid_ = 0;
    if (waitUntilNoticed && !waitForReaderState(readerName_, false, 0)) {
        throw std::runtime_error("pcscd still reports a card on \"" + readerName_ + "\"");
    }
}

}  // namespace tavomi::test
