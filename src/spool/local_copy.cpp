#include "spool/local_copy.h"

#include "files/data_file_io.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/share_mount.h"

#include <QByteArray>
#include <QList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>

namespace tavomi {

namespace {

constexpr const char* kIdentityFile = "identity.txt";
constexpr mode_t kGroupReadable = 0640;
constexpr std::array<std::string_view, 2> kCopiedFiles = {kCardholderListFile, kWeeklyTableFile};

std::filesystem::path copyFolder(const std::filesystem::path& spoolFolder) {
    return spoolFolder / kLocalCopyFolder;
}

// FNV-1a: enough to tell a copy that a crash left half-written from a whole one.
std::uint64_t checksum(const QByteArray& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
    }
    return hash;
}

QByteArray fileBytes(const std::filesystem::path& file) {
    const UniqueFd fd = openDataFileForReading(file, "cannot open");
    return readToEnd(fd.get(), file);
}

void makeFolder(const std::filesystem::path& folder) {
    if (::mkdir(folder.c_str(), 0770) != 0 && errno != EEXIST) {
        throw FileError(folder, "cannot create", errno);
    }
}

QByteArray fileLine(std::string_view name, const QByteArray& bytes) {
    return QByteArray(name.data(), static_cast<qsizetype>(name.size())) + '=' +
           QByteArray::number(bytes.size()) + ' ' + QByteArray::number(checksum(bytes), 16) + '\n';
}

}  // namespace

DataFolderIdentity dataFolderIdentity(const std::filesystem::path& appFolder) {
    const std::filesystem::path dataFolder = appFolder / kDataFolderName;
    const auto mount = mountSourceOf(dataFolder);
    const bool network = mount && isNetworkFileSystem(mount->fileSystem);
    return {dataFolder.string(), network ? mount->source : std::string()};
}

void keepLocalCopy(const std::filesystem::path& appFolder, const std::filesystem::path& spoolFolder,
                   const QDateTime& now) {
    const std::filesystem::path folder = copyFolder(spoolFolder);
    makeFolder(spoolFolder);
    makeFolder(folder);
    makeFolder(folder / kDataFolderName);
    QByteArray identity = "taken=" + now.toString(Qt::ISODate).toLatin1() + '\n';
    const DataFolderIdentity folderNow = dataFolderIdentity(appFolder);
    identity += "folder=" + QByteArray::fromStdString(folderNow.folder) + '\n';
    identity += "from=" + QByteArray::fromStdString(folderNow.mountedFrom) + '\n';
    // Both read before either is replaced: a file that cannot be read leaves the copy before.
    std::array<QByteArray, kCopiedFiles.size()> bytes;
    for (std::size_t i = 0; i < kCopiedFiles.size(); ++i) {
        bytes[i] = fileBytes(dataFilePath(appFolder, kCopiedFiles[i]));
    }
    for (std::size_t i = 0; i < kCopiedFiles.size(); ++i) {
        replaceFileWhole(folder / kDataFolderName / kCopiedFiles[i], bytes[i], kGroupReadable);
        identity += fileLine(kCopiedFiles[i], bytes[i]);
    }
    // Last: a copy is whole only when its files are what this says.
    replaceFileWhole(folder / kIdentityFile, identity, kGroupReadable);
}

std::optional<LocalCopy> readLocalCopy(const std::filesystem::path& spoolFolder) {
    const std::filesystem::path folder = copyFolder(spoolFolder);
    try {
        LocalCopy copy;
        copy.appFolder = folder;
        int filesChecked = 0;
        for (const QByteArray& line : fileBytes(folder / kIdentityFile).split('\n')) {
            const qsizetype equals = line.indexOf('=');
            if (equals < 0) {
                continue;
            }
            const QByteArray key = line.left(equals);
            const QByteArray value = line.mid(equals + 1);
            if (key == "taken") {
                copy.takenAt = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODate);
            } else if (key == "folder") {
                copy.identity.folder = value.toStdString();
            } else if (key == "from") {
                copy.identity.mountedFrom = value.toStdString();
            } else {
                const std::string name = key.toStdString();
                const QByteArray bytes = fileBytes(folder / kDataFolderName / name);
                if (fileLine(name, bytes) != line + '\n') {
                    return std::nullopt;
                }
                ++filesChecked;
            }
        }
        if (!copy.takenAt.isValid() || filesChecked != static_cast<int>(kCopiedFiles.size())) {
            return std::nullopt;
        }
        return copy;
    } catch (const FileError&) {
        return std::nullopt;
    }
}

}  // namespace tavomi
