#include "files/cardholder_list.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "support/data_folder_fixture.h"

#include "support/file_conditions.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

const QString kHeader = u"カードID,氏名,職名"_s;

class CardholderListTest : public ::testing::Test {
  protected:
    void writeList(const QStringList& lines) { folder.writeLines(kCardholderListFile, lines); }

    test::DataFolder folder;
};

QStringList columns(const CardholderRow& row) {
    return {row.cardId, row.name, row.particulars};
}

std::vector<QStringList> readColumns(const std::filesystem::path& file) {
    std::vector<QStringList> rows;
    for (const CardholderRow& row : readCardholderRows(file)) {
        rows.push_back(columns(row));
    }
    return rows;
}

TEST_F(CardholderListTest, RowsAreTheLinesAfterTheHeaderByColumn) {
    writeList({
        kHeader,
        u"0123456789ABCDEF,山田　花子,教諭,12345"_s,
        u"1111222233334444,佐藤一郎"_s,
        "2222333344445555,,",
        "",
        "\"3333 4444\", Spaced ,x",
    });
    EXPECT_EQ(readColumns(folder.file(kCardholderListFile)),
              (std::vector<QStringList>{
                  {"0123456789ABCDEF", u"山田　花子"_s, u"教諭"_s},
                  {"1111222233334444", u"佐藤一郎"_s, ""},  // a field the line lacks is empty
                  {"2222333344445555", " ", " "},           // an empty field is one space
                  {" ", "", ""},
                  {"3333 4444", "Spaced", "x"},
              }));

    writeList({kHeader});
    EXPECT_TRUE(readCardholderRows(folder.file(kCardholderListFile)).empty());
}

// What the card tool writes, the time clock reads back as the same holder.
TEST_F(CardholderListTest, AWrittenLineReadsBackAsItsEntry) {
    const struct {
        QString cardId;
        QString name;
        QStringList particulars;
        QString line;
    } cases[] = {
        {"0123456789ABCDEF", u"山田　花子"_s, {}, u"0123456789ABCDEF,山田　花子"_s},
        {"0123456789ABCDEF", u"山田　花子"_s, {u"教諭"_s}, u"0123456789ABCDEF,山田　花子,教諭"_s},
        {"0123456789ABCDEF",
         "Yamada",
         {u"教諭"_s, "12345"},
         u"0123456789ABCDEF,Yamada,教諭,12345"_s},
    };
    for (const auto& c : cases) {
        const QString line = cardholderLine(c.cardId, c.name, c.particulars);
        EXPECT_EQ(line, c.line);
        writeList({kHeader, line});
        EXPECT_EQ(readColumns(folder.file(kCardholderListFile)),
                  (std::vector<QStringList>{{c.cardId, c.name, c.particulars.value(0)}}))
            << line.toStdString();
    }
}

using CardholderTableTest = CardholderListTest;

TEST_F(CardholderTableTest, FilesWithoutAnEntryGiveNoFlag3AndMatchNothing) {
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"empty file", QByteArray()},
        {"header only", test::DataFolder::cp932Lines({"0123456789ABCDEF,name"})},
        {"header without a line break", QByteArray("0123456789ABCDEF,name")},
    };
    for (const auto& c : cases) {
        folder.writeBytes(kCardholderListFile, c.bytes);
        CardholderTable table;
        EXPECT_FALSE(table.load(folder.appFolder())) << c.what;
        EXPECT_FALSE(table.hasEntries()) << c.what;
        EXPECT_EQ(table.lookup("0123456789ABCDEF"), std::nullopt) << c.what;
    }
}

TEST_F(CardholderTableTest, LookupFindsTheLastExactMatch) {
    writeList({
        "0000000000000001,header,never an entry",
        u"0123456789ABCDEF,山田花子,教諭"_s,
        "\"0123456789ABCDEE\",Quoted",
        "\"0123 4567\",Spaced",
        u"1111222233334444,佐藤一郎,主任"_s,
        u"0123456789ABCDEF,山田花子２,教諭"_s,  // the same card again: the later one wins
        u"2222333344445555,Hanako Yamada"_s,
        u"2222333344445556,\"Hanako Yamada\""_s,
        u"2222333344445557,鈴木　次郎"_s,
        "3333444455556666,,x",
        "4444555566667777,a,b,c,d,e,f",
        "",
    });
    CardholderTable table;
    ASSERT_TRUE(table.load(folder.appFolder()));
    EXPECT_TRUE(table.hasEntries());

    const struct {
        const char* cardId;
        std::optional<QString> name;
    } cases[] = {
        {"0123456789ABCDEF", u"山田花子２"_s},
        {"1111222233334444", u"佐藤一郎"_s},
        {"0123456789ABCDEE", "Quoted"},
        {"0123 4567", "Spaced"},     // quoted, the space stays part of the identifier...
        {"01234567", std::nullopt},  // ...so no card's identifier matches it
        {"0123", std::nullopt},
        {"0123456789abcdef", std::nullopt},  // case matters
        {"0123456789ABCDE", std::nullopt},
        {"0123456789ABCDEF ", std::nullopt},
        {"0000000000000001", std::nullopt},  // the header never matches
        {"2222333344445555", "Hanako"},      // an unquoted space cuts the name
        {"2222333344445556", "Hanako Yamada"},
        {"2222333344445557", u"鈴木　次郎"_s},
        {"3333444455556666", " "},  // an empty name is one space
        {"4444555566667777", "a"},
        {"", std::nullopt},  // the empty line gives " " in column 1
        {"FFFFFFFFFFFFFFFF", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(table.lookup(c.cardId), c.name) << "[" << c.cardId << "]";
    }
}

TEST_F(CardholderTableTest, AnEmptyIdentifierMatchesOnlyALineOfBlanks) {
    writeList({kHeader, "0123456789ABCDEF,Yamada"});
    CardholderTable table;
    ASSERT_TRUE(table.load(folder.appFolder()));
    EXPECT_EQ(table.lookup(""), std::nullopt);

    writeList({kHeader, "0123456789ABCDEF,Yamada", " \t "});
    ASSERT_TRUE(table.load(folder.appFolder()));
    EXPECT_EQ(table.lookup(""), QString());
}

TEST_F(CardholderTableTest, LoadReplacesWhatAnEarlierLoadRead) {
    writeList({kHeader, "0000000000000001,One", "0000000000000002,Two"});
    CardholderTable table;
    ASSERT_TRUE(table.load(folder.appFolder()));

    writeList({kHeader, "0000000000000003,Three"});
    ASSERT_TRUE(table.load(folder.appFolder()));
    EXPECT_EQ(table.lookup("0000000000000002"), std::nullopt);
    EXPECT_EQ(table.lookup("0000000000000003"), "Three");

    writeList({kHeader});
    EXPECT_FALSE(table.load(folder.appFolder()));
    EXPECT_FALSE(table.hasEntries());
    EXPECT_EQ(table.lookup("0000000000000003"), std::nullopt);
}

TEST_F(CardholderTableTest, MissingFileIsAFileErrorAndEmptiesTheTable) {
    writeList({kHeader, "0000000000000001,One"});
    CardholderTable table;
    ASSERT_TRUE(table.load(folder.appFolder()));

    folder.remove(kCardholderListFile);
    try {
        table.load(folder.appFolder());
        FAIL() << "no FileError";
    } catch (const FileError& e) {
        EXPECT_EQ(e.errorNumber(), ENOENT);
        EXPECT_NE(std::string(e.what()).find(std::strerror(ENOENT)), std::string::npos) << e.what();
    }
    EXPECT_FALSE(table.hasEntries());
    EXPECT_EQ(table.lookup("0000000000000001"), std::nullopt);
}

TEST_F(CardholderTableTest, AListHeldByAWriterIsAFileError) {
    writeList({kHeader, "0000000000000001,One"});
    test::HeldFile writer(folder.file(kCardholderListFile), LOCK_EX);
    CardholderTable table;
    try {
        table.load(folder.appFolder());
        FAIL() << "no FileError";
    } catch (const FileError& e) {
        EXPECT_EQ(e.errorNumber(), EWOULDBLOCK);
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(table.hasEntries());
}

// A FIFO put in a file's place would hold the program for ever if it were waited on.
TEST_F(CardholderTableTest, AFifoInTheListsPlaceIsAFileErrorAtOnce) {
    folder.remove(kCardholderListFile);
    ASSERT_EQ(::mkfifo(folder.file(kCardholderListFile).c_str(), 0600), 0);
    CardholderTable table;
    try {
        table.load(folder.appFolder());
        FAIL() << "no FileError";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("is not a regular file"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(table.hasEntries());
}

TEST_F(CardholderTableTest, InvalidBytesDoNotStopTheLoad) {
    folder.writeBytes(kCardholderListFile, QByteArray("h\r\n"
                                                      "\x80\xA0\xFD,\xFF\xFE\r\n"
                                                      "0000000000000001,\x82\xA0\r\n"
                                                      "0000000000000002,cut\x81"));
    CardholderTable table;
    ASSERT_TRUE(table.load(folder.appFolder()));
    EXPECT_EQ(table.lookup("0000000000000001"), u"あ"_s);
    ASSERT_TRUE(table.lookup("0000000000000002").has_value());
    EXPECT_TRUE(table.lookup("0000000000000002")->startsWith("cut"));
}

using PersonListTableTest = CardholderListTest;

TEST_F(PersonListTableTest, StartsWithOneEmptyRowAndNoNames) {
    PersonListTable list;
    EXPECT_TRUE(list.names().isEmpty());

    writeList({kHeader});  // too short to be read
    list.reload(folder.appFolder());
    EXPECT_TRUE(list.names().isEmpty());
}

TEST_F(PersonListTableTest, ListsEveryNameInFileOrder) {
    writeList({
        kHeader,
        u"0000000000000001,山田花子"_s,
        u"0000000000000002,佐藤一郎"_s,
        u"0000000000000003,山田花子"_s,
        "0000000000000004,,x",
        "",
        "0000000000000005,Hanako Yamada",
    });
    PersonListTable list;
    list.reload(folder.appFolder());
    EXPECT_EQ(list.names(),
              (QStringList{u"山田花子"_s, u"佐藤一郎"_s, u"山田花子"_s, " ", "", "Hanako"}));
}

TEST_F(PersonListTableTest, NeverShrinks) {
    writeList({kHeader, "1,One,x", "2,Two,x", "3,Three,x"});
    PersonListTable list;
    list.reload(folder.appFolder());
    EXPECT_EQ(list.names(), (QStringList{"One", "Two", "Three"}));

    // A shorter file overwrites its own rows whole (a missing field is empty
    // again) and leaves the rows beyond it as they were.
    writeList({kHeader, "4"});
    list.reload(folder.appFolder());
    EXPECT_EQ(list.names(), (QStringList{"", "Two", "Three"}));

    // A file without entries is not read at all.
    writeList({kHeader});
    list.reload(folder.appFolder());
    EXPECT_EQ(list.names(), (QStringList{"", "Two", "Three"}));

    writeList({kHeader, "1,One", "2,Two", "3,Three", "5,Five"});
    list.reload(folder.appFolder());
    EXPECT_EQ(list.names(), (QStringList{"One", "Two", "Three", "Five"}));
}

TEST_F(PersonListTableTest, AFailedReloadKeepsTheRows) {
    writeList({kHeader, "1,One", "2,Two"});
    PersonListTable list;
    list.reload(folder.appFolder());

    folder.remove(kCardholderListFile);
    EXPECT_THROW(list.reload(folder.appFolder()), FileError);
    EXPECT_EQ(list.names(), (QStringList{"One", "Two"}));

    writeList({kHeader, "1,Uno"});
    {
        test::HeldFile writer(folder.file(kCardholderListFile), LOCK_EX);
        EXPECT_THROW(list.reload(folder.appFolder()), FileError);
    }
    EXPECT_EQ(list.names(), (QStringList{"One", "Two"}));
}

}  // namespace
}  // namespace tavomi
