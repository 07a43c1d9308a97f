// The copy of what a start needs, kept beside the spool on this PC's disk.
#include "spool/local_copy.h"

#include "files/data_folder.h"
#include "files/file_error.h"
#include "support/data_folder_fixture.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

class LocalCopyTest : public ::testing::Test {
  protected:
    std::filesystem::path spool() const { return folder.appFolder() / "spool"; }
    std::filesystem::path copied(std::string_view name) const {
        return spool() / kLocalCopyFolder / kDataFolderName / name;
    }
    const QDateTime taken{QDate(2026, 12, 10), QTime(17, 5)};
    test::DataFolder folder;
};

TEST_F(LocalCopyTest, KeptWholeReadableByTheGroupOnlyAndReadBack) {
    folder.writeLines(kCardholderListFile, {u"カードID,氏名"_s, u"0123456789ABCDEF,山田　花子"_s});
    keepLocalCopy(folder.appFolder(), spool(), taken);

    const auto copy = readLocalCopy(spool());
    ASSERT_TRUE(copy.has_value());
    EXPECT_EQ(copy->takenAt, taken);
    EXPECT_EQ(copy->identity, dataFolderIdentity(folder.appFolder()));
    EXPECT_EQ(dataFilePath(copy->appFolder, kCardholderListFile), copied(kCardholderListFile));
    for (const std::string_view name : {kCardholderListFile, kWeeklyTableFile}) {
        QFile file(QString::fromStdString(copied(name).string()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), folder.readBytes(name)) << name;
        struct stat st {};
        ASSERT_EQ(::stat(copied(name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u) << name;
    }
}

// A copy that cannot be read or is torn counts as none: the clock then starts as without one.
TEST_F(LocalCopyTest, ATornOrMissingCopyIsNone) {
    EXPECT_FALSE(readLocalCopy(spool()).has_value());
    keepLocalCopy(folder.appFolder(), spool(), taken);
    ASSERT_TRUE(readLocalCopy(spool()).has_value());
    {
        QFile file(QString::fromStdString(copied(kCardholderListFile).string()));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("0000000000000001,");  // a crash before the identity was written
    }
    EXPECT_FALSE(readLocalCopy(spool()).has_value());
}

// A data folder that cannot be read leaves the copy before it as it was.
TEST_F(LocalCopyTest, ACopyThatFailsLeavesTheOneBefore) {
    keepLocalCopy(folder.appFolder(), spool(), taken);
    folder.writeLines(kCardholderListFile, {u"カードID,氏名"_s, u"0000000000000002,W"_s});
    folder.remove(kWeeklyTableFile);
    EXPECT_THROW(keepLocalCopy(folder.appFolder(), spool(), taken.addDays(1)), FileError);
    const auto copy = readLocalCopy(spool());
    ASSERT_TRUE(copy.has_value());
    EXPECT_EQ(copy->takenAt, taken);
}

}  // namespace
}  // namespace tavomi
