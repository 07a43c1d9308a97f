#pragma once

#include <sys/types.h>
#include <time.h>

#include <filesystem>

namespace tavomi {

// What tells one version of a file from the next without reading it: existence, size,
// inode (a file replaced by another) and modification time, which a share reports for
// another PC's writes too.
struct FileStamp {
    bool exists = false;
    off_t size = 0;
    ino_t inode = 0;
    timespec modified{};

    bool operator==(const FileStamp& other) const;
};

// The file's stamp now; a file that cannot be looked at reads as missing.
FileStamp fileStampOf(const std::filesystem::path& file);

}  // namespace tavomi
