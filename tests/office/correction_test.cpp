// A record the office adds for a line of the things to check, written as the manual entry
// writes one.
#include "office/office_correction.h"

#include "files/cp932.h"
#include "files/data_folder.h"
#include "support/data_folder_fixture.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

const QDateTime kNow(QDate(2026, 12, 11), QTime(9, 0));  // a Friday

ManualEntry clockOut(const QDate& date, const QTime& time) {
    ManualEntry entry;
    entry.person = u"山田花子"_s;
    entry.date = date;
    entry.kind = RecordKind::ClockOut;
    entry.time = time;
    return entry;
}

TEST(OfficeCorrection, TheMissingRecordIsAManualRecordAndTheDatesHoursFollow) {
    test::DataFolder folder;
    const QByteArray before = folder.readBytes(kJournalFile);
    ManualEntry entry = clockOut(QDate(2026, 12, 10), QTime(1, 30));
    entry.afterMidnight = true;
    entry.reasons[0] = true;
    const CorrectionOutcome outcome = writeCorrection(folder.appFolder(), entry, kNow);
    EXPECT_TRUE(outcome.written);
    EXPECT_EQ(outcome.message, u"山田花子さんの2026/12/10の出退勤を記録しました"_s);
    EXPECT_EQ(folder.readBytes(kJournalFile),
              before + test::DataFolder::cp932Lines(
                           {u"退勤,山田花子,2026/12/10,25:30,手動記録,詳細なし,事由%1"_s.arg(
                               QString::fromUtf16(kReasons[0].code))}));
    EXPECT_TRUE(decodeCp932(folder.readBytes(kWorkingHoursFile)).contains(u"2026/12/10"_s));
    EXPECT_EQ(missingRecordKind(DayException::NoReturn), RecordKind::Return);
    EXPECT_EQ(missingRecordKind(DayException::SeveralClockIns), std::nullopt);
}

// Refused with the manual entry's words, the journal as it was.
TEST(OfficeCorrection, RefusalsLeaveTheJournalAsItWas) {
    struct Case {
        const char* what;
        std::function<void(test::DataFolder&)> arrange;
        ManualEntry entry;
        QString message;
    };
    const QString missing = QString::fromUtf16(kManualMissingValuesMessage);
    const Case cases[] = {
        {"a time later than now", [](test::DataFolder&) {}, clockOut(kNow.date(), QTime(17, 0)),
         missing},
        {"a date in the future", [](test::DataFolder&) {},
         clockOut(kNow.date().addDays(1), QTime(7, 0)), missing},
        {"no time", [](test::DataFolder&) {}, clockOut(kNow.date(), QTime()), missing},
        {"the lock of a writer appending now",
         [](test::DataFolder& f) { f.writeBytes(kLockFile, "another PC\r\n"); },
         clockOut(QDate(2026, 12, 10), QTime(18, 0)), QString::fromUtf16(kManualBusyMessage)},
        {"no journal", [](test::DataFolder& f) { f.remove(kJournalFile); },
         clockOut(QDate(2026, 12, 10), QTime(18, 0)),
         QString::fromUtf16(kManualJournalMissingMessage)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::DataFolder folder;
        c.arrange(folder);
        const bool journal = folder.exists(kJournalFile);
        const QByteArray before = journal ? folder.readBytes(kJournalFile) : QByteArray();
        const CorrectionOutcome outcome = writeCorrection(folder.appFolder(), c.entry, kNow);
        EXPECT_FALSE(outcome.written);
        EXPECT_TRUE(outcome.isError);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(folder.exists(kJournalFile), journal);
        if (journal) {
            EXPECT_EQ(folder.readBytes(kJournalFile), before);
        }
    }
}

}  // namespace
}  // namespace tavomi
