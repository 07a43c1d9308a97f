// tavomi-report: the office's reports from the punch journal: who is in today, and a
// month's time sheets on the terminal, as CSV or as a PDF to sign.
//
// Built twice. tavomi-report links Qt Core alone, which halves its start-up (Qt Gui brings
// some twenty more libraries to load); for a PDF it hands its arguments to
// tavomi-report-pdf beside it, the same program with Qt Gui for the fonts.
#include "clock/clock.h"
#include "office/command_line.h"
#include "office/data_location.h"
#include "office/report_tool.h"
#include "office/tool_output.h"

#include <QCoreApplication>

#if defined(TAVOMI_REPORT_DRAWS_PDF)
#include "report/report_pdf.h"

#include <QGuiApplication>
#else
#include <QFile>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

#if defined(TAVOMI_REPORT_DRAWS_PDF)

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    // It draws offscreen, so the report runs on a server without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return std::make_unique<QGuiApplication>(argc, argv);
}

tavomi::MonthPdfWriter pdfWriter() {
    return [](const tavomi::PeriodReport& report, const QString& file, int* pages) {
        return tavomi::writeMonthPdf(report, file, pages);
    };
}

#else

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    return std::make_unique<QCoreApplication>(argc, argv);
}

tavomi::MonthPdfWriter pdfWriter() {
    return {};
}

// Replaces this process with tavomi-report-pdf, found beside the program itself (not
// beside a link to it), where the data folder is looked for too; returns only when that
// fails.
int handOverToPdfProgram(char** argv) {
    const QByteArray helper = QFile::encodeName(QCoreApplication::applicationDirPath() +
                                                QStringLiteral("/tavomi-report-pdf"));
    ::execv(helper.constData(), argv);
    const int error = errno;
    tavomi::printToolLine(
        stderr, tavomi::kReportTool,
        QCoreApplication::translate("tavomi-report", "cannot start %1: %2")
            .arg(QFile::decodeName(helper), QString::fromLocal8Bit(std::strerror(error))));
    return 1;
}

#endif

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) then fails a write, which is undone, instead of killing
    // the tool half-way.
    std::signal(SIGXFSZ, SIG_IGN);
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const QDate today = tavomi::systemClock()().date();
    const auto app = makeApplication(argc, argv);
    // The translation needs the application, and so the arguments are read after it: a
    // usage error is then worded in the user's language.
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
#if !defined(TAVOMI_REPORT_DRAWS_PDF)
    if (!command.pdfFile.isEmpty()) {
        return handOverToPdfProgram(argv);
    }
#endif
    return tavomi::runReportCommand(command, std::get<std::filesystem::path>(folder),
                                    tavomi::systemClock(), stdout, stderr, pdfWriter());
}
