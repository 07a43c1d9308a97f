#include "files/data_folder.h"
#include "support/data_folder_fixture.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace tavomi {
namespace {

using Names = std::vector<std::string_view>;

TEST(DataFolder, PathIsProgramFolderThenDataFolderThenFile) {
    EXPECT_EQ(dataFilePath("/opt/tavomi", "keeper.txt"),
              std::filesystem::path("/opt/tavomi/attendance_manegement/keeper.txt"));
    EXPECT_EQ(dataFilePath("/opt/tavomi/", "rock_file.txt"),
              std::filesystem::path("/opt/tavomi/attendance_manegement/rock_file.txt"));
}

TEST(DataFolder, SevenRequiredFilesInTableOrder) {
    EXPECT_EQ(Names(kRequiredFiles.begin(), kRequiredFiles.end()),
              (Names{"associate_with_card.txt", "keeper.txt", "ordinary_working_hours.txt",
                     "working_hours.txt", "analysis_of_data.xlsm", "working_hours_allocation.txt",
                     "absentee.txt"}));
}

TEST(DataFolder, AllPresentEvenWhenEmpty) {
    test::DataFolder folder;
    for (std::string_view name : kRequiredFiles) {
        folder.writeBytes(name, QByteArray());
    }
    folder.writeBytes(kLockFile, QByteArray());  // not one of the seven, and harmless
    EXPECT_EQ(missingDataFiles(folder.appFolder()), Names{});
}

TEST(DataFolder, EachMissingFileIsFound) {
    for (std::string_view name : kRequiredFiles) {
        test::DataFolder folder;
        folder.remove(name);
        EXPECT_EQ(missingDataFiles(folder.appFolder()), Names{name}) << name;
    }
}

TEST(DataFolder, AFolderWithAFilesNameCountsAsMissing) {
    for (std::string_view name : kRequiredFiles) {
        test::DataFolder folder;
        folder.remove(name);
        std::filesystem::create_directory(folder.file(name));
        EXPECT_EQ(missingDataFiles(folder.appFolder()), Names{name}) << name;
        EXPECT_FALSE(regularFileExists(folder.file(name))) << name;
    }
}

TEST(DataFolder, SeveralMissingAreListedInTableOrder) {
    test::DataFolder folder;
    folder.remove("absentee.txt");
    folder.remove(kWorkingHoursFile);
    folder.remove(kCardholderListFile);
    EXPECT_EQ(missingDataFiles(folder.appFolder()),
              (Names{kCardholderListFile, kWorkingHoursFile, "absentee.txt"}));
}

TEST(DataFolder, NoDataFolderMeansAllSevenMissing) {
    test::DataFolder folder;
    std::filesystem::remove_all(folder.appFolder() / kDataFolderName);
    EXPECT_EQ(missingDataFiles(folder.appFolder()),
              Names(kRequiredFiles.begin(), kRequiredFiles.end()));
}

TEST(DataFolder, RegularFileExists) {
    test::DataFolder folder;
    EXPECT_TRUE(regularFileExists(folder.file(kJournalFile)));
    EXPECT_FALSE(regularFileExists(folder.file(kLockFile)));
    EXPECT_FALSE(regularFileExists(folder.appFolder() / kDataFolderName));
}

}  // namespace
}  // namespace tavomi
