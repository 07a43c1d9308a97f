#pragma once
// A small data folder for the reports: August 2019 of six teachers, with every kind of
// record, a clock-out after midnight, records made by hand, each exception a checker
// looks for, a name holding a comma, and garbled lines. Line numbers are given because the reports
// cite them.

#include "files/data_folder.h"
#include "support/data_folder_fixture.h"
#include "support/journal_header.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tavomi::test {

inline QStringList utf16Lines(std::initializer_list<const char16_t*> lines) {
    QStringList list;
    for (const char16_t* line : lines) {
        list.append(QString::fromUtf16(line));
    }
    return list;
}

inline void writeReportFixture(const DataFolder& data) {
    data.writeLines(kCardholderListFile, utf16Lines({
                                             u"カードID,氏名,職名",
                                             u"0123456789ABCDEF,山田　花子,教諭",
                                             u"1111111111111111,佐藤太郎,教頭",
                                             u"2222222222222222,鈴木　一郎,講師",
                                             u"3333333333333333,伊藤　美咲,養護教諭",
                                             u"4444444444444444,山田　花子,教諭",
                                         }));

    data.writeLines(kWorkingHoursFile, utf16Lines({
                                           u"日付,開始,終了,休憩",
                                           u"2019/08/01,08:15,16:45,00:45",
                                           u"2019/08/02,08:15,16:45,00:45",
                                           u"2019/08/05,08:15,16:45,00:45",
                                           u"2019/08/05,08:30,17:00,01:00",
                                           u"2019/08/06,08:15,16:45,00:45",
                                           u"2019/08/07,08:15,12:30,",
                                           u"2019/08/20,08:15,16:45,00:45",
                                           u"2019/09/02,08:15,16:45,00:45",
                                       }));

    QByteArray journal = DataFolder::cp932Lines(utf16Lines({
        /* 1 */ kJournalHeader,
        /* 2 */ u"出勤,山田　花子,2019/07/31,07:50,IC記録,詳細なし,事由なし",
        /* 3 */ u"出勤,山田　花子,2019/08/01,07:45,IC記録,詳細なし,事由なし",
        /* 4 */ u"出勤,佐藤太郎,2019/08/01,08:00,IC記録,詳細a,事由なし",
        /* 5 */ u"外出,山田　花子,2019/08/01,13:10,IC記録,詳細s,事由職専免",
        /* 6 */ u"中抜,佐藤太郎,2019/08/01,02:00,IC記録,詳細なし,事由年休",
        /* 7 */ u"戻り,山田　花子,2019/08/01,14:20,IC記録,詳細なし,事由なし",
        /* 8 */ u"退勤,佐藤太郎,2019/08/01,16:45,IC記録,詳細なし,事由なし",
        /* 9 */ u"退勤,山田　花子,2019/08/01,18:02,IC記録,詳細bchm1,事由なし",
        /* 10 */ u"出勤,山田　花子,2019/08/02,08:10,IC記録,詳細なし,事由なし",
        /* 11 */ u"退勤,山田　花子,2019/08/02,25:30,手動記録,詳細なし,事由なし",
        /* 12 */ u"出勤,佐藤太郎,2019/08/05,08:01,IC記録,詳細なし,事由なし",
        /* 13 */ u"戻り,山田　花子,2019/08/05,15:00,IC記録,詳細なし,事由なし",
        /* 14 */ u"退勤,山田　花子,2019/08/05,17:30,IC記録,詳細なし,事由なし",
        /* 15 */ u"出勤,佐藤太郎,2019/08/06,08:00,IC記録,詳細なし,事由なし",
        /* 16 */ u"外出,佐藤太郎,2019/08/06,10:00,IC記録,詳細t,事由なし",
        /* 17 */ u"退勤,佐藤太郎,2019/08/06,17:00,IC記録,詳細なし,事由なし",
        /* 18 */ u"出勤,佐藤太郎,2019/08/07,07:58,IC記録,詳細なし,事由なし",
        /* 19 */ u"退勤,佐藤太郎,2019/08/07,15:10,IC記録,詳細なし,事由年休病休",
        /* 20 */ u"出勤,佐藤太郎,2019/08/07,08:03,手動記録,詳細なし,事由なし",
        /* 21 */ u"出張,山田　花子,2019/08/09,09:00,IC記録,詳細なし,事由なし",
        /* 22 */ u"出勤,山田　花子,2019/08/32,08:00,IC記録,詳細なし,事由なし",
        /* 23 */ u"退勤,佐藤太郎,2019/08/09,7:45,IC記録,詳細なし,事由なし",
    }));
    journal += "\x82\xA0\xFF,\x81\r\n";  // 24: no CP932 text, no date
    journal += DataFolder::cp932Lines(utf16Lines({
        /* 25 */ u"退勤,佐藤太郎,2019/07/09,99:99,IC記録,詳細なし,事由なし",
        /* 26 */ u"出勤,山田　花子,2019/8/10,08:00,IC記録,詳細なし,事由なし",
        /* 27 */ u"出勤,山田　花子,2019/9/10,08:00,IC記録,詳細なし,事由なし",
        /* 28 */ u"",
        /* 29 */ u"出勤,田中　花,2019/08/20,08:30,手動記録,詳細なし,事由なし",
        /* 30 */ u"出勤,伊藤　美咲,2019/08/20,07:40,IC記録,詳細なし,事由なし",
        /* 31 */ u"出勤,山田　花子,2019/08/20,07:50,IC記録,詳細なし,事由なし",
        /* 32 */ u"出勤,佐藤太郎,2019/08/20,08:00,IC記録,詳細なし,事由なし",
        /* 33 */ u"外出,田中　花,2019/08/20,09:00,IC記録,詳細なし,事由なし",
        /* 34 */ u"戻り,田中　花,2019/08/20,09:30,IC記録,詳細なし,事由なし",
        /* 35 */ u"外出,山田　花子,2019/08/20,10:00,IC記録,詳細なし,事由なし",
        /* 36 */ u"中抜,佐藤太郎,2019/08/20,03:00,IC記録,詳細なし,事由年休",
        /* 37 */ u"退勤,田中　花,2019/08/20,10:15,IC記録,詳細なし,事由なし",
        /* 38 */ u"退勤,鈴木　一郎,2019/09/01,17:00,IC記録,詳細なし,事由なし",
        /* 39 */ u"出勤,山田,次郎,2019/08/21,08:00,IC記録,詳細なし,事由なし",
    }));
    journal += '\x1A';  // the end-of-file mark an old editor left
    data.writeBytes(kJournalFile, journal);
}

}  // namespace tavomi::test
