#include "office/card_tool.h"

#include "files/cardholder_list.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/file_stamp.h"
#include "office/card_registration.h"
#include "office/tool_output.h"

#include <QCoreApplication>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace tavomi {

namespace {

QString pathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

QString noListText(const std::filesystem::path& list) {
    return QCoreApplication::translate("tavomi-card", "there is no cardholder list %1")
        .arg(pathText(list));
}

// The lock file stands: another writer now, or one that stopped while writing.
QString lockInTheWayText(const std::filesystem::path& appFolder) {
    return QCoreApplication::translate("tavomi-card",
                                       "%1 exists: another program is writing, or one stopped "
                                       "while writing (its lock is taken over once it has stood "
                                       "5 minutes); try again")
        .arg(pathText(dataFilePath(appFolder, kLockFile)));
}

int refuse(std::FILE* err, const QString& why) {
    printToolLine(err, kCardTool,
                  QCoreApplication::translate("tavomi-card", "not registered: %1").arg(why));
    return 1;
}

// A frozen smart-card service answers no poll, and the poll cannot be cancelled: the
// wait runs on a thread of its own, and a wait that outlasts its time by kFrozenGrace
// is given up (the thread is left to the process's end; it touches no file).
constexpr std::chrono::seconds kFrozenGrace{3};

std::optional<std::optional<CardOnReader>> waitBounded(CardPoller& poller, const CardWait& wait) {
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<std::optional<CardOnReader>> card;
    };
    auto outcome = std::make_shared<Outcome>();
    std::thread([outcome, &poller, wait] {
        auto card = waitForCard(poller, wait);
        std::lock_guard lock(outcome->mutex);
        outcome->card = std::move(card);
        outcome->done.notify_all();
    }).detach();
    std::unique_lock lock(outcome->mutex);
    outcome->done.wait_for(lock, wait.timeout + kFrozenGrace,
                           [&] { return outcome->card.has_value(); });
    return outcome->card;
}

std::optional<CardOnReader> waitForCardTold(const CardCommand& command, CardPoller& poller,
                                            CardWait wait, std::FILE* err) {
    wait.timeout = std::chrono::seconds(command.timeoutSeconds);
    wait.onReadersChanged = [err](bool readersSeen) {
        print(err, readersSeen
                       ? QCoreApplication::translate("tavomi-card", "Lay the card on a reader.\n")
                       : QCoreApplication::translate("tavomi-card",
                                                     "No card reader found (is pcscd running and "
                                                     "a reader plugged in?); waiting.\n"));
    };
    const auto answered = waitBounded(poller, wait);
    if (!answered) {
        printToolLine(err, kCardTool,
                      QCoreApplication::translate("tavomi-card",
                                                  "no card within %1 s: the smart-card service "
                                                  "does not answer (is pcscd hung?)")
                          .arg(command.timeoutSeconds));
        return std::nullopt;
    }
    const auto& card = *answered;
    if (!card) {
        printToolLine(err, kCardTool,
                      QCoreApplication::translate("tavomi-card", "no card within %1 s")
                          .arg(command.timeoutSeconds));
    }
    return card;
}

int readCard(const CardCommand& command, const std::filesystem::path& appFolder, CardPoller& poller,
             const CardWait& wait, std::FILE* out, std::FILE* err) {
    const auto card = waitForCardTold(command, poller, wait, err);
    if (!card) {
        return 1;
    }
    print(out, QCoreApplication::translate("tavomi-card", "reader: %1\nIDm: %2\n")
                   .arg(QString::fromStdString(card->reader),
                        card->cardId.isEmpty()
                            ? QCoreApplication::translate("tavomi-card", "(the card gave none)")
                            : card->cardId));
    CardholderTable table;
    try {
        table.load(appFolder);
    } catch (const FileError& e) {
        print(out, QCoreApplication::translate("tavomi-card", "holder: unknown\n"));
        printToolLine(err, kCardTool, fileErrorText(e));
        return 1;
    }
    const auto holder = table.lookup(card->cardId);
    print(out, QCoreApplication::translate("tavomi-card", "holder: %1\n")
                   .arg(holder ? withControlPictures(*holder)
                               : QCoreApplication::translate("tavomi-card", "not registered")));
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
            return QCoreApplication::translate("tavomi-card", "particular %1 %2")
                .arg(i + 1)
                .arg(*why);
        }
    }
    if (!regularFileExists(list)) {
        return noListText(list);
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
        return refuse(
            err, QCoreApplication::translate("tavomi-card", "the card on %1 gave no identifier")
                     .arg(QString::fromStdString(card->reader)));
    }
    RegisterResult result;
    try {
        result = registerCard(appFolder, card->cardId, command.name, command.particulars,
                              command.reassign);
    } catch (const FileError& e) {
        return refuse(err, fileErrorText(e));
    }
    switch (result.status) {
        case RegisterStatus::Registered:
            if (result.formerHolder.isNull()) {
                print(out, QCoreApplication::translate("tavomi-card", "registered %1 to %2\n")
                               .arg(card->cardId, withControlPictures(command.name)));
            } else {
                print(out, QCoreApplication::translate("tavomi-card",
                                                       "registered %1 to %2 (it was %3's)\n")
                               .arg(card->cardId, withControlPictures(command.name),
                                    withControlPictures(result.formerHolder)));
            }
            return 0;
        case RegisterStatus::AlreadyRegistered:
            return refuse(err, QCoreApplication::translate("tavomi-card",
                                                           "the card %1 is already registered to "
                                                           "%2 (--reassign gives it to %3)")
                                   .arg(card->cardId, withControlPictures(result.formerHolder),
                                        withControlPictures(command.name)));
        case RegisterStatus::ListMissing:
            return refuse(err, noListText(list));
        case RegisterStatus::Busy:
            return refuse(err, lockInTheWayText(appFolder));
    }
    return 1;
}

bool answeredYes(std::FILE* in) {
    char answer[16] = {};
    if (std::fgets(answer, sizeof answer, in) == nullptr) {
        return false;
    }
    return answer[0] == 'y' || answer[0] == 'Y';
}

int retireListedCard(const CardCommand& command, const std::filesystem::path& appFolder,
                     std::FILE* out, std::FILE* err, std::FILE* in) {
    const auto list = dataFilePath(appFolder, kCardholderListFile);
    if (!regularFileExists(list)) {
        return refuse(err, noListText(list));
    }
    // The office confirms this version of the list: one changed meanwhile is not written.
    const FileStamp seen = fileStampOf(list);
    CardholderTable table;
    try {
        table.load(appFolder);
    } catch (const FileError& e) {
        return refuse(err, fileErrorText(e));
    }
    const auto holder = table.lookup(command.cardId);
    if (!holder) {
        return refuse(err,
                      QCoreApplication::translate("tavomi-card", "the card %1 is not registered")
                          .arg(command.cardId));
    }
    if (!command.confirmed) {
        print(out, QCoreApplication::translate("tavomi-card",
                                               "retire the card %1 of %2? Tavomi will answer it as "
                                               "not registered. [y/N] ")
                       .arg(command.cardId, withControlPictures(*holder)));
        if (!answeredYes(in)) {
            print(out, QCoreApplication::translate("tavomi-card", "nothing changed\n"));
            return 1;
        }
    }
    RetireResult result;
    try {
        result = retireCard(appFolder, command.cardId, seen);
    } catch (const FileError& e) {
        return refuse(err, fileErrorText(e));
    }
    switch (result.status) {
        case RetireStatus::Retired:
            print(out, QCoreApplication::translate("tavomi-card", "retired %1 (it was %2's)\n")
                           .arg(command.cardId, withControlPictures(result.formerHolder)));
            return 0;
        case RetireStatus::NotRegistered:
            return refuse(
                err, QCoreApplication::translate("tavomi-card", "the card %1 is not registered")
                         .arg(command.cardId));
        case RetireStatus::ListChanged:
            return refuse(err,
                          QCoreApplication::translate(
                              "tavomi-card",
                              "%1 changed while you were asked; nothing was written, try again")
                              .arg(pathText(list)));
        case RetireStatus::ListMissing:
            return refuse(err, noListText(list));
        case RetireStatus::Busy:
            return refuse(err, lockInTheWayText(appFolder));
    }
    return 1;
}

}  // namespace

int runCardCommand(const CardCommand& command, const std::filesystem::path& appFolder,
                   CardPoller& poller, CardWait wait, std::FILE* out, std::FILE* err,
                   std::FILE* in) {
    switch (command.action) {
        case CardCommand::Action::Read:
            return readCard(command, appFolder, poller, wait, out, err);
        case CardCommand::Action::Register:
            return registerLaidCard(command, appFolder, poller, wait, out, err);
        case CardCommand::Action::Retire:
            return retireListedCard(command, appFolder, out, err, in);
        case CardCommand::Action::Help:
            print(out, cardUsage());
            return 0;
    }
    return 1;
}

}  // namespace tavomi
