#pragma once
// What the program tells an administrator: its options, its help, and one line in the
// session log when the data folder is missing or cannot be written.

#include <filesystem>
#include <string>

namespace tavomi {

// What the command line asks for. --help and --version are for the administrator and
// work without a display; --no-sound runs the time clock silent.
enum class Request { Run, Help, Version, Unknown };

struct CommandLine {
    Request request = Request::Run;
    std::string unknown;  // the first argument that is not an option of ours
    bool sound = true;
};

// Where this PC keeps the records the share cannot take now: on the local disk, beside
// the program (the package links it to /var/lib/tavomi/spool).
std::filesystem::path spoolFolderOf(const std::filesystem::path& appFolder);

CommandLine readCommandLine(int argc, char** argv);

// What Tavomi is, where its data folder is (through links), and where to read more.
void printHelp(const std::filesystem::path& appFolder);

// The start-up message never names a path; the session log gets one line that does,
// with links resolved, so that an administrator can find what is missing or locked.
void logDataFolderProblems(const std::filesystem::path& appFolder);

}  // namespace tavomi
