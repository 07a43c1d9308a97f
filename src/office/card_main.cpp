// tavomi-card: the office's card tool. Reads a teacher's card and registers it in the
// cardholder list, with the time clock's own card poll and appending rules.
#include "card/card_poll.h"
#include "office/card_tool.h"
#include "office/command_line.h"
#include "office/data_location.h"
#include "office/tool_output.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) then fails a write, which is undone, instead of killing
    // the tool half-way with the lock file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    tavomi::loadToolTranslation();
    const auto parsed = tavomi::parseCardCommand(QCoreApplication::arguments().mid(1));
    if (const auto* error = std::get_if<QString>(&parsed)) {
        tavomi::printToolLine(stderr, tavomi::kCardTool, *error);
        tavomi::print(stderr, tavomi::cardUsage());
        return 2;
    }
    const auto& command = std::get<tavomi::CardCommand>(parsed);
    const auto folder =
        tavomi::appFolderFor(command.dataFolder, QCoreApplication::applicationDirPath());
    if (const auto* error = std::get_if<QString>(&folder)) {
        tavomi::printToolLine(stderr, tavomi::kCardTool, *error);
        return 2;
    }
    tavomi::PcscCardPoller poller;
    tavomi::CardWait wait;
    // Waiting for a hand with a card: a pause between polls is what is wanted here.
    wait.pause = [](std::chrono::milliseconds interval) { std::this_thread::sleep_for(interval); };
    return tavomi::runCardCommand(command, std::get<std::filesystem::path>(folder), poller, wait,
                                  stdout, stderr);
}
