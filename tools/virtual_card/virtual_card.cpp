// tavomi-virtual-card: a FeliCa card on a virtual PC/SC reader (vsmartcard's vpcd driver,
// loaded by the rig's private pcscd). The card is a TCP client of the reader's port; laying
// it on the reader = connecting, taking it away = ending the process (SIGTERM or SIGINT end
// it cleanly; so does the reader closing the connection).
//
// Every message both ways is a 2-byte big-endian length and a payload. A 1-byte payload from
// the reader is a control (0 power off, 1 power on, 2 reset, 4 "send your ATR"); a longer one
// is a command APDU, answered with a response APDU.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The ATR a PC/SC reader builds for a FeliCa card (card-name code 00 3B at bytes 13, 14).
const char* const kFelicaAtr = "3B 8F 80 01 80 4F 0C A0 00 00 03 06 11 00 3B 00 00 00 00 42";
// The same reader's ATR for a MIFARE Classic 1K card (card-name code 00 01).
const char* const kOtherAtr = "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A";
// A valid 14-byte ATR (nine historical bytes), one byte short of the FeliCa test.
const char* const kShortAtr = "3B 89 80 01 4F 0C A0 00 00 03 06 11 00 FF";

struct Options {
    std::string host = "127.0.0.1";
    int port = 0;
    Bytes idm;
    Bytes atr;
    std::optional<Bytes> getDataStatus;  // answer GET DATA with these status bytes only
    int netnsPid = 0;                    // join this process's network namespace first
    bool exitWithParent = false;
    int connectTimeoutMs = 5000;
    bool verbose = false;
};

volatile sig_atomic_t gStop = 0;

void onStopSignal(int) {
    gStop = 1;
}

[[noreturn]] void usage(const char* message) {
    if (message != nullptr) {
        std::fprintf(stderr, "tavomi-virtual-card: %s\n", message);
    }
    std::fprintf(stderr,
                 "usage: tavomi-virtual-card --port PORT [--host ADDR] [--idm HEX]\n"
                 "         [--atr felica|other|short|HEX] [--get-data-status SW1SW2]\n"
                 "         [--netns-pid PID] [--exit-with-parent] [--connect-timeout MS]\n"
                 "         [--verbose]\n");
    std::exit(2);
}

std::optional<Bytes> parseHex(const std::string& text) {
    Bytes bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':') {
            continue;
        }
        int value;
        if (c >= '0' && c <= '9') {
            value = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            value = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            value = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | value));
            high = -1;
        }
    }
    if (high >= 0) {
        return std::nullopt;
    }
    return bytes;
}

std::string toHex(const Bytes& bytes) {
    std::string text;
    char digits[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        if (!text.empty()) {
            text += ' ';
        }
        text += digits;
    }
    return text;
}

Bytes hexOrDie(const std::string& text, const char* what) {
    auto bytes = parseHex(text);
    if (!bytes) {
        std::string message = std::string("not hexadecimal: ") + what + " " + text;
        usage(message.c_str());
    }
    return *bytes;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    options.idm = *parseHex("0123456789ABCDEF");
    options.atr = *parseHex(kFelicaAtr);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage(("missing value after " + arg).c_str());
            }
            return argv[++i];
        };
        if (arg == "--port") {
            options.port = std::atoi(value().c_str());
        } else if (arg == "--host") {
            options.host = value();
        } else if (arg == "--idm") {
            options.idm = hexOrDie(value(), "--idm");
        } else if (arg == "--atr") {
            const std::string kind = value();
            options.atr = kind == "felica"  ? *parseHex(kFelicaAtr)
                          : kind == "other" ? *parseHex(kOtherAtr)
                          : kind == "short" ? *parseHex(kShortAtr)
                                            : hexOrDie(kind, "--atr");
        } else if (arg == "--get-data-status") {
            options.getDataStatus = hexOrDie(value(), "--get-data-status");
            if (options.getDataStatus->size() != 2) {
                usage("--get-data-status takes two bytes, e.g. 6A81");
            }
        } else if (arg == "--netns-pid") {
            options.netnsPid = std::atoi(value().c_str());
        } else if (arg == "--exit-with-parent") {
            options.exitWithParent = true;
        } else if (arg == "--connect-timeout") {
            options.connectTimeoutMs = std::atoi(value().c_str());
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--help" || arg == "-h") {
            usage(nullptr);
        } else {
            usage(("unknown option " + arg).c_str());
        }
    }
    if (options.port <= 0 || options.port > 65535) {
        usage("--port is required");
    }
    return options;
}

// The rig's readers may live in a private network namespace (and, for a normal user, a
// private user namespace); enter the ones of the given process.
bool joinNamespacesOf(int pid) {
    const std::string base = "/proc/" + std::to_string(pid) + "/ns/";
    const int userFd = open((base + "user").c_str(), O_RDONLY | O_CLOEXEC);
    const int netFd = open((base + "net").c_str(), O_RDONLY | O_CLOEXEC);
    if (userFd < 0 || netFd < 0) {
        std::fprintf(stderr, "tavomi-virtual-card: cannot open namespaces of %d: %s\n", pid,
                     std::strerror(errno));
        return false;
    }
    struct stat theirs {};
    struct stat ours {};
    if (fstat(userFd, &theirs) == 0 && stat("/proc/self/ns/user", &ours) == 0 &&
        (theirs.st_ino != ours.st_ino || theirs.st_dev != ours.st_dev) &&
        setns(userFd, CLONE_NEWUSER) != 0) {
        std::fprintf(stderr, "tavomi-virtual-card: cannot join user namespace: %s\n",
                     std::strerror(errno));
        return false;
    }
    if (setns(netFd, CLONE_NEWNET) != 0) {
        std::fprintf(stderr, "tavomi-virtual-card: cannot join network namespace: %s\n",
                     std::strerror(errno));
        return false;
    }
    close(userFd);
    close(netFd);
    return true;
}

long long nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// Connects to the reader, retrying while it is not yet listening.
int connectToReader(const Options& options) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(options.port));
    if (inet_pton(AF_INET, options.host.c_str(), &address.sin_addr) != 1) {
        usage("--host must be an IPv4 address");
    }
    const long long deadline = nowMs() + options.connectTimeoutMs;
    while (!gStop) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return -1;
        }
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return fd;
        }
        const int error = errno;
        close(fd);
        if ((error != ECONNREFUSED && error != EINTR) || nowMs() >= deadline) {
            std::fprintf(stderr, "tavomi-virtual-card: cannot reach the reader at %s:%d: %s\n",
                         options.host.c_str(), options.port, std::strerror(error));
            return -1;
        }
        usleep(20 * 1000);
    }
    return -1;
}

// The driver sends a message's length and payload in two writes: with delayed ACKs each
// command would wait ~40 ms for our ACK. Quick-ACK mode is not sticky, so renew it after
// every recv().
void renewQuickAck(int fd) {
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

enum class ReadOutcome { Ok, Closed, Stopped };

// Reads exactly `size` bytes, waking for stop signals (they are blocked except inside ppoll,
// so none is lost between the check and the wait).
ReadOutcome readExact(int fd, std::uint8_t* data, std::size_t size, const sigset_t& waitMask) {
    std::size_t done = 0;
    while (done < size) {
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ppoll(&pfd, 1, nullptr, &waitMask);
        if (gStop) {
            return ReadOutcome::Stopped;
        }
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return ReadOutcome::Closed;
        }
        const ssize_t n = recv(fd, data + done, size - done, 0);
        renewQuickAck(fd);
        if (n == 0) {
            return ReadOutcome::Closed;
        }
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return ReadOutcome::Closed;
        }
        done += static_cast<std::size_t>(n);
    }
    return ReadOutcome::Ok;
}

bool sendMessage(int fd, const Bytes& payload) {
    // One write for length and payload, so the reader gets the message in one segment.
    Bytes message;
    message.reserve(payload.size() + 2);
    message.push_back(static_cast<std::uint8_t>(payload.size() >> 8));
    message.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
    message.insert(message.end(), payload.begin(), payload.end());
    std::size_t done = 0;
    while (done < message.size()) {
        const ssize_t n = send(fd, message.data() + done, message.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

Bytes answerApdu(const Options& options, const Bytes& command) {
    const bool getUid = command.size() >= 4 && command[0] == 0xFF && command[1] == 0xCA &&
                        command[2] == 0x00 && command[3] == 0x00;
    if (!getUid) {
        return {0x6A, 0x81};  // function not supported
    }
    if (options.getDataStatus) {
        return *options.getDataStatus;
    }
    Bytes answer = options.idm;
    answer.push_back(0x90);
    answer.push_back(0x00);
    return answer;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    const pid_t parent = getppid();

    // Stop signals are handled only while waiting for the reader.
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigset_t stopSignals;
    sigset_t waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);

    if (options.exitWithParent) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            return 0;
        }
    }
    if (options.netnsPid > 0 && !joinNamespacesOf(options.netnsPid)) {
        return 1;
    }

    sigprocmask(SIG_SETMASK, &waitMask, nullptr);  // a signal during connect ends the retries
    const int fd = connectToReader(options);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    if (fd < 0) {
        return gStop ? 0 : 1;
    }
    std::printf("card %s laid on %s:%d (ATR %s)\n", toHex(options.idm).c_str(),
                options.host.c_str(), options.port, toHex(options.atr).c_str());
    std::fflush(stdout);

    std::uint8_t header[2];
    Bytes payload;
    for (;;) {
        ReadOutcome outcome = readExact(fd, header, sizeof header, waitMask);
        if (outcome == ReadOutcome::Ok) {
            payload.assign(static_cast<std::size_t>(header[0] << 8 | header[1]), 0);
            outcome = readExact(fd, payload.data(), payload.size(), waitMask);
        }
        if (outcome == ReadOutcome::Stopped) {
            break;
        }
        if (outcome == ReadOutcome::Closed) {
            if (options.verbose) {
                std::fprintf(stderr, "tavomi-virtual-card: the reader closed the connection\n");
            }
            break;
        }
        if (payload.size() == 1) {
            if (options.verbose) {
                std::fprintf(stderr, "control %u\n", payload[0]);
            }
            if (payload[0] == 4 && !sendMessage(fd, options.atr)) {
                break;
            }
            continue;  // power off, power on and reset need no answer
        }
        const Bytes answer = answerApdu(options, payload);
        if (options.verbose) {
            std::fprintf(stderr, "> %s\n< %s\n", toHex(payload).c_str(), toHex(answer).c_str());
        }
        if (!sendMessage(fd, answer)) {
            break;
        }
    }
    close(fd);
    return 0;
}
