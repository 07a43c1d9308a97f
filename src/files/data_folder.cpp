#include "files/data_folder.h"

#include <system_error>

namespace tavomi {

std::filesystem::path dataFilePath(const std::filesystem::path& appFolder,
                                   std::string_view fileName) {
    return appFolder / kDataFolderName / fileName;
}

bool regularFileExists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::vector<std::string_view> missingDataFiles(const std::filesystem::path& appFolder) {
    std::vector<std::string_view> missing;
    for (std::string_view name : kRequiredFiles) {
        if (!regularFileExists(dataFilePath(appFolder, name))) {
            missing.push_back(name);
        }
    }
    return missing;
}

}  // namespace tavomi
