// A process that appends to the journal, for the files library's tests (it is not the
// program's writer thread, src/spool): it makes one write through the library and prints
// the outcome as one line, so that a test can run it with faults injected (fault_shim.cpp)
// or kill it part way, and look at what it left.
//
//   files_append_process APP_FOLDER locking-first|checking-first|taking-over LINE
//   files_append_process FILE append LINE
//   files_append_process APP_FOLDER start-up
//
// taking-over meets the lock that stands there, lets it stand kStaleAfter on this
// writer's clock, and then writes locking first (taking it over if it is still the same).
// Prints Written, Busy, JournalMissing or "FileError <errno> <text>"; start-up prints
// what the start-up check found (None, LeftStanding, Removed or Blocking).

#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/punch_journal.h"

#include <QString>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

using namespace tavomi;

const char* leftoverLockName(LeftoverLock found) {
    switch (found) {
        case LeftoverLock::None:
            return "None";
        case LeftoverLock::LeftStanding:
            return "LeftStanding";
        case LeftoverLock::Removed:
            return "Removed";
        case LeftoverLock::Blocking:
            return "Blocking";
    }
    return "?";
}

const char* write(const std::filesystem::path& where, const char* how, const QString& line) {
    JournalLock lock;
    if (std::strcmp(how, "locking-first") == 0) {
        return writeOutcomeName(writeRecordLockingFirst(where, line, lock));
    }
    if (std::strcmp(how, "checking-first") == 0) {
        return writeOutcomeName(writeRecordCheckingJournalFirst(where, line, lock));
    }
    if (std::strcmp(how, "taking-over") == 0) {
        auto now = std::chrono::steady_clock::now();
        JournalLock patient([&now] { return now; });
        patient.standsInTheWay(dataFilePath(where, kLockFile));
        now += JournalLock::kStaleAfter;
        return writeOutcomeName(writeRecordLockingFirst(where, line, patient));
    }
    appendLine(where, line);
    return "Written";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[2], "start-up") == 0) {
        std::printf("%s\n", leftoverLockName(clearLeftoverJournalLock(argv[1]).found));
        return 0;
    }
    if (argc != 4) {
        std::fprintf(
            stderr,
            "usage: %s APP_FOLDER|FILE locking-first|checking-first|taking-over|append LINE\n"
            "       %s APP_FOLDER start-up\n",
            argv[0], argv[0]);
        return 2;
    }
    try {
        std::printf("%s\n", write(argv[1], argv[2], QString::fromUtf8(argv[3])));
    } catch (const FileError& e) {
        std::printf("FileError %d %s\n", e.errorNumber(), e.what());
    }
    return 0;
}
