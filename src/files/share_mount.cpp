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

}  // namespace

std::optional<RiskyMount> riskyMountIn(std::string_view mountinfo,
                                       const std::filesystem::path& folder) {
    std::optional<RiskyMount> found;
    std::size_t longest = 0;
    for (std::string_view line : split(mountinfo, '\n')) {
        const auto fields = split(line, ' ');
        std::size_t dash = 0;
        while (dash < fields.size() && fields[dash] != "-") {
            ++dash;
        }
        if (fields.size() < 6 || dash + 1 >= fields.size()) {
            continue;
        }
        const std::string mountPoint = unescaped(fields[4]);
        if (!holds(mountPoint, folder) || mountPoint.size() < longest) {
            continue;
        }
        longest = mountPoint.size();
        const std::string_view fileSystem = fields[dash + 1];
        const std::string_view superOptions = dash + 3 < fields.size() ? fields[dash + 3] : "";
        const std::string options = std::string(fields[5]) + ',' + std::string(superOptions);
        const auto option = riskyOption(fileSystem, options);
        found = option ? std::optional<RiskyMount>(RiskyMount{
                             std::string(fileSystem), option->option, mountPoint, option->missing})
                       : std::nullopt;
    }
    return found;
}

std::optional<RiskyMount> riskyMountOf(const std::filesystem::path& folder) {
    std::ifstream file("/proc/self/mountinfo");
    if (!file) {
        return std::nullopt;
    }
    std::stringstream text;
    text << file.rdbuf();
    std::error_code ec;
    const auto resolved = std::filesystem::canonical(folder, ec);
    return riskyMountIn(text.str(), ec ? folder : resolved);
}

}  // namespace tavomi
