#pragma once

#include <QString>

#include <filesystem>
#include <variant>

namespace tavomi {

// The program folder the files library forms data file paths from (folder +
// attendance_manegement + file), as the tools find it.
//  - without --data: the folder of the running program, the time clock's own rule;
//  - with --data DIR: DIR is the data folder itself, so it must carry the data folder's
//    name, and its parent is the program folder.
// Returns the program folder, or a one-line reason why DIR cannot be used.
std::variant<std::filesystem::path, QString> appFolderFor(const QString& dataOption,
                                                          const QString& applicationDir);

}  // namespace tavomi
