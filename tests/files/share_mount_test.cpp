// Which mounts make the lock protocol unsafe between PCs, read from mountinfo text.
#include "files/share_mount.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tavomi {
namespace {

const std::string kRoot = "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n";

std::string mountLine(const std::string& point, const std::string& options,
                      const std::string& fileSystem, const std::string& superOptions) {
    return "40 22 0:50 / " + point + " " + options + " - " + fileSystem + " //srv/share " +
           superOptions + "\n";
}

TEST(RiskyMount, OnlyOptionsThatKeepLocksOnThisPcCount) {
    const struct {
        const char* what;
        std::string mount;
        std::optional<std::string> option;
    } cases[] = {
        {"a local disk", "", std::nullopt},
        // Locks reach the server, but an open may hang for good after a cut: told too.
        {"cifs with defaults", mountLine("/mnt/data", "rw", "cifs", "rw,vers=3.1.1,cache=strict"),
         "nolease"},
        {"cifs with nolease",
         mountLine("/mnt/data", "rw", "cifs", "rw,vers=3.1.1,cache=strict,nolease"), std::nullopt},
        {"cifs nobrl", mountLine("/mnt/data", "rw", "cifs", "rw,vers=3.1.1,nobrl,cache=strict"),
         "nobrl"},
        {"nfs with defaults", mountLine("/mnt/data", "rw", "nfs", "rw,vers=3,hard,proto=tcp"),
         std::nullopt},
        {"nfs nolock", mountLine("/mnt/data", "rw", "nfs", "rw,vers=3,nolock"), "nolock"},
        {"nfs4 local_lock=all", mountLine("/mnt/data", "rw", "nfs4", "rw,vers=4.2,local_lock=all"),
         "local_lock=all"},
        {"nfs4 local_lock=none", mountLine("/mnt/data", "rw", "nfs4", "rw,local_lock=none"),
         std::nullopt},
        {"a mount elsewhere", mountLine("/mnt/other", "rw", "cifs", "rw,nobrl"), std::nullopt},
        {"a mount point that only starts alike", mountLine("/mnt/dat", "rw", "cifs", "rw,nobrl"),
         std::nullopt},
        {"a space in the mount point", mountLine("/mnt/school\\040data", "rw", "cifs", "rw,nobrl"),
         std::nullopt},
    };
    for (const auto& c : cases) {
        const auto found = riskyMountIn(kRoot + c.mount, "/mnt/data/attendance_manegement");
        EXPECT_EQ(found ? std::optional<std::string>(found->option) : std::nullopt, c.option)
            << c.what;
    }
    const auto spaced =
        riskyMountIn(kRoot + mountLine("/mnt/school\\040data", "rw", "cifs", "rw,nobrl"),
                     "/mnt/school data/attendance_manegement");
    ASSERT_TRUE(spaced.has_value());
    EXPECT_EQ(spaced->mountPoint, "/mnt/school data");
    EXPECT_EQ(spaced->fileSystem, "cifs");
}

// The innermost mount decides: a safe share mounted below a risky one is safe.
TEST(RiskyMount, TheInnermostMountHoldingTheFolderDecides) {
    const std::string mounts = kRoot + mountLine("/mnt", "rw", "cifs", "rw,nobrl") +
                               mountLine("/mnt/data", "rw", "nfs4", "rw,vers=4.2");
    EXPECT_EQ(riskyMountIn(mounts, "/mnt/data/attendance_manegement"), std::nullopt);
    EXPECT_TRUE(riskyMountIn(mounts, "/mnt/other").has_value());
}

// What the data folder was mounted from, kept with the clock's local copy so that what it
// keeps is never sent to another share: the innermost mount, its source unescaped.
TEST(MountSource, TheInnermostMountThatHoldsTheFolder) {
    const std::string mounts =
        kRoot + mountLine("/mnt/data", "rw", "cifs", "rw") +
        "41 40 0:51 / /mnt/data/sub\\040dir rw - nfs4 srv:/export\\040x rw\n";
    EXPECT_EQ(mountSourceIn(mounts, "/mnt/data/attendance_manegement"),
              (MountSource{"//srv/share", "cifs", "/mnt/data"}));
    EXPECT_EQ(mountSourceIn(mounts, "/mnt/data/sub dir/x"),
              (MountSource{"srv:/export x", "nfs4", "/mnt/data/sub dir"}));
    EXPECT_EQ(mountSourceIn(mounts, "/home/office"), (MountSource{"/dev/sda1", "ext4", "/"}));
    EXPECT_EQ(mountSourceIn("", "/home/office"), std::nullopt);
}

// A share that is not mounted yet leaves its mount point an empty folder of the local
// disk: the data folder there is the server's absence, not a folder set up wrong.
TEST(UnmountedMountPoint, AnFstabMountPointThatHoldsTheFolderAndIsNotMountedNow) {
    const std::string fstab =
        "# <file system> <mount point> <type> <options>\n"
        "UUID=1234 / ext4 errors=remount-ro 0 1\n"
        "UUID=5678 none swap sw 0 0\n"
        "//srv/share /srv/tavomi cifs credentials=/etc/tavomi.cred,nolease 0 0\n"
        "srv:/export\t/mnt/nfs\\040data  nfs  vers=4.2 0 0\n";
    const std::string mounted = kRoot + mountLine("/srv/tavomi", "rw", "cifs", "rw");
    struct Case {
        const char* what;
        std::string mountinfo;
        std::filesystem::path folder;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"not mounted", kRoot, "/srv/tavomi/attendance_manegement", "/srv/tavomi"},
        {"mounted", mounted, "/srv/tavomi/attendance_manegement", std::nullopt},
        {"a space in the mount point", kRoot, "/mnt/nfs data/x", "/mnt/nfs data"},
        {"the root file system is always there", kRoot, "/home/office/x", std::nullopt},
        {"a name that only begins alike", kRoot, "/srv/tavomi2/x", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(unmountedMountPointIn(fstab, c.mountinfo, c.folder), c.expected);
    }
}

}  // namespace
}  // namespace tavomi
