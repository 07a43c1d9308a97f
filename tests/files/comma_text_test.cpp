#include "files/comma_text.h"
#include "files/cp932.h"
#include "files/file_error.h"
#include "support/data_folder_fixture.h"

#include "support/file_conditions.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

TEST(SplitLines, CrLfCrAndLfEachEndALine) {
    const struct {
        QString text;
        QStringList lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},  // a final break adds no line
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},  // empty lines are kept
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {"a\n\rb", {"a", "", "b"}},  // LF then CR is two breaks
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitLines(c.text), c.lines) << QString(c.text).toStdString();
    }
}

struct RowCase {
    const char16_t* line;
    TableRow row;  // without column 0, which the test fills in
};

// One line of a data file and the five-column row it becomes.
const RowCase kRowCases[] = {
    // plain fields, missing fields stay empty
    {u"a,b,c,d", {"", "a", "b", "c", "d"}},
    {u"a", {"", "a", "", "", ""}},
    {u"a,b", {"", "a", "b", "", ""}},
    // fields past the fourth are dropped
    {u"a,b,c,d,e,f", {"", "a", "b", "c", "d"}},
    {u"a,b,c,d,", {"", "a", "b", "c", "d"}},
    // empty fields are one space
    {u"a,,c", {"", "a", " ", "c", ""}},
    {u",b", {"", " ", "b", "", ""}},
    {u",", {"", " ", " ", "", ""}},
    {u"", {"", " ", "", "", ""}},
    {u"\"\"", {"", " ", "", "", ""}},
    {u"\"\",x", {"", " ", "x", "", ""}},
    // a trailing comma gives one more empty field; a comma and blanks give none
    {u"a,", {"", "a", " ", "", ""}},
    {u"a, ", {"", "a", "", "", ""}},
    {u"a,\t ", {"", "a", "", "", ""}},
    {u"   ", {"", "", "", "", ""}},
    // blanks (codes 1..32) split unquoted fields and are skipped around commas
    {u"a b,c", {"", "a", "b", "c", ""}},
    {u"a\tb", {"", "a", "b", "", ""}},
    {u"a\x01"
     u"b",
     {"", "a", "b", "", ""}},
    {u"a  ,  b", {"", "a", "b", "", ""}},
    {u"  a,b", {"", "a", "b", "", ""}},
    {u"8 15,16:45,00:45", {"", "8", "15", "16:45", "00:45"}},
    {u"山田　花子,x", {"", u"山田　花子"_s, "x", "", ""}},  // a full-width space is no blank
    // quoted fields
    {u"\"a,b c\",d", {"", "a,b c", "d", "", ""}},
    {u"\"a\"\"b\"", {"", "a\"b", "", "", ""}},
    {u"\"\"\"\"", {"", "\"", "", "", ""}},
    {u"\"a b", {"", "a b", "", "", ""}},  // no closing quote: to the end
    {u"\"ab\"cd,e", {"", "ab", "cd", "e", ""}},
    {u"\"ab\" cd", {"", "ab", "cd", "", ""}},
    {u"\"ab\"  ,c", {"", "ab", "c", "", ""}},
    {u"\"a\",", {"", "a", " ", "", ""}},
    {u"a\"b,c", {"", "a\"b", "c", "", ""}},  // a quote inside an unquoted field is kept
    {u"0123456789ABCDEF,山田花子,教諭,001,2年",
     {"", "0123456789ABCDEF", u"山田花子"_s, u"教諭"_s, "001"}},
};

TEST(CommaTextRow, FillsColumnsByTheCommaTextRules) {
    for (const RowCase& c : kRowCases) {
        const QString line = QString::fromUtf16(c.line);
        TableRow expected = c.row;
        expected[0] = QStringLiteral("3");
        EXPECT_EQ(commaTextRow(3, line), expected) << "line: [" << line.toStdString() << "]";
    }
}

TEST(CommaTextRow, ColumnZeroIsTheRowNumber) {
    EXPECT_EQ(commaTextRow(0, u"x")[0], QStringLiteral("0"));
    EXPECT_EQ(commaTextRow(12345, u"x")[0], QStringLiteral("12345"));
    EXPECT_EQ(commaTextRow(7, u"x")[1], QStringLiteral("x"));
}

TEST(TableOfLines, NeedsAHeaderAndOneDataLine) {
    EXPECT_TRUE(tableOfLines({}).empty());
    EXPECT_TRUE(tableOfLines({"header"}).empty());
    const Table table = tableOfLines({"h1,h2", "a,b", ""});
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0], (TableRow{"0", "h1", "h2", "", ""}));
    EXPECT_EQ(table[1], (TableRow{"1", "a", "b", "", ""}));
    EXPECT_EQ(table[2], (TableRow{"2", " ", "", "", ""}));
}

class ReadDataFileLines : public ::testing::Test {
  protected:
    test::DataFolder folder;
    std::filesystem::path file = folder.file("absentee.txt");
};

TEST_F(ReadDataFileLines, DecodesCp932Lines) {
    folder.writeBytes("absentee.txt", QByteArray("\x93\xFA\x95\x74,\x8A\x4A\x8E\x6E\r\n"
                                                 "2019/08/26,8:15\n"
                                                 "\xFB\xFC\x81\x60"));
    EXPECT_EQ(readDataFileLines(file), (QStringList{u"日付,開始"_s, "2019/08/26,8:15", u"髙～"_s}));
}

TEST_F(ReadDataFileLines, InvalidBytesDoNotStopTheReading) {
    folder.writeBytes("absentee.txt", QByteArray("h\r\n\x80\xFF,x\r\nlast\x82"));
    const QStringList lines = readDataFileLines(file);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "h");
    EXPECT_TRUE(lines[1].endsWith(",x"));
    EXPECT_TRUE(lines[2].startsWith("last"));
}

TEST_F(ReadDataFileLines, MissingFileIsAFileErrorWithThePlatformsText) {
    folder.remove("absentee.txt");
    try {
        readDataFileLines(file);
        FAIL() << "no FileError";
    } catch (const FileError& e) {
        EXPECT_EQ(e.errorNumber(), ENOENT);
        EXPECT_NE(std::string(e.what()).find(std::strerror(ENOENT)), std::string::npos) << e.what();
    }
}

TEST_F(ReadDataFileLines, AFileHeldExclusivelyIsAFileError) {
    test::HeldFile other(file, LOCK_EX);
    EXPECT_THROW(readDataFileLines(file), FileError);
}

TEST_F(ReadDataFileLines, OtherReadersDoNotStopIt) {
    test::HeldFile other(file, LOCK_SH);
    EXPECT_EQ(readDataFileLines(file), QStringList{"header"});
}

TEST_F(ReadDataFileLines, AFolderOfThatNameIsAFileError) {
    folder.remove("absentee.txt");
    std::filesystem::create_directory(file);
    EXPECT_THROW(readDataFileLines(file), FileError);
}

}  // namespace
}  // namespace tavomi
