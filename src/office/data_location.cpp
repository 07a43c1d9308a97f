#include "office/data_location.h"

#include "files/data_folder.h"

#include <QCoreApplication>
#include <QFile>

#include <system_error>

namespace tavomi {

std::variant<std::filesystem::path, QString> appFolderFor(const QString& dataOption,
                                                          const QString& applicationDir) {
    if (dataOption.isNull()) {
        return std::filesystem::path(QFile::encodeName(applicationDir).toStdString());
    }
    std::error_code ec;
    std::filesystem::path folder =
        std::filesystem::absolute(QFile::encodeName(dataOption).toStdString(), ec)
            .lexically_normal();
    if (ec || dataOption.isEmpty()) {
        return QCoreApplication::translate("tavomi-tools", "--data needs a folder");
    }
    if (!folder.has_filename()) {
        folder = folder.parent_path();  // "DIR/" names DIR
    }
    if (folder.filename() != kDataFolderName) {
        return QCoreApplication::translate("tavomi-tools",
                                           "--data %1: Tavomi's data folder is named %2; give "
                                           "the path of that folder")
            .arg(dataOption, QLatin1String(kDataFolderName.data(), kDataFolderName.size()));
    }
    return folder.parent_path();
}

}  // namespace tavomi
