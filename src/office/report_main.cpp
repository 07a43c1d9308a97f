// tavomi-report: the office's reports from the punch journal: who is in today, and a
// month's time sheets on the terminal, as CSV or as a PDF to sign.
#include "clock/clock.h"
#include "office/command_line.h"
#include "office/data_location.h"
#include "office/report_tool.h"
#include "office/tool_output.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) then fails a write, which is undone, instead of killing
    // the tool half-way with the lock file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const QDate today = tavomi::systemClock()().date();

    // Only a PDF needs fonts, hence a GUI application; it draws offscreen, so the report
    // runs on a server without a display.
    const bool drawsPdf = [&] {
        const auto parsed = tavomi::parseReportCommand(arguments, today);
        const auto* command = std::get_if<tavomi::ReportCommand>(&parsed);
        return command && !command->pdfFile.isEmpty();
    }();
    std::unique_ptr<QCoreApplication> app;
    if (drawsPdf) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The translation needs the application; the arguments are read again so that a usage
    // error is worded in the user's language.
    tavomi::loadToolTranslation();
    const auto parsed = tavomi::parseReportCommand(arguments, today);
    if (const auto* error = std::get_if<QString>(&parsed)) {
        tavomi::printToolLine(stderr, tavomi::kReportTool, *error);
        tavomi::print(stderr, tavomi::reportUsage());
        return 2;
    }
    const auto& command = std::get<tavomi::ReportCommand>(parsed);

    const auto folder =
        tavomi::appFolderFor(command.dataFolder, QCoreApplication::applicationDirPath());
    if (const auto* error = std::get_if<QString>(&folder)) {
        tavomi::printToolLine(stderr, tavomi::kReportTool, *error);
        return 2;
    }
    return tavomi::runReportCommand(command, std::get<std::filesystem::path>(folder),
                                    tavomi::systemClock(), stdout, stderr);
}
