#include "files/pc_status.h"

#include "files/data_file_io.h"
#include "files/data_folder.h"
#include "files/unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <memory>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

constexpr std::string_view kFirstLine = "tavomi-pc-status ";
constexpr std::string_view kFormat = "1";
constexpr std::string_view kLastLine = "end";
constexpr std::string_view kFileSuffix = ".txt";
// A status file is a few hundred bytes; anything much longer is not one.
constexpr qsizetype kLongest = 4096;

QByteArray timeText(const QDateTime& time) {
    if (!time.isValid()) {
        return {};
    }
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate).toUtf8();
}

// A value on one line: a control character (a line break among them) becomes '?'.
QByteArray valueText(const QString& text) {
    QString value = text;
    for (QChar& c : value) {
        if (c.category() == QChar::Other_Control) {
            c = u'?';
        }
    }
    return value.toUtf8();
}

std::optional<QDateTime> readTime(const QByteArray& value) {
    if (value.isEmpty()) {
        return QDateTime();
    }
    QDateTime time = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODate);
    if (!time.isValid()) {
        return std::nullopt;
    }
    return time;
}

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

QString thisPcName() {
    std::array<char, HOST_NAME_MAX + 1> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return QString::fromLocal8Bit(name.data());
}

std::string pcStatusFileName(const QString& pcName) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = pcName.toUtf8();
    if (bytes.isEmpty()) {
        return "%" + std::string(kFileSuffix);  // no encoded name is a lone '%'
    }
    std::string name;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' ||
                           (byte == '.' && i > 0);
        if (plain) {
            name += static_cast<char>(byte);
        } else {
            name += '%';
            name += kHex[byte >> 4];
            name += kHex[byte & 0x0F];
        }
    }
    return name + std::string(kFileSuffix);
}

QByteArray pcStatusText(const PcStatus& status) {
    QByteArray text;
    text += QByteArray(kFirstLine.data(), kFirstLine.size()) +
            QByteArray(kFormat.data(), kFormat.size()) + '\n';
    text += "pc=" + valueText(status.pcName) + '\n';
    text += "version=" + valueText(status.version) + '\n';
    text += "reached=" + timeText(status.reached) + '\n';
    text += "waiting=" + QByteArray::number(status.waiting) + '\n';
    text += "waiting-since=" + timeText(status.waitingSince) + '\n';
    text += "card-list=" + timeText(status.cardListTakenAt) + '\n';
    text += QByteArray(kLastLine.data(), kLastLine.size()) + '\n';
    return text;
}

PcStatusRead readPcStatusText(const QByteArray& bytes) {
    const QByteArray first(kFirstLine.data(), static_cast<qsizetype>(kFirstLine.size()));
    if (bytes.size() > kLongest) {
        return {std::nullopt, PcStatusProblem::NotAStatusFile};
    }
    // A file cut within its first line may still be ours.
    if (!bytes.startsWith(first) && !first.startsWith(bytes)) {
        return {std::nullopt, PcStatusProblem::NotAStatusFile};
    }
    const PcStatusRead incomplete{std::nullopt, PcStatusProblem::Incomplete};
    if (!bytes.endsWith(QByteArray(kLastLine.data(), kLastLine.size()) + '\n')) {
        return incomplete;
    }
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();  // after the last line break
    if (lines.size() < 2 || lines.back() != QByteArray(kLastLine.data(), kLastLine.size())) {
        return incomplete;
    }
    PcStatus status;
    bool hasName = false;
    bool hasReached = false;
    bool hasWaiting = false;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) {
            return incomplete;
        }
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1);
        if (key == "pc") {
            status.pcName = QString::fromUtf8(value);
            hasName = true;
        } else if (key == "version") {
            status.version = QString::fromUtf8(value);
        } else if (key == "waiting") {
            bool ok = false;
            status.waiting = value.toInt(&ok);
            if (!ok || status.waiting < 0) {
                return incomplete;
            }
            hasWaiting = true;
        } else if (key == "reached" || key == "waiting-since" || key == "card-list") {
            const std::optional<QDateTime> time = readTime(value);
            if (!time) {
                return incomplete;
            }
            if (key == "reached") {
                status.reached = *time;
                hasReached = true;
            } else if (key == "waiting-since") {
                status.waitingSince = *time;
            } else {
                status.cardListTakenAt = *time;
            }
        }
    }
    if (!hasName || !hasReached || !hasWaiting) {
        return incomplete;
    }
    return {status, PcStatusProblem::None};
}

void writePcStatus(const std::filesystem::path& appFolder, const PcStatus& status) {
    const std::filesystem::path journal = dataFilePath(appFolder, kJournalFile);
    if (!regularFileExists(journal)) {
        throw FileError(journal, "cannot open", ENOENT,
                        "the data folder holds no journal (the share is not mounted?)");
    }
    const std::filesystem::path dataFolder = appFolder / kDataFolderName;
    const std::filesystem::path folder = dataFolder / kPcStatusFolder;
    struct stat data {};
    std::optional<gid_t> group;
    if (::stat(dataFolder.c_str(), &data) == 0) {
        group = data.st_gid;
    }
    if (::mkdir(folder.c_str(), 02775) == 0) {
        // Ours: every account of the data folder's group may add its PC's file.
        if (group) {
            [[maybe_unused]] const int ignored =
                ::chown(folder.c_str(), static_cast<uid_t>(-1), *group);
        }
        ::chmod(folder.c_str(), 02775);
    } else if (errno != EEXIST) {
        throw FileError(folder, "cannot create", errno);
    }
    replaceFileWhole(folder / pcStatusFileName(status.pcName), pcStatusText(status), 0664, group);
}

std::vector<PcStatusFile> readPcStatuses(const std::filesystem::path& appFolder) {
    const std::filesystem::path folder = appFolder / kDataFolderName / kPcStatusFolder;
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), &::closedir);
    if (!listing) {
        if (errno == ENOENT) {
            return {};
        }
        throw FileError(folder, "cannot read", errno);
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with('.') && endsWith(name, kFileSuffix)) {
            names.emplace_back(name);
        }
        errno = 0;
    }
    if (errno != 0) {
        throw FileError(folder, "cannot read", errno);
    }
    std::sort(names.begin(), names.end());
    std::vector<PcStatusFile> files;
    for (const std::string& name : names) {
        PcStatusFile file{name, {}, std::nullopt};
        try {
            const UniqueFd fd = openDataFileForReading(folder / name, "cannot open");
            QByteArray bytes(kLongest + 1, '\0');
            const ssize_t got =
                readFully(fd.get(), bytes.data(), static_cast<std::size_t>(bytes.size()));
            if (got < 0) {
                throw FileError(folder / name, "cannot read", errno);
            }
            bytes.truncate(got);
            file.read = readPcStatusText(bytes);
        } catch (const FileError& e) {
            file.read.problem = PcStatusProblem::Unreadable;
            file.error = e;
        }
        files.push_back(std::move(file));
    }
    return files;
}

}  // namespace tavomi
