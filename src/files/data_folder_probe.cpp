#include "files/data_folder_probe.h"

#include "files/data_folder.h"
#include "files/share_mount.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace tavomi {

namespace {

DataFolderProbe unreachable(std::string why) {
    return {DataFolderProbe::State::Unreachable, std::move(why)};
}

// The look itself, which may hang on a share that does not answer.
DataFolderProbe lookAt(const std::filesystem::path& appFolder) {
    const std::filesystem::path folder = appFolder / kDataFolderName;
    if (const auto mountPoint = unmountedMountPointOf(folder)) {
        return unreachable(*mountPoint + " is not mounted");
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        const int error = errno;
        if (isUnreachableError(error)) {
            return unreachable(folder.string() + ": " + std::strerror(error));
        }
        if (const auto mount = mountSourceOf(folder.parent_path());
            error == ENOENT && mount && isNetworkFileSystem(mount->fileSystem)) {
            return unreachable(folder.string() + " is not on " + mount->source);
        }
        return {DataFolderProbe::State::Missing, folder.string() + ": " + std::strerror(error)};
    }
    if (!S_ISDIR(st.st_mode)) {
        return {DataFolderProbe::State::Missing, folder.string() + " is no folder"};
    }
    if (missingDataFiles(appFolder).size() == kRequiredFiles.size()) {
        const std::filesystem::path journal = folder / kJournalFile;
        if (::stat(journal.c_str(), &st) != 0 && isUnreachableError(errno)) {
            return unreachable(journal.string() + ": " + std::strerror(errno));
        }
        return {DataFolderProbe::State::Missing, folder.string() + " holds none of its files"};
    }
    return {};
}

}  // namespace

bool isUnreachableError(int errnum) {
    static constexpr std::array kErrors = {EIO,    ETIMEDOUT,   EHOSTDOWN,   ENOTCONN,
                                           ESTALE, ENETUNREACH, EHOSTUNREACH};
    return std::find(kErrors.begin(), kErrors.end(), errnum) != kErrors.end();
}

DataFolderProbe probeDataFolder(const std::filesystem::path& appFolder,
                                std::chrono::milliseconds wait) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<DataFolderProbe> probe;
    };
    // A look that hangs on a hard mount stays in the kernel until the server answers: while
    // one does, the share is away, and no further thread is left hanging beside it.
    static std::atomic<int> looksHanging{0};
    if (looksHanging.load() > 0) {
        return unreachable((appFolder / kDataFolderName).string() +
                           ": an earlier look still waits for an answer");
    }
    const auto shared = std::make_shared<Shared>();
    ++looksHanging;
    std::thread([shared, appFolder] {
        DataFolderProbe probe = lookAt(appFolder);
        --looksHanging;
        const std::lock_guard guard(shared->mutex);
        shared->probe = std::move(probe);
        shared->done.notify_all();
    }).detach();
    std::unique_lock guard(shared->mutex);
    if (!shared->done.wait_for(guard, wait, [&] { return shared->probe.has_value(); })) {
        return unreachable((appFolder / kDataFolderName).string() + ": no answer within " +
                           std::to_string(wait.count()) + " ms");
    }
    return *shared->probe;
}

}  // namespace tavomi
