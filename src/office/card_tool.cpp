#include "office/card_tool.h"

#include "files/cardholder_list.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "office/card_registration.h"
#include "office/tool_output.h"

#include <QString>

namespace tavomi {

namespace {

QString pathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

int refuse(std::FILE* err, const QString& why) {
    printToolLine(err, kCardTool, QStringLiteral("not registered: ") + why);
    return 1;
}

std::optional<CardOnReader> waitForCardTold(const CardCommand& command, CardPoller& poller,
                                            CardWait wait, std::FILE* err) {
    wait.timeout = std::chrono::seconds(command.timeoutSeconds);
    wait.onReadersChanged = [err](bool readersSeen) {
        print(err, readersSeen ? QStringLiteral("Lay the card on a reader.\n")
                               : QStringLiteral("No card reader found (is pcscd running and a "
                                                "reader plugged in?); waiting.\n"));
    };
    const auto card = waitForCard(poller, wait);
    if (!card) {
        printToolLine(err, kCardTool,
                      QStringLiteral("no card within %1 s").arg(command.timeoutSeconds));
    }
    return card;
}

int readCard(const CardCommand& command, const std::filesystem::path& appFolder, CardPoller& poller,
             const CardWait& wait, std::FILE* out, std::FILE* err) {
    const auto card = waitForCardTold(command, poller, wait, err);
    if (!card) {
        return 1;
    }
    print(out,
          QStringLiteral("reader: %1\nIDm: %2\n")
              .arg(QString::fromStdString(card->reader),
                   card->cardId.isEmpty() ? QStringLiteral("(the card gave none)") : card->cardId));
    CardholderTable table;
    try {
        table.load(appFolder);
    } catch (const FileError& e) {
        print(out, QStringLiteral("holder: unknown\n"));
        printToolLine(err, kCardTool, QString::fromLocal8Bit(e.what()));
        return 1;
    }
    const auto holder = table.lookup(card->cardId);
    print(out, QStringLiteral("holder: %1\n")
                   .arg(holder ? withControlPictures(*holder) : QStringLiteral("not registered")));
    return 0;
}

// The refusals that need no card come first, so nobody lays a card in vain.
std::optional<QString> refusalBeforeCard(const CardCommand& command,
                                         const std::filesystem::path& list) {
    if (const auto why = nameRefusal(command.name)) {
        return why;
    }
    for (qsizetype i = 0; i < command.particulars.size(); ++i) {
        if (const auto why = fieldRefusal(command.particulars[i])) {
            return QStringLiteral("particular %1 %2").arg(i + 1).arg(*why);
        }
    }
    if (!regularFileExists(list)) {
        return QStringLiteral("there is no cardholder list %1").arg(pathText(list));
    }
    return std::nullopt;
}

int registerLaidCard(const CardCommand& command, const std::filesystem::path& appFolder,
                     CardPoller& poller, const CardWait& wait, std::FILE* out, std::FILE* err) {
    const auto list = dataFilePath(appFolder, kCardholderListFile);
    if (const auto why = refusalBeforeCard(command, list)) {
        return refuse(err, *why);
    }
    const auto card = waitForCardTold(command, poller, wait, err);
    if (!card) {
        return 1;
    }
    if (card->cardId.isEmpty()) {
        return refuse(err, QStringLiteral("the card on %1 gave no identifier")
                               .arg(QString::fromStdString(card->reader)));
    }
    RegisterResult result;
    try {
        result = registerCard(appFolder, card->cardId, command.name, command.particulars,
                              command.reassign);
    } catch (const FileError& e) {
        return refuse(err, QString::fromLocal8Bit(e.what()));
    }
    switch (result.status) {
        case RegisterStatus::Registered:
            print(out, QStringLiteral("registered %1 to %2%3\n")
                           .arg(card->cardId, withControlPictures(command.name),
                                result.formerHolder.isNull()
                                    ? QString()
                                    : QStringLiteral(" (it was %1's)")
                                          .arg(withControlPictures(result.formerHolder))));
            return 0;
        case RegisterStatus::AlreadyRegistered:
            return refuse(err, QStringLiteral("the card %1 is already registered to %2 "
                                              "(--reassign gives it to %3)")
                                   .arg(card->cardId, withControlPictures(result.formerHolder),
                                        withControlPictures(command.name)));
        case RegisterStatus::ListMissing:
            return refuse(err,
                          QStringLiteral("there is no cardholder list %1").arg(pathText(list)));
        case RegisterStatus::Busy:
            return refuse(err, QStringLiteral("%1 exists: another program is writing, or one "
                                              "stopped while writing (the time clock removes it "
                                              "when it starts); try again")
                                   .arg(pathText(dataFilePath(appFolder, kLockFile))));
    }
    return 1;
}

}  // namespace

int runCardCommand(const CardCommand& command, const std::filesystem::path& appFolder,
                   CardPoller& poller, CardWait wait, std::FILE* out, std::FILE* err) {
    switch (command.action) {
        case CardCommand::Action::Read:
            return readCard(command, appFolder, poller, wait, out, err);
        case CardCommand::Action::Register:
            return registerLaidCard(command, appFolder, poller, wait, out, err);
        case CardCommand::Action::Help:
            print(out, QString::fromLatin1(kCardUsage));
            return 0;
    }
    return 1;
}

}  // namespace tavomi
