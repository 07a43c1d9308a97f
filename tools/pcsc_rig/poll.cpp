// tavomi-poll: runs the program's card poll against the PC/SC service and prints what it
// found. The rig uses it to wait until its private pcscd answers; it is also handy by hand.
//   tavomi-poll                         one poll
//   tavomi-poll --wait-readers N [--timeout MS]   poll until N readers are listed

#include "card/card_poll.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void print(const tavomi::PollResult& result, double milliseconds) {
    std::printf("reader list: %s\n", result.readerListObtained ? "obtained" : "not obtained");
    for (const std::string& name : result.readerNames) {
        std::printf("reader: %s\n", name.c_str());
    }
    std::printf("tried last: %s\n", result.lastReaderTried.c_str());
    if (result.cardId) {
        std::printf("card: \"%s\"\n", result.cardId->toLatin1().constData());
    } else {
        std::printf("card: none\n");
    }
    std::printf("poll took: %.3f ms\n", milliseconds);
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t wantReaders = 0;
    int timeoutMs = 10000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--wait-readers") == 0 && i + 1 < argc) {
            wantReaders = static_cast<std::size_t>(std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeoutMs = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: tavomi-poll [--wait-readers N [--timeout MS]]\n");
            return 2;
        }
    }

    tavomi::PcscCardPoller poller;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto start = std::chrono::steady_clock::now();
        const tavomi::PollResult result = poller.poll();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        const bool enough = result.readerListObtained && result.readerNames.size() >= wantReaders;
        if (wantReaders == 0 || enough || std::chrono::steady_clock::now() >= deadline) {
            print(result, took.count());
            return wantReaders == 0 || enough ? 0 : 1;
        }
        // A tool waiting for a daemon to come up, not a test: a short pause is right here.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
