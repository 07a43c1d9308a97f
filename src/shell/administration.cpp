#include "shell/administration.h"

#include "dialogs/about_box.h"
#include "files/data_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>
#include <system_error>
#include <vector>

namespace tavomi {

namespace {

// Where a path really is: through every link, as far as the path exists.
std::filesystem::path whereItLeads(std::filesystem::path path) {
    std::error_code ec;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(path, ec); ++hops) {
        const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec) {
            break;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    const std::filesystem::path real = std::filesystem::weakly_canonical(path, ec);
    return ec ? path.lexically_normal() : real;
}

std::string describeDataFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    const bool exists = std::filesystem::is_directory(folder, ec);
    std::string said = folder.string();
    if (std::filesystem::is_symlink(folder, ec)) {
        said += " (a link to " + whereItLeads(folder).string() +
                (exists ? ")" : ", which does not exist)");
    } else if (!exists) {
        said += " (which does not exist)";
    }
    return said;
}

std::string joined(const std::vector<std::filesystem::path>& paths) {
    std::string text;
    for (const std::filesystem::path& path : paths) {
        text += (text.empty() ? "" : ", ") + path.string();
    }
    return text;
}

std::string userName() {
    const passwd* user = ::getpwuid(::geteuid());
    return user != nullptr ? user->pw_name : std::to_string(::geteuid());
}

}  // namespace

CommandLine readCommandLine(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            line.request = Request::Help;
        } else if (arg == "--no-sound") {
            line.sound = false;
        } else if (arg == "--version") {
            if (line.request != Request::Help) {
                line.request = Request::Version;
            }
        } else {
            return {Request::Unknown, std::string(arg), line.sound};
        }
    }
    return line;
}

std::filesystem::path spoolFolderOf(const std::filesystem::path& appFolder) {
    return appFolder / "spool";
}

void printHelp(const std::filesystem::path& appFolder) {
    std::printf(
        "Usage: tavomi [--no-sound] [--help | --version]\n"
        "Tavomi %s, the time clock of a school's staff room: a teacher lays a FeliCa card\n"
        "on the reader and records clock-in, clock-out, going out and return.\n"
        "Data folder: %s\n"
        "Records kept on this PC while the file server does not answer: %s\n"
        "  --no-sound  no sound for a record's outcome\n",
        TAVOMI_VERSION, describeDataFolder(appFolder / kDataFolderName).c_str(),
        describeDataFolder(spoolFolderOf(appFolder)).c_str());
    // The package puts the read-me two levels above the program's own folder.
    const std::filesystem::path readMe =
        appFolder.parent_path().parent_path() / "share/doc/tavomi/README.md";
    if (regularFileExists(readMe)) {
        std::printf("Read me: %s and %s\n", readMe.c_str(), kWebPage);
    } else {
        std::printf("Read me: %s\n", kWebPage);
    }
}

void logDataFolderProblems(const std::filesystem::path& appFolder) {
    const std::filesystem::path folder = appFolder / kDataFolderName;
    const std::filesystem::path realFolder = whereItLeads(folder);
    std::error_code ec;
    if (!std::filesystem::is_directory(realFolder, ec)) {
        const std::string linkedFrom =
            realFolder == folder ? "" : " (linked from " + folder.string() + ")";
        std::fprintf(stderr, "tavomi: missing data folder %s%s\n", realFolder.c_str(),
                     linkedFrom.c_str());
        return;
    }
    std::vector<std::filesystem::path> missing;
    for (std::string_view name : missingDataFiles(appFolder)) {
        missing.push_back(realFolder / name);
    }
    if (!missing.empty()) {
        std::fprintf(stderr, "tavomi: missing data files: %s\n", joined(missing).c_str());
        return;
    }
    // The folder takes the lock file; the journal and the working hours are appended.
    std::vector<std::filesystem::path> locked;
    for (const std::filesystem::path& path :
         {realFolder, realFolder / kJournalFile, realFolder / kWorkingHoursFile}) {
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
            locked.push_back(path);
        }
    }
    if (!locked.empty()) {
        std::fprintf(stderr, "tavomi: not writable for user %s: %s\n", userName().c_str(),
                     joined(locked).c_str());
    }
}

}  // namespace tavomi
