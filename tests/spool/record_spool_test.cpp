// The spool on this PC's disk: what is kept comes back whole and in order, a damaged part
// goes aside without taking a whole record with it.

#include "spool/record_spool.h"
#include "files/cp932.h"
#include "files/file_error.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

const QDateTime kAt(QDate(2026, 12, 10), QTime(7, 52, 3));
const QString kFirst = u"出勤,山田　花子,2026/12/10,07:52,IC記録,詳細なし,事由なし"_s;
const QString kSecond = u"退勤,佐藤太郎,2026/12/10,16:45,手動記録,詳細なし,事由なし"_s;

QByteArray readFile(const std::filesystem::path& path) {
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const std::filesystem::path& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path.string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class RecordSpoolTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    RecordSpool spool{std::filesystem::path(dir.path().toStdString()) / "spool"};
};

TEST_F(RecordSpoolTest, KeepsInOrderAndRemovesByLine) {
    EXPECT_TRUE(spool.load().records.empty());  // no folder yet: nothing waits
    spool.keep({kAt, kFirst});
    spool.keep({kAt.addSecs(60), kSecond});
    spool.keep({kAt.addSecs(120), kFirst});
    EXPECT_EQ(readFile(spool.file()).left(20), "2026-12-10 07:52:03\t");
    EXPECT_TRUE(readFile(spool.file()).endsWith(encodeCp932(kFirst) + "\r\n"));

    spool.remove(kFirst);  // the oldest of the two alike
    const SpoolContents contents = spool.load();
    ASSERT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.records[0].line, kSecond);
    EXPECT_EQ(contents.records[1].line, kFirst);
    EXPECT_EQ(contents.records[1].keptAt, kAt.addSecs(120));
    EXPECT_TRUE(contents.setAside.isEmpty());
}

TEST_F(RecordSpoolTest, DamagedPartsGoAsideAndWholeRecordsStay) {
    const QByteArray whole = spoolLine({kAt, kFirst});
    struct Case {
        const char* what;
        QByteArray damage;
    };
    const Case cases[] = {
        {"a torn last line", spoolLine({kAt, kSecond}).left(30)},
        {"a line that is no record", "2026-12-10 07:52:03\tnot a record\r\n"},
        {"bytes that are not CP932", "2026-12-10 07:52:03\t\x81\x20,\xff\r\n"},
        {"no time", encodeCp932(kSecond) + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::create_directories(spool.folder());
        std::filesystem::remove(spool.file().string() + RecordSpool::kSetAsideSuffix);
        const bool atEnd = !c.damage.endsWith("\r\n");
        writeFile(spool.file(), atEnd ? whole + c.damage : c.damage + whole);

        const SpoolContents contents = spool.load();
        ASSERT_EQ(contents.records.size(), 1u);
        EXPECT_EQ(contents.records[0].line, kFirst);
        EXPECT_EQ(contents.setAside, c.damage);
        EXPECT_EQ(readFile(contents.setAsideFile), c.damage);
        EXPECT_EQ(readFile(spool.file()), whole);  // repaired: the next load finds no damage
        EXPECT_TRUE(spool.load().setAside.isEmpty());
    }
}

TEST_F(RecordSpoolTest, AFolderThatCannotBeMadeIsAFileError) {
    writeFile(spool.folder(), "a file where the folder should be");
    EXPECT_THROW(spool.keep({kAt, kFirst}), FileError);
}

}  // namespace
}  // namespace tavomi
