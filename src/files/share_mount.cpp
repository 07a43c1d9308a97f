#include "files/share_mount.h"

#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace tavomi {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (true) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(at + 1);
    }
}

// mountinfo writes a space in a path as \040 (and tab, newline, backslash likewise).
std::string unescaped(std::string_view field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                text += static_cast<char>(std::stoi(std::string(digits), nullptr, 8));
                i += 3;
                continue;
            }
        }
        text += field[i];
    }
    return text;
}

bool holds(const std::filesystem::path& mountPoint, const std::filesystem::path& folder) {
    auto m = mountPoint.begin();
    auto f = folder.begin();
    for (; m != mountPoint.end(); ++m, ++f) {
        if (m->empty()) {
            continue;  // the trailing empty part of "/"
        }
        if (f == folder.end() || *m != *f) {
            return false;
        }
    }
    return true;
}

struct FoundOption {
    std::string option;
    bool missing = false;
};

std::optional<FoundOption> riskyOption(std::string_view fileSystem, std::string_view options) {
    const bool cifs = fileSystem == "cifs" || fileSystem == "smb3";
    bool leasesOff = false;
    for (std::string_view option : split(options, ',')) {
        leasesOff = leasesOff || option == "nolease";
        if (cifs) {
            if (option == "nobrl") {
                return FoundOption{std::string(option)};
            }
        } else if (fileSystem == "nfs" || fileSystem == "nfs4") {
            if (option == "nolock" ||
                (option.starts_with("local_lock=") && option != "local_lock=none")) {
                return FoundOption{std::string(option)};
            }
        }
    }
    if (cifs && !leasesOff) {
        return FoundOption{"nolease", true};
    }
    return std::nullopt;
}

// One line of mountinfo: its mount point, file system, source and options.
struct MountLine {
    std::string mountPoint;
    std::string_view fileSystem;
    std::string_view source;
    std::string options;  // the mount's and the super block's
};

std::optional<MountLine> readMountLine(std::string_view line) {
    const auto fields = split(line, ' ');
    std::size_t dash = 0;
    while (dash < fields.size() && fields[dash] != "-") {
        ++dash;
    }
    if (fields.size() < 6 || dash + 1 >= fields.size()) {
        return std::nullopt;
    }
    const std::string_view superOptions = dash + 3 < fields.size() ? fields[dash + 3] : "";
    return MountLine{unescaped(fields[4]), fields[dash + 1],
                     dash + 2 < fields.size() ? fields[dash + 2] : std::string_view(),
                     std::string(fields[5]) + ',' + std::string(superOptions)};
}

// The innermost mount that holds the folder.
std::optional<MountLine> mountHolding(std::string_view mountinfo,
                                      const std::filesystem::path& folder) {
    std::optional<MountLine> found;
    for (std::string_view text : split(mountinfo, '\n')) {
        auto line = readMountLine(text);
        if (line && holds(line->mountPoint, folder) &&
            (!found || line->mountPoint.size() >= found->mountPoint.size())) {
            found = std::move(line);
        }
    }
    return found;
}

std::string ownMountinfo() {
    std::ifstream file("/proc/self/mountinfo");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::filesystem::path resolved(const std::filesystem::path& folder) {
    std::error_code ec;
    const auto canonical = std::filesystem::canonical(folder, ec);
    return ec ? folder : canonical;
}

// As far as the folder exists, with its links resolved; the rest as given.
std::filesystem::path resolvedAsFarAsItExists(const std::filesystem::path& folder) {
    std::error_code ec;
    const auto resolved = std::filesystem::weakly_canonical(folder, ec);
    return ec ? folder : resolved;
}

std::string fileText(const char* path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The mount points of an fstab text, as written (escapes undone).
std::vector<std::string> fstabMountPoints(std::string_view fstab) {
    std::vector<std::string> points;
    for (std::string_view line : split(fstab, '\n')) {
        std::istringstream fields{std::string(line)};
        std::string source;
        std::string mountPoint;
        if (!(fields >> source >> mountPoint) || source.starts_with('#') ||
            !mountPoint.starts_with('/')) {
            continue;  // a comment, a blank line, swap ("none")
        }
        points.push_back(unescaped(mountPoint));
    }
    return points;
}

}  // namespace

std::optional<RiskyMount> riskyMountIn(std::string_view mountinfo,
                                       const std::filesystem::path& folder) {
    const auto mount = mountHolding(mountinfo, folder);
    if (!mount) {
        return std::nullopt;
    }
    const auto option = riskyOption(mount->fileSystem, mount->options);
    if (!option) {
        return std::nullopt;
    }
    return RiskyMount{std::string(mount->fileSystem), option->option, mount->mountPoint,
                      option->missing};
}

std::optional<MountSource> mountSourceIn(std::string_view mountinfo,
                                         const std::filesystem::path& folder) {
    const auto mount = mountHolding(mountinfo, folder);
    if (!mount) {
        return std::nullopt;
    }
    return MountSource{unescaped(mount->source), std::string(mount->fileSystem), mount->mountPoint};
}

std::optional<MountSource> mountSourceOf(const std::filesystem::path& folder) {
    return mountSourceIn(ownMountinfo(), resolved(folder));
}

bool isNetworkFileSystem(std::string_view fileSystem) {
    return fileSystem == "cifs" || fileSystem == "smb3" || fileSystem == "nfs" ||
           fileSystem == "nfs4";
}

std::optional<std::string> unmountedMountPointIn(std::string_view fstab, std::string_view mountinfo,
                                                 const std::filesystem::path& folder) {
    std::optional<std::string> innermost;
    for (std::string& point : fstabMountPoints(fstab)) {
        if (point != "/" && holds(point, folder) &&
            (!innermost || point.size() > innermost->size())) {
            innermost = std::move(point);
        }
    }
    if (!innermost) {
        return std::nullopt;
    }
    for (std::string_view text : split(mountinfo, '\n')) {
        const auto line = readMountLine(text);
        if (line && std::filesystem::path(line->mountPoint).lexically_normal() ==
                        std::filesystem::path(*innermost).lexically_normal()) {
            return std::nullopt;
        }
    }
    return innermost;
}

std::optional<std::string> unmountedMountPointOf(const std::filesystem::path& folder) {
    return unmountedMountPointIn(fileText("/etc/fstab"), ownMountinfo(),
                                 resolvedAsFarAsItExists(folder));
}

std::optional<RiskyMount> riskyMountOf(const std::filesystem::path& folder) {
    return riskyMountIn(ownMountinfo(), resolved(folder));
}

}  // namespace tavomi
