// Another copy of Tavomi on this PC, for the tests of several copies on one spool: a
// writer in a process of its own that sends what waits, pass after pass, until nothing
// waits or the time is up. Its share is a slow one: each append starts a few
// milliseconds late, as over a network, which widens any gap between a look at the
// journal and the append that relies on it.
//
//   spool_sender APP_FOLDER SPOOL_FOLDER SECONDS

#include "spool/journal_writer.h"

#include <QDateTime>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

int main(int argc, char** argv) {
    using namespace tavomi;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s APP_FOLDER SPOOL_FOLDER SECONDS\n", argv[0]);
        return 2;
    }
    const std::filesystem::path app = argv[1];
    const std::filesystem::path spool = argv[2];
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[3]));
    while (std::chrono::steady_clock::now() < until) {
        {
            JournalWriter writer(
                app, spool, [] { return QDateTime::currentDateTime(); },
                [](const std::filesystem::path& appFolder, const QString& line, JournalLock& lock,
                   WriteOrder order, const WhileLocked& whileLocked) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(3));
                    return JournalWriter::appendToShare(appFolder, line, lock, order, whileLocked);
                });
            writer.start();  // its first pass sends what waits; the end waits for it
        }
        try {
            if (RecordSpool(spool).load().records.empty()) {
                return 0;
            }
        } catch (const std::exception&) {
            // the other copy holds the spool just now
        }
    }
    return 1;
}
