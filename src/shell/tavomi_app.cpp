#include "shell/tavomi_app.h"

#include "card/card_poll.h"
#include "card/reader_watch.h"
#include "clock/clock.h"
#include "dialogs/about_box.h"
#include "files/data_folder.h"
#include "main_screen/main_screen.h"
#include "shell/screens.h"
#include "shell/single_instance.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tavomi {

namespace {

std::string programPath(const char* argv0) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(argv0 != nullptr ? argv0 : "tavomi") : self.string();
}

bool displayChosen() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// While the platform plugin starts, Qt's messages are held back: a display that cannot
// be opened then gives our one line instead of Qt's stack of warnings and an abort.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage>* heldMessages = nullptr;
std::string* heldProgram = nullptr;

void holdWhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr,
                     "tavomi: cannot open the display \"%s\". To run it on a virtual display: "
                     "xvfb-run -a %s\n",
                     qgetenv("DISPLAY").constData(), heldProgram->c_str());
        std::_Exit(1);
    }
    heldMessages->push_back({type, QByteArray(context.category), text});
}

class PlatformStart {
  public:
    explicit PlatformStart(std::string program) : program_(std::move(program)) {
        heldMessages = &messages_;
        heldProgram = &program_;
        previous_ = qInstallMessageHandler(holdWhileStarting);
    }

    // The platform is up: Qt speaks for itself again, starting with what it said so far.
    ~PlatformStart() {
        qInstallMessageHandler(previous_);
        for (const HeldMessage& m : messages_) {
            const QMessageLogContext context(nullptr, 0, nullptr, m.category.constData());
            qt_message_output(m.type, context, m.text);
        }
        heldMessages = nullptr;
        heldProgram = nullptr;
    }

    PlatformStart(const PlatformStart&) = delete;
    PlatformStart& operator=(const PlatformStart&) = delete;

  private:
    std::string program_;
    std::vector<HeldMessage> messages_;
    QtMessageHandler previous_ = nullptr;
};

// What the command line asks for. Tavomi itself takes no arguments; these two are for
// the administrator and work without a display.
enum class Request { Run, Help, Version, Unknown };

struct CommandLine {
    Request request = Request::Run;
    std::string unknown;  // the first argument that is not an option of ours
};

CommandLine readCommandLine(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            line.request = Request::Help;
        } else if (arg == "--version") {
            if (line.request != Request::Help) {
                line.request = Request::Version;
            }
        } else {
            return {Request::Unknown, std::string(arg)};
        }
    }
    return line;
}

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

void printHelp(const std::filesystem::path& programFolder) {
    std::printf(
        "Usage: tavomi [--help | --version]\n"
        "Tavomi %s, the time clock of a school's staff room: a teacher lays a FeliCa card\n"
        "on the reader and records clock-in, clock-out, going out and return.\n"
        "Data folder: %s\n",
        TAVOMI_VERSION, describeDataFolder(programFolder / kDataFolderName).c_str());
    // The package puts the read-me two levels above the program's own folder.
    const std::filesystem::path readMe =
        programFolder.parent_path().parent_path() / "share/doc/tavomi/README.md";
    if (regularFileExists(readMe)) {
        std::printf("Read me: %s and %s\n", readMe.c_str(), kWebPage);
    } else {
        std::printf("Read me: %s\n", kWebPage);
    }
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

// The start-up message never names a path; the session log gets one line that does,
// with links resolved, so that an administrator can find what is missing or locked.
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

}  // namespace

int runTavomi(int argc, char** argv) {
    return runTavomi(argc, argv, RunOptions{});
}

int runTavomi(int argc, char** argv, const RunOptions& options) {
    // A file-size limit (ulimit -f) then fails a write with EFBIG instead of killing the
    // program before an append's rollback.
    std::signal(SIGXFSZ, SIG_IGN);

    const std::string program = programPath(argc > 0 ? argv[0] : nullptr);
    const CommandLine commandLine = readCommandLine(argc, argv);
    switch (commandLine.request) {
        case Request::Help:
            printHelp(std::filesystem::path(program).parent_path());
            return 0;
        case Request::Version:
            std::printf("tavomi %s\n", TAVOMI_VERSION);
            return 0;
        case Request::Unknown:
            std::fprintf(stderr, "tavomi: unknown option '%s'; see tavomi --help\n",
                         commandLine.unknown.c_str());
            return 2;
        case Request::Run:
            break;
    }

    // Held until the process ends, however it ends.
    const SingleInstance instance(instanceMarkerPath());
    if (instance.anotherCopyRuns()) {
        return 0;
    }

    if (!displayChosen()) {
        std::fprintf(stderr,
                     "tavomi: no display (DISPLAY and WAYLAND_DISPLAY are not set). To run it on "
                     "a virtual display: xvfb-run -a %s\n",
                     program.c_str());
        return 1;
    }

    std::unique_ptr<QApplication> app;
    {
        const PlatformStart starting(program);
        app = std::make_unique<QApplication>(argc, argv);
    }

    const std::filesystem::path appFolder(
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    logDataFolderProblems(appFolder);
    PcscCardPoller poller;
    const std::unique_ptr<MainScreen> mainScreen = createScreens(appFolder, systemClock(), poller);
    if (!mainScreen) {
        return 0;
    }
    if (options.wakeOnCardEvents) {
        mainScreen->setCardEvents(std::make_unique<PcscReaderWatch>());
    }
    mainScreen->show();
    app->exec();
    return 0;
}

}  // namespace tavomi
