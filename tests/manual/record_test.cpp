// The manual entry record, built without a window.
#include "manual/manual_record.h"

#include "manual/manual_test_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace tavomi {
namespace {

TEST(AfterMidnightTime, RaisesOnlyALeadingHourBeforeFive) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"00:00", "24:00"}, {"01:30", "25:30"}, {"04:59", "28:59"}, {"00:04", "24:04"},
        {"05:00", "05:00"}, {"23:59", "23:59"}, {"10:01", "10:01"}, {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(afterMidnightTime(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
    }
}

TEST(OffersAfterMidnight, OnlyAClockOutStrictlyBetweenMidnightAndFive) {
    const struct {
        bool clockOut;
        QTime time;
        bool offered;
    } cases[] = {
        {true, QTime(0, 0), false},   {true, QTime(0, 0, 1), true},
        {true, QTime(1, 30), true},   {true, QTime(4, 59, 59, 999), true},
        {true, QTime(5, 0), false},   {true, QTime(23, 59), false},
        {false, QTime(1, 30), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(offersAfterMidnight(c.clockOut, c.time), c.offered)
            << c.clockOut << " " << c.time.toString("HH:mm:ss.zzz").toStdString();
    }
}

struct RecordCase {
    const char* name;
    ManualEntry entry;
    const char16_t* line;  // nullptr: refused
};

ManualEntry entryOf(const char16_t* person, std::optional<RecordKind> kind, QTime time) {
    ManualEntry e;
    e.person = QString::fromUtf16(person);
    e.date = QDate(2019, 8, 27);
    e.kind = kind;
    e.time = time;
    return e;
}

ManualEntry with(ManualEntry e, const std::function<void(ManualEntry&)>& change) {
    change(e);
    return e;
}

class BuildManualRecord : public ::testing::TestWithParam<RecordCase> {};

TEST_P(BuildManualRecord, Line) {
    const RecordCase& c = GetParam();
    const std::optional<PunchRecord> record = buildManualRecord(c.entry);
    if (c.line == nullptr) {
        EXPECT_FALSE(record.has_value());
    } else {
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->line(), QString::fromUtf16(c.line));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildManualRecord,
    ::testing::Values(
        RecordCase{"WorkedExample",
                   with(entryOf(u"W", RecordKind::ClockOut, QTime(1, 30)),
                        [](ManualEntry& e) { e.afterMidnight = true; }),
                   u"退勤,W,2019/08/27,25:30,手動記録,詳細なし,事由なし"},
        RecordCase{"SecondsDropped", entryOf(u"W", RecordKind::ClockIn, QTime(7, 45, 59)),
                   u"出勤,W,2019/08/27,07:45,手動記録,詳細なし,事由なし"},
        RecordCase{"MidDayHoursReplaceTheTime",
                   with(entryOf(u"W", RecordKind::MidDayAbsence, QTime(13, 7)),
                        [](ManualEntry& e) {
                            e.hoursEntry = 2;
                            e.reasons[1] = e.reasons[8] = true;
                        }),
                   u"中抜,W,2019/08/27,02:00,手動記録,詳細なし,事由年休その他"},
        RecordCase{"MidDayHoursAlsoOverAfterMidnight",
                   with(entryOf(u"W", RecordKind::MidDayAbsence, QTime(1, 30)),
                        [](ManualEntry& e) {
                            e.afterMidnight = true;
                            e.hoursEntry = 8;
                        }),
                   u"中抜,W,2019/08/27,08:00,手動記録,詳細なし,事由なし"},
        RecordCase{"MidDayWithoutChoiceKeepsPickerTime",
                   entryOf(u"W", RecordKind::MidDayAbsence, QTime(13, 7)),
                   u"中抜,W,2019/08/27,13:07,手動記録,詳細なし,事由なし"},
        RecordCase{"HoursIgnoredForClockKinds",
                   with(entryOf(u"W", RecordKind::Return, QTime(13, 7)),
                        [](ManualEntry& e) { e.hoursEntry = 2; }),
                   u"戻り,W,2019/08/27,13:07,手動記録,詳細なし,事由なし"},
        RecordCase{"AllReasonsInBoxOrder",
                   with(entryOf(u"W", RecordKind::GoingOut, QTime(9, 5)),
                        [](ManualEntry& e) { e.reasons.fill(true); }),
                   u"外出,W,2019/08/27,09:05,手動記録,詳細なし,"
                   u"事由割振年休病休特休介護組合職専免育短その他"},
        RecordCase{"BlankNameIsAName", entryOf(u" ", RecordKind::ClockIn, QTime(8, 0)),
                   u"出勤, ,2019/08/27,08:00,手動記録,詳細なし,事由なし"},
        RecordCase{"NoPerson", entryOf(u"", RecordKind::ClockIn, QTime(8, 0)), nullptr},
        RecordCase{"NoKind", entryOf(u"W", std::nullopt, QTime(8, 0)), nullptr},
        RecordCase{"HoursPrompt",
                   with(entryOf(u"W", RecordKind::MidDayAbsence, QTime(8, 0)),
                        [](ManualEntry& e) { e.hoursEntry = 0; }),
                   nullptr},
        RecordCase{"NoTime", entryOf(u"W", RecordKind::ClockIn, QTime()), nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavomi
