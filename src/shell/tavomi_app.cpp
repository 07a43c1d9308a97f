#include "shell/tavomi_app.h"

#include "card/card_poll.h"
#include "card/reader_watch.h"
#include "clock/clock.h"
#include "dialogs/qt_translation.h"
#include "main_screen/main_screen.h"
#include "main_screen/share_wait_screen.h"
#include "main_screen/spool_status_text.h"
#include "shell/administration.h"
#include "shell/screens.h"
#include "shell/share_watch.h"
#include "shell/single_instance.h"
#include "shell/start_up.h"
#include "sound/sound.h"
#include "spool/journal_writer.h"
#include "spool/local_copy.h"
#include "spool/pc_status_reporter.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QPointer>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
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
// be opened then gives Qt's reason and our line instead of a stack of warnings and an
// abort.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage>* heldMessages = nullptr;
std::string* heldProgram = nullptr;

void holdWhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        // Qt's own reason came as a warning just before: it goes to the session log too.
        for (const HeldMessage& held : *heldMessages) {
            if (held.type != QtDebugMsg && held.type != QtInfoMsg) {
                std::fprintf(stderr, "tavomi: %s\n", qPrintable(held.text.trimmed()));
            }
        }
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

// The main screen shows what waits in the spool, told from the writer's thread.
void showSpoolStatus(JournalWriter& writer, MainScreen& mainScreen, const Clock& clock) {
    const QPointer<MainScreen> screen(&mainScreen);
    writer.setStatusChanged([screen, clock](const SpoolStatus& status) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [screen, clock, status] {
                if (screen) {
                    screen->showSpoolStatus(spoolStatusText(status, clock().date()));
                }
            },
            Qt::QueuedConnection);
    });
}

// A clock left running derives each new date's working hours as a start does, on the writer's
// thread, and says what a start would say, at the main screen's next tick.
void deriveHoursOfNewDates(JournalWriter& writer, MainScreen& mainScreen, const Clock& clock) {
    const QPointer<MainScreen> screen(&mainScreen);
    mainScreen.watchForNewDate(
        [clock] { return clock().date(); },
        [&writer, screen](const QDate& date) {
            writer.deriveHoursOf(date, [screen](std::optional<DerivationOutcome> outcome,
                                                std::exception_ptr error) {
                const std::vector<StartUpMessage> messages = workingHoursMessages(outcome, error);
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [screen, messages] {
                        for (const StartUpMessage& message : messages) {
                            if (screen) {
                                screen->showAtNextTick(message.kind == StartUpMessage::Kind::Error
                                                           ? MainScreen::MessageKind::Error
                                                           : MainScreen::MessageKind::Plain,
                                                       message.text);
                            }
                        }
                    },
                    Qt::QueuedConnection);
            });
        });
}

// After each whole read of the cardholder list (the first tick's among them), the copy of
// what a start needs, on this PC's disk; one that cannot be made never stops a punch.
void keepCopiesForStart(MainScreen& mainScreen, const std::filesystem::path& appFolder,
                        const std::filesystem::path& spoolFolder, const Clock& clock) {
    mainScreen.setCardholdersRead([appFolder, spoolFolder, clock] {
        try {
            keepLocalCopy(appFolder, spoolFolder, clock());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tavomi: the local copy for a start: %s\n", e.what());
        }
    });
}

// This PC's status in the data folder for the office window, written on a thread of its own
// (a status that cannot be written never stops a punch).
std::unique_ptr<PcStatusReporter> reportPcStatus(const std::filesystem::path& appFolder,
                                                 const JournalWriter& writer, const Clock& clock) {
    return std::make_unique<PcStatusReporter>(appFolder, writer, thisPcName(),
                                              QStringLiteral(TAVOMI_VERSION), clock);
}

// What every pass of a run shares.
struct Run {
    QApplication& app;
    std::filesystem::path appFolder;
    std::filesystem::path spoolFolder;
    Clock clock;
    PcscCardPoller& poller;
    RunOptions options;
};

// The event loop's code when the file server answered while the clock ran without it.
constexpr int kShareAnswered = 75;

// Ends the pass for a whole start on the share, once no screen or box is up (a teacher in
// the middle of a punch finishes it first; the next look tries again).
std::unique_ptr<ShareWatch> restartWhenShareAnswers(const Run& run) {
    return std::make_unique<ShareWatch>(run.appFolder, [&app = run.app] {
        if (QApplication::activeModalWidget() == nullptr &&
            QApplication::activePopupWidget() == nullptr) {
            app.exit(kShareAnswered);
        }
    });
}

// Shows the main screen and runs until the pass ends: the event loop's code.
int runMainScreen(const Run& run, MainScreen& mainScreen, JournalWriter& writer) {
    if (run.options.wakeOnCardEvents) {
        mainScreen.setCardEvents(std::make_unique<PcscReaderWatch>());
    }
    mainScreen.show();
    const int code = run.app.exec();
    writer.setStatusChanged({});
    return code;
}

int runOnShare(const Run& run) {
    logDataFolderProblems(run.appFolder);
    JournalWriter writer(run.appFolder, run.spoolFolder, run.clock);
    const std::unique_ptr<MainScreen> mainScreen =
        createScreens(run.appFolder, run.clock, run.poller, writer);
    if (!mainScreen) {
        return 0;
    }
    showSpoolStatus(writer, *mainScreen, run.clock);
    deriveHoursOfNewDates(writer, *mainScreen, run.clock);
    keepCopiesForStart(*mainScreen, run.appFolder, writer.spoolFolder(), run.clock);
    // Only now: the start-up's look at a leftover lock comes before any send.
    writer.start();
    const auto pcStatus = reportPcStatus(run.appFolder, writer, run.clock);
    return runMainScreen(run, *mainScreen, writer);
}

// The cardholder list and weekly table of the local copy; every record kept on this PC at
// once; nothing sent until the whole start on the share that follows its return.
int runOnLocalCopy(const Run& run, const LocalCopy& copy) {
    JournalWriter writer(run.appFolder, run.spoolFolder, run.clock);
    const std::unique_ptr<MainScreen> mainScreen =
        createScreens(copy.appFolder, run.clock, run.poller, writer, StartChecks::None);
    showSpoolStatus(writer, *mainScreen, run.clock);
    writer.keepWithoutSending();
    const QDateTime since = run.clock();
    mainScreen->showShareAway(shareAwayText(since, copy.takenAt, since));
    const auto watch = restartWhenShareAnswers(run);
    return runMainScreen(run, *mainScreen, writer);
}

// No copy to start on yet: a window that says so, until the server answers.
int waitForShare(const Run& run) {
    ShareWaitScreen screen(waitingForShareText(run.clock(), run.clock().date()));
    const auto watch = restartWhenShareAnswers(run);
    screen.show();
    return run.app.exec();
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
    loadQtTranslation();

    const std::filesystem::path appFolder(
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    PcscCardPoller poller;
    if (commandLine.sound) {
        setSoundPlayer(systemSoundPlayer());
    }
    const Run run{*app, appFolder, spoolFolderOf(appFolder), systemClock(), poller, options};
    // Each pass is a whole start; one ends early when the file server answers again.
    for (;;) {
        const StartPlan plan = planStart(appFolder, run.spoolFolder, ShareWatch::kEvery);
        // A folder set up wrong is told as a start always told it.
        if (plan.place != StartPlan::Place::Share) {
            std::fprintf(stderr, "tavomi: the data folder does not answer: %s\n", plan.why.c_str());
        }
        int code = 0;
        switch (plan.place) {
            case StartPlan::Place::Share:
                code = runOnShare(run);
                break;
            case StartPlan::Place::LocalCopy:
                code = runOnLocalCopy(run, *plan.copy);
                break;
            case StartPlan::Place::WaitForShare:
                code = waitForShare(run);
                break;
        }
        if (code != kShareAnswered) {
            return 0;
        }
        std::fprintf(stderr, "tavomi: the data folder answers again; starting on it\n");
    }
}

}  // namespace tavomi
