#include "files/file_stamp.h"

#include <sys/stat.h>

namespace tavomi {

bool FileStamp::operator==(const FileStamp& other) const {
    return exists == other.exists && size == other.size && inode == other.inode &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

FileStamp fileStampOf(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        return {};
    }
    return {true, st.st_size, st.st_ino, st.st_mtim};
}

}  // namespace tavomi
