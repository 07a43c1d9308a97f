#include "files/working_hours.h"
#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "support/data_folder_fixture.h"

#include "support/file_conditions.h"
#include "support/qt_printers.h"

#include <QFile>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

QByteArray lines(const QStringList& list) {
    return test::DataFolder::cp932Lines(list);
}

const QString kHeader = u"日付,開始,終了,休憩"_s;
const QString kWeeklyHeader = u"曜日,開始,終了,休憩"_s;
const QString kMonday = "2019/08/26,08:15,16:45,00:45";  // from the fixture's weekly table

const QDate kMon(2019, 8, 26);
const QDate kFri(2019, 8, 30);
const QDate kSat(2019, 8, 31);
const QDate kSun(2019, 9, 1);

QStringList weekWith(const QString& mondayLine) {
    return {kWeeklyHeader, mondayLine, u"火,08:15,16:45,00:45"_s};
}

struct DerivationCase {
    const char* what;
    std::optional<QByteArray> before;   // working_hours.txt, or no such file
    std::optional<QStringList> weekly;  // ordinary_working_hours.txt, else the fixture's
    QDate date;
    DerivationOutcome outcome;
    std::optional<QByteArray> after;  // or still no such file
};

std::vector<DerivationCase> derivationCases() {
    using O = DerivationOutcome;
    const QByteArray headerOnly = lines({kHeader});
    return {
        {"header only", headerOnly, {}, kMon, O::Appended, lines({kHeader, kMonday})},
        {"header without a line break",
         encodeCp932(kHeader),
         {},
         kMon,
         O::Appended,
         lines({kHeader, kMonday})},
        {"second start on the same day",
         lines({kHeader, kMonday}),
         {},
         kMon,
         O::AlreadyPresent,
         lines({kHeader, kMonday})},
        {"present among other dates, other hours",
         lines({kHeader, "2019/08/23,1,2,3", "2019/08/26,09:00,17:00", "2019/08/27,1,2,3"}),
         {},
         kMon,
         O::AlreadyPresent,
         lines({kHeader, "2019/08/23,1,2,3", "2019/08/26,09:00,17:00", "2019/08/27,1,2,3"})},
        {"date on the header line only",
         lines({kMonday, "2019/08/27,1,2,3"}),
         {},
         kMon,
         O::Appended,
         lines({kMonday, "2019/08/27,1,2,3", kMonday})},
        {"date without leading zeros",
         lines({kHeader, "2019/8/26,08:15,16:45,00:45"}),
         {},
         kMon,
         O::Appended,
         lines({kHeader, "2019/8/26,08:15,16:45,00:45", kMonday})},
        {"past date after later dates",
         lines({kHeader, "2019/08/27,08:15,16:45,00:45", "2019/08/28,08:15,16:45,00:45"}),
         {},
         kMon,
         O::Appended,
         lines({kHeader, "2019/08/27,08:15,16:45,00:45", "2019/08/28,08:15,16:45,00:45", kMonday})},
        {"Saturday off 00:00/00:00", headerOnly, {}, kSat, O::NoWorkingHours, headerOnly},
        {"Sunday off 00:00/00:00", headerOnly, {}, kSun, O::NoWorkingHours, headerOnly},
        // A day off is told as such even when there would be nowhere to write.
        {"day off, working_hours.txt missing",
         std::nullopt,
         {},
         kSat,
         O::NoWorkingHours,
         std::nullopt},
        {"start equals end", headerOnly, weekWith(u"月,9:00,9:00,00:45"_s), kMon, O::NoWorkingHours,
         headerOnly},
        {"five data lines, Friday", headerOnly,
         QStringList{kWeeklyHeader, u"月,1,2,3"_s, u"火,1,2,3"_s, u"水,1,2,3"_s, u"木,1,2,3"_s,
                     u"金,08:00,16:30,00:45"_s},
         kFri, O::Appended, lines({kHeader, "2019/08/30,08:00,16:30,00:45"})},
        {"five data lines, Saturday", headerOnly,
         QStringList{kWeeklyHeader, u"月,1,2,3"_s, u"火,1,2,3"_s, u"水,1,2,3"_s, u"木,1,2,3"_s,
                     u"金,1,2,3"_s},
         kSat, O::NoWorkingHours, headerOnly},
        {"weekly table with only a header", headerOnly, QStringList{kWeeklyHeader}, kMon,
         O::NoWorkingHours, headerOnly},
        {"empty weekly table", headerOnly, QStringList{}, kMon, O::NoWorkingHours, headerOnly},
        {"three fields", headerOnly, weekWith(u"月,8:15,16:45"_s), kMon, O::Appended,
         lines({kHeader, "2019/08/26,8:15,16:45,"})},
        {"trailing comma", headerOnly, weekWith(u"月,8:15,16:45,"_s), kMon, O::Appended,
         lines({kHeader, "2019/08/26,8:15,16:45, "})},
        {"space inside a time", headerOnly, weekWith(u"月,8 15,16:45,00:45"_s), kMon, O::Appended,
         lines({kHeader, "2019/08/26,8,15,16:45"})},
        {"quoted fields", headerOnly, weekWith(u"月,\"8:15\",\"16:45\",\"0:45\""_s), kMon,
         O::Appended, lines({kHeader, "2019/08/26,8:15,16:45,0:45"})},
        {"texts copied unchanged", headerOnly, weekWith(u"月,８時１５分,16:45,４５分,x"_s), kMon,
         O::Appended, lines({kHeader, u"2019/08/26,８時１５分,16:45,４５分"_s})},
    };
}

class DeriveWorkingHours : public ::testing::Test {
  protected:
    QByteArray workingHours() const { return folder.readBytes(kWorkingHoursFile); }
    DerivationOutcome derive(const QDate& date) {
        return deriveWorkingHours(folder.appFolder(), date);
    }

    test::DataFolder folder;
};

TEST_F(DeriveWorkingHours, AppendsTheWeekdaysHoursUnlessTheDateIsThere) {
    const QByteArray fixtureWeek = folder.readBytes(kWeeklyTableFile);
    for (const DerivationCase& c : derivationCases()) {
        if (c.before) {
            folder.writeBytes(kWorkingHoursFile, *c.before);
        } else {
            folder.remove(kWorkingHoursFile);
        }
        folder.writeBytes(kWeeklyTableFile, c.weekly ? lines(*c.weekly) : fixtureWeek);
        EXPECT_EQ(derive(c.date), c.outcome) << c.what;
        if (c.after) {
            EXPECT_EQ(workingHours(), *c.after) << c.what;
        } else {
            EXPECT_FALSE(folder.exists(kWorkingHoursFile)) << c.what;
        }
    }
}

TEST_F(DeriveWorkingHours, WeekdayLinesRunFromMondayToSunday) {
    folder.writeLines(kWeeklyTableFile,
                      {kWeeklyHeader, "Mo,1,2,3", "Tu,4,5,6", "We,7,8,9", "Th,10,11,12",
                       "Fr,13,14,15", "Sa,16,17,18", "Su,19,20,21", "xx,22,23,24"});
    const QStringList expected = {
        "2019/08/26,1,2,3",    "2019/08/27,4,5,6",    "2019/08/28,7,8,9",    "2019/08/29,10,11,12",
        "2019/08/30,13,14,15", "2019/08/31,16,17,18", "2019/09/01,19,20,21",
    };
    QStringList all{kHeader};
    for (int day = 0; day < 7; ++day) {
        EXPECT_EQ(derive(kMon.addDays(day)), DerivationOutcome::Appended);
        all << expected[day];
    }
    EXPECT_EQ(workingHours(), lines(all));
}

TEST_F(DeriveWorkingHours, EmptyFileTakesTheFirstEntryForItsHeader) {
    folder.writeBytes(kWorkingHoursFile, QByteArray());
    EXPECT_EQ(derive(kMon), DerivationOutcome::Appended);
    EXPECT_EQ(workingHours(), lines({kMonday}));
    EXPECT_EQ(derive(kMon), DerivationOutcome::Appended);
    EXPECT_EQ(workingHours(), lines({kMonday, kMonday}));
    EXPECT_EQ(derive(kMon), DerivationOutcome::AlreadyPresent);
    EXPECT_EQ(workingHours(), lines({kMonday, kMonday}));
}

TEST_F(DeriveWorkingHours, MissingWorkingHoursFileIsReportedAndNotCreated) {
    folder.remove(kWorkingHoursFile);
    EXPECT_EQ(derive(kMon), DerivationOutcome::FileMissing);
    EXPECT_FALSE(folder.exists(kWorkingHoursFile));
}

TEST_F(DeriveWorkingHours, MissingWeeklyTableIsAFileErrorUnlessTheDateIsThere) {
    folder.remove(kWeeklyTableFile);
    EXPECT_THROW(derive(kMon), FileError);
    EXPECT_EQ(workingHours(), lines({kHeader}));

    folder.writeLines(kWorkingHoursFile, {kHeader, kMonday});
    EXPECT_EQ(derive(kMon), DerivationOutcome::AlreadyPresent);
}

TEST_F(DeriveWorkingHours, AFileHeldByAnotherProgramIsAFileError) {
    for (std::string_view held : {kWorkingHoursFile, kWeeklyTableFile}) {
        test::HeldFile other(folder.file(held), LOCK_EX);
        EXPECT_THROW(derive(kMon), FileError) << held;
        EXPECT_EQ(workingHours(), lines({kHeader})) << held;
    }
}

TEST_F(DeriveWorkingHours, ReadOnlyWorkingHoursFileIsAFileErrorAndStaysUnchanged) {
    test::WithoutDacOverride caps;
    test::ScopedMode mode(folder.file(kWorkingHoursFile), 0444);
    if (!test::fileIsReadOnly(folder.file(kWorkingHoursFile))) {
        FAIL() << "cannot make a file read-only here, so the outcome cannot be shown";
    }
    EXPECT_THROW(derive(kMon), FileError);
    EXPECT_EQ(workingHours(), lines({kHeader}));
}

// Start-up appends here every day: a link put in the file's place (to a shell
// start-up file, say) must never receive the weekly table's line.
TEST_F(DeriveWorkingHours, ALinkInTheFilesPlaceIsAFileErrorAndItsTargetStaysUnchanged) {
    const std::filesystem::path target = folder.appFolder() / "profile";
    const QByteArray targetBytes = lines({kHeader});
    {
        QFile f(QString::fromStdString(target.string()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(targetBytes) == targetBytes.size());
    }
    folder.remove(kWorkingHoursFile);
    std::filesystem::create_symlink(target, folder.file(kWorkingHoursFile));
    try {
        derive(kMon);
        FAIL() << "no FileError";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "cannot open for appending " +
                                             folder.file(kWorkingHoursFile).string() +
                                             ": is a symbolic link");
    }
    QFile f(QString::fromStdString(target.string()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), targetBytes);
}

TEST(SpreadsheetMinutes, TimesAsASpreadsheetWritesThem) {
    const struct {
        QString text;
        std::optional<int> minutes;
    } cases[] = {
        {u"8:15"_s, 495},
        {u"08:15"_s, 495},
        {u"8:15:00"_s, 495},
        {u"8:15:59"_s, 495},  // seconds are dropped, never rounded up
        {u" 8:15 "_s, 495},
        {u"\t8:15\u3000"_s, 495},
        {u"0:00"_s, 0},
        {u"23:59"_s, 1439},
        {u"28:59"_s, 1739},  // after midnight
        {u"29:00"_s, std::nullopt},
        {u"8"_s, std::nullopt},
        {u"8:5"_s, std::nullopt},
        {u"8:150"_s, std::nullopt},
        {u"008:15"_s, std::nullopt},
        {u"25:61"_s, std::nullopt},
        {u"8:60"_s, std::nullopt},
        {u"8:15:60"_s, std::nullopt},
        {u"8:15:0"_s, std::nullopt},
        {u"8:15:00:00"_s, std::nullopt},
        {u"-8:15"_s, std::nullopt},
        {u"+8:15"_s, std::nullopt},
        {u"8 :15"_s, std::nullopt},
        {u"８:１５"_s, std::nullopt},  // full-width digits
        {u":15"_s, std::nullopt},
        {u"abc"_s, std::nullopt},
        {u""_s, std::nullopt},
        {u" "_s, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readSpreadsheetMinutes(c.text), c.minutes) << c.text.toStdString();
    }
}

}  // namespace
}  // namespace tavomi
