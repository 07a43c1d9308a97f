// tavomi-office: the office's window on the data folder: who is in, a month's sheets as
// CSV or PDF, and registering a card by laying it on the reader.
#include "card/card_poll.h"
#include "clock/clock.h"
#include "dialogs/qt_translation.h"
#include "office/command_line.h"
#include "office/data_location.h"
#include "office/tool_output.h"
#include "office_window/office_window.h"

#include <QApplication>
#include <QStringList>
#include <QThreadPool>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) then fails a write instead of killing the window.
    std::signal(SIGXFSZ, SIG_IGN);
    // The options first: --help and a usage error need no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const auto parsed = tavomi::parseOfficeCommand(arguments);
    if (const auto* error = std::get_if<QString>(&parsed)) {
        tavomi::printToolLine(stderr, tavomi::kOfficeTool, *error);
        tavomi::print(stderr, QString::fromLatin1(tavomi::kOfficeUsage));
        return 2;
    }
    const auto& command = std::get<tavomi::OfficeCommand>(parsed);
    if (command.help) {
        tavomi::print(stdout, QString::fromLatin1(tavomi::kOfficeUsage));
        return 0;
    }
    QApplication app(argc, argv);
    tavomi::loadQtTranslation();
    const auto folder =
        tavomi::appFolderFor(command.dataFolder, QApplication::applicationDirPath());
    if (const auto* error = std::get_if<QString>(&folder)) {
        tavomi::printToolLine(stderr, tavomi::kOfficeTool, *error);
        return 2;
    }
    tavomi::PcscCardPoller poller;
    tavomi::OfficeWindow window(std::get<std::filesystem::path>(folder), tavomi::systemClock(),
                                poller);
    window.show();
    const int code = app.exec();
    // A card poll still running on the pool uses the poller: it ends before the poller does.
    QThreadPool::globalInstance()->waitForDone();
    return code;
}
