// A teacher's records of the day under the name on the punch screen.
#include "record/todays_records.h"

#include "files/data_folder.h"
#include "support/data_folder_fixture.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

const QDate kToday(2026, 12, 11);

QString line(const char16_t* kind, const char16_t* name, const char16_t* date,
             const char16_t* time) {
    return u"%1,%2,%3,%4,IC記録,詳細なし,事由なし"_s.arg(
        QString::fromUtf16(kind), QString::fromUtf16(name), QString::fromUtf16(date),
        QString::fromUtf16(time));
}

TEST(TodaysRecords, FromTheJournalOrWhatThisPcWroteWithWhatWaits) {
    const QString otherPc = line(u"出勤", u"山田花子", u"2026/12/11", u"07:52");
    const QString ownWritten = line(u"外出", u"山田花子", u"2026/12/11", u"13:10");
    const QString ownWaiting = line(u"戻り", u"山田花子", u"2026/12/11", u"14:05");
    const QString absence = u"中抜,山田花子,2026/12/11,01:30,IC記録,詳細なし,事由年休"_s;
    const QString yesterday = line(u"退勤", u"山田花子", u"2026/12/10", u"18:00");
    const QString someoneElse = line(u"出勤", u"佐藤一郎", u"2026/12/11", u"07:40");
    struct Case {
        const char* what;
        OwnLines own;
        std::optional<QStringList> journal;
        QString expected;
    };
    const Case cases[] = {
        {"the journal holds what this PC wrote; a waiting record is added once",
         {{ownWritten}, {ownWaiting, ownWritten}},
         QStringList{yesterday, otherPc, someoneElse, ownWritten, absence},
         u"今日の記録　出勤 07:52　外出 13:10　中抜 01:30　戻り 14:05"_s},
        {"the journal not read: this PC's records, and a note",
         {{ownWritten}, {ownWaiting}},
         std::nullopt,
         u"今日の記録　外出 13:10　戻り 14:05（ほかのPCの記録は読めませんでした）"_s},
        {"another PC's record sent late shows at its time",
         {{}, {}},
         QStringList{ownWritten, otherPc},
         u"今日の記録　出勤 07:52　外出 13:10"_s},
        {"nothing today", {{}, {}}, QStringList{yesterday, someoneElse}, u"今日の記録　なし"_s},
        {"a line that is no record is passed over",
         {{}, {}},
         QStringList{u"出勤,山田花子"_s, otherPc},
         u"今日の記録　出勤 07:52"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(todaysRecordsText(todaysRecordsOf(u"山田花子"_s, kToday, c.own, c.journal),
                                    c.journal.has_value()),
                  c.expected);
    }
}

// Only whole lines of the journal's last part: the first may be cut by the window, the last
// may be an append in progress.
TEST(TodaysRecords, TheJournalsLastPartInWholeLines) {
    test::DataFolder folder;
    const QString first = line(u"出勤", u"佐藤一郎", u"2026/12/11", u"07:40");
    const QString second = line(u"出勤", u"山田花子", u"2026/12/11", u"07:52");
    folder.writeBytes(kJournalFile, test::DataFolder::cp932Lines({u"header"_s, first, second}) +
                                        "\x8f\x6f\x8b\xce,");
    const qint64 secondAndTorn = test::DataFolder::cp932Lines({second}).size() + 5;
    EXPECT_EQ(journalLastLines(folder.appFolder(), secondAndTorn + 3), QStringList{second});
    EXPECT_EQ(journalLastLines(folder.appFolder()), (QStringList{u"header"_s, first, second}));
    folder.remove(kJournalFile);
    EXPECT_EQ(journalLastLines(folder.appFolder()), std::nullopt);
}

}  // namespace
}  // namespace tavomi
