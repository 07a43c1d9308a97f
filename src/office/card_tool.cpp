#include "office/card_tool.h"

#include "files/cardholder_list.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "office/card_registration.h"
#include "office/tool_output.h"

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

int refuse(std::FILE* err, const QString& why) {
    printToolLine(err, kCardTool, QStringLiteral("not registered: ") + why);
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
        print(err, readersSeen ? QStringLiteral("Lay the card on a reader.\n")
                               : QStringLiteral("No card reader found (is pcscd running and a "
                                                "reader plugged in?); waiting.\n"));
    };
    const auto answered = waitBounded(poller, wait);
    if (!answered) {
        printToolLine(err, kCardTool,
                      QStringLiteral("no card within %1 s: the smart-card service does not "
                                     "answer (is pcscd hung?)")
                          .arg(command.timeoutSeconds));
        return std::nullopt;
    }
    const auto& card = *answered;
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
