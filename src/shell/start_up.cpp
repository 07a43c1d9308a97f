#include "shell/start_up.h"

#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/share_mount.h"
#include "files/working_hours.h"
#include "spool/record_spool.h"

#include <QFile>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <exception>
#include <optional>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

const QString kInconsistentFolder =
    u"フォルダー \\attendane_manegement内のファイルが不整合です。\r\n\r\n"
    u"フォルダー内のファイル群の名前などを確かめてください"_s;
const QString kNoHoursToday =
    u"今日の勤務時間が確認できません。\r\n\r\n"
    u"「設定・その他」 から今日の勤務時間の設定を行ってください"_s;

// Something that is not a lock file stands where the lock file goes: no punch can succeed.
QString lockInTheWayMessage(const std::filesystem::path& lockFile) {
    return u"ロック用のファイル "_s + QFile::decodeName(lockFile.c_str()) +
           u" を削除できません。このままでは時間を書き込むことができません。"
           u"\r\n\r\nフォルダー内のファイル群の名前などを確かめてください"_s;
}

// The data folder is on a share whose locks stay on this PC: two PCs may then append
// at once and overwrite each other's records.
QString riskyMountMessage(const RiskyMount& mount) {
    if (mount.missing) {
        return u"データフォルダーのある %1 は %2 のオプション %3 なしでマウントされています。"_s
                   .arg(QString::fromStdString(mount.mountPoint),
                        QString::fromStdString(mount.fileSystem),
                        QString::fromStdString(mount.option)) +
               u"このままでは、ファイルサーバーの再起動やネットワークの切断のあと記録が"
               u"止まったままになり、このPCの記録は Tavomi を起動し直すまで送られないことが"
               u"あります。\r\n\r\nマウントのオプションに %1 を加えてください（README の"
               u"「The data folder on a file server」を参照）"_s.arg(
                   QString::fromStdString(mount.option));
    }
    return u"データフォルダーのある %1 は %2 のオプション %3 でマウントされています。"_s.arg(
               QString::fromStdString(mount.mountPoint), QString::fromStdString(mount.fileSystem),
               QString::fromStdString(mount.option)) +
           u"このオプションではファイルのロックがこのPCの中だけで働くため、"
           u"ほかのPCと同時に記録すると記録が失われることがあります。\r\n\r\n"
           u"マウントのオプションから %1 を外してください（README の「The data folder on a file "
           u"server」を参照）"_s.arg(QString::fromStdString(mount.option));
}

// Another PC appending to working_hours.txt holds it for a moment: its lock is waited
// out for a short while before the start-up reports the file in use.
constexpr int kBusyRetries = 10;
constexpr std::chrono::milliseconds kBusyPause{200};

DerivationOutcome deriveWaitingOutAppends(const std::filesystem::path& appFolder,
                                          const QDate& today, const Wait& wait) {
    for (int attempt = 1;; ++attempt) {
        try {
            return deriveWorkingHours(appFolder, today);
        } catch (const FileError& e) {
            const bool inUse = e.errorNumber() == EWOULDBLOCK || e.errorNumber() == EACCES;
            if (!inUse || attempt == kBusyRetries) {
                throw;
            }
        }
        wait(kBusyPause);
    }
}

// The account may not write where the punches go (not yet in the folder's group, or
// not logged in again since): told at start, to the administrator, not at a punch.
std::optional<QString> notWritableMessage(const std::filesystem::path& dataFolder) {
    const auto journal = dataFolder / kJournalFile;
    const char* notWritable = nullptr;
    if (::faccessat(AT_FDCWD, dataFolder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        notWritable = dataFolder.c_str();
    } else if (::faccessat(AT_FDCWD, journal.c_str(), W_OK, AT_EACCESS) != 0) {
        notWritable = journal.c_str();
    }
    if (notWritable == nullptr) {
        return std::nullopt;
    }
    const passwd* account = ::getpwuid(::geteuid());
    const QString accountName = account != nullptr ? QString::fromLocal8Bit(account->pw_name)
                                                   : QString::number(::geteuid());
    struct stat st {};
    const group* owner = ::stat(dataFolder.c_str(), &st) == 0 ? ::getgrgid(st.st_gid) : nullptr;
    const QString groupName =
        owner != nullptr ? QString::fromLocal8Bit(owner->gr_name) : u"tavomi"_s;
    return u"このアカウント（%1）は %2 に書き込めないため、時間を記録できません。\r\n\r\n"
           u"管理者の方へ：アカウント %1 をグループ %3 に加え（sudo adduser %1 %3）、"
           u"ログインし直してから Tavomi を起動してください"_s.arg(
               accountName, QFile::decodeName(notWritable), groupName);
}

}  // namespace

std::vector<StartUpMessage> workingHoursMessages(std::optional<DerivationOutcome> outcome,
                                                 std::exception_ptr error) {
    if (error) {
        try {
            std::rethrow_exception(error);
        } catch (const FileError& e) {
            return {{StartUpMessage::Kind::Error, e.japaneseText()}};
        } catch (const std::exception& e) {
            return {{StartUpMessage::Kind::Error, QString::fromLocal8Bit(e.what())}};
        }
    }
    if (outcome == DerivationOutcome::NoWorkingHours) {
        return {{StartUpMessage::Kind::Plain, kNoHoursToday}};
    }
    return {};
}

StartUpOutcome prepareStart(const std::filesystem::path& appFolder, const QDate& today,
                            const Wait& wait) {
    StartUpOutcome outcome;
    auto say = [&](StartUpMessage::Kind kind, const QString& text) {
        outcome.messages.push_back({kind, text});
    };
    if (!missingDataFiles(appFolder).empty()) {
        outcome.dataFolderComplete = false;
        say(StartUpMessage::Kind::Plain, kInconsistentFolder);
        return outcome;
    }
    if (const auto message = notWritableMessage(appFolder / kDataFolderName)) {
        say(StartUpMessage::Kind::Plain, *message);
    }
    if (const auto mount = riskyMountOf(appFolder / kDataFolderName)) {
        say(StartUpMessage::Kind::Plain, riskyMountMessage(*mount));
    }
    std::optional<DerivationOutcome> hours;
    std::exception_ptr hoursError;
    try {
        hours = deriveWaitingOutAppends(appFolder, today, wait);
    } catch (const std::exception&) {
        hoursError = std::current_exception();
    }
    for (StartUpMessage& message : workingHoursMessages(hours, hoursError)) {
        outcome.messages.push_back(std::move(message));
    }
    if (hoursError) {
        return outcome;
    }
    // A lock file is left to the writer's running rule, whoever left it.
    const LeftoverLockCheck lock = clearLeftoverJournalLock(appFolder);
    if (lock.needsMessage()) {
        say(StartUpMessage::Kind::Plain, lockInTheWayMessage(lock.lockFile));
    }
    return outcome;
}

StartPlan planStart(const std::filesystem::path& appFolder,
                    const std::filesystem::path& spoolFolder, std::chrono::milliseconds probeWait) {
    const DataFolderProbe probe = probeDataFolder(appFolder, probeWait);
    if (probe.state == DataFolderProbe::State::Answers) {
        return {};
    }
    StartPlan plan;
    plan.why = probe.why;
    plan.copy = readLocalCopy(spoolFolder);
    const bool away = probe.state == DataFolderProbe::State::Unreachable;
    if (plan.copy &&
        (away || plan.copy->identity.folder == (appFolder / kDataFolderName).string())) {
        plan.place = StartPlan::Place::LocalCopy;
    } else if (away) {
        plan.place = StartPlan::Place::WaitForShare;
    } else {
        plan.copy.reset();  // a folder set up wrong: the usual check says what is missing
    }
    return plan;
}

std::optional<StartUpMessage> holdRecordsOfAnotherFolder(const std::filesystem::path& appFolder,
                                                         const std::filesystem::path& spoolFolder,
                                                         const QDateTime& now) {
    const std::optional<LocalCopy> copy = readLocalCopy(spoolFolder);
    if (!copy || copy->identity == dataFolderIdentity(appFolder)) {
        return std::nullopt;
    }
    RecordSpool spool(spoolFolder);
    std::size_t waiting = 0;
    try {
        waiting = spool.load().records.size();
    } catch (const FileError&) {
        return std::nullopt;  // the writer reports a spool it cannot read
    }
    if (waiting == 0) {
        return std::nullopt;
    }
    const std::filesystem::path held =
        spoolFolder / ("spool-held-" + now.toString(u"yyyyMMdd-HHmmss"_s).toStdString() + ".txt");
    if (::rename(spool.file().c_str(), held.c_str()) != 0) {
        return StartUpMessage{StartUpMessage::Kind::Error,
                              FileError(spool.file(), "cannot write", errno).japaneseText()};
    }
    const QString from = QString::fromStdString(
        copy->identity.mountedFrom.empty() ? copy->identity.folder : copy->identity.mountedFrom);
    return StartUpMessage{
        StartUpMessage::Kind::Plain,
        u"このPCに保存されていた記録 %1 件は、別のデータフォルダー（%2）のためのものなので"
        u"送りませんでした。\r\n\r\n%3 に残してあります"_s.arg(waiting)
            .arg(from, QFile::decodeName(held.c_str()))};
}

}  // namespace tavomi
