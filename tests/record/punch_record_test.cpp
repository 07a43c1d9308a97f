// A record written as a line and read back.
#include "record/punch_record.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace Qt::StringLiterals;

namespace tavomi {

void PrintTo(const PunchRecord& r, std::ostream* os) {
    *os << r.line().toStdString();
}

namespace {

struct LineCase {
    PunchRecord record;
    const char16_t* line;
};

class RecordLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(RecordLine, IsSevenUnquotedFieldsAndReadsBackAsTheSameRecord) {
    const LineCase& c = GetParam();
    EXPECT_EQ(c.record.line(), QString::fromUtf16(c.line));
    const auto read = readPunchRecord(QString::fromUtf16(c.line));
    ASSERT_TRUE(std::holds_alternative<PunchRecord>(read));
    EXPECT_EQ(std::get<PunchRecord>(read), c.record);
}

const QDate kDay(2019, 8, 28);

INSTANTIATE_TEST_SUITE_P(
    EveryKindAndSource, RecordLine,
    ::testing::Values(LineCase{{RecordKind::ClockIn, u"山田花子"_s, kDay, "07:45",
                                RecordSource::Card, u"詳細なし"_s, u"事由なし"_s},
                               u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし"},
                      // a clock-out after midnight, written under the day before
                      LineCase{{RecordKind::ClockOut, u"山田花子"_s, kDay, "25:30",
                                RecordSource::Manual, u"詳細bchm1"_s, u"事由なし"_s},
                               u"退勤,山田花子,2019/08/28,25:30,手動記録,詳細bchm1,事由なし"},
                      // nothing refuses or escapes a comma, a quote or a space in a name
                      LineCase{{RecordKind::GoingOut, u"山田,\"花子\" A"_s, kDay, "13:10",
                                RecordSource::Card, u"詳細s"_s, u"事由職専免"_s},
                               u"外出,山田,\"花子\" A,2019/08/28,13:10,IC記録,詳細s,事由職専免"},
                      LineCase{{RecordKind::Return, u" "_s, kDay, "14:00", RecordSource::Manual,
                                u"詳細なし"_s, u"事由年休その他"_s},
                               u"戻り, ,2019/08/28,14:00,手動記録,詳細なし,事由年休その他"},
                      LineCase{{RecordKind::MidDayAbsence, u"山田花子"_s, kDay, "02:00",
                                RecordSource::Card, u"詳細なし"_s, u"事由年休"_s},
                               u"中抜,山田花子,2019/08/28,02:00,IC記録,詳細なし,事由年休"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

struct ProblemCase {
    const char16_t* line;
    LineProblem problem;
};

class MalformedLine : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(MalformedLine, NamesItsFirstProblem) {
    const ProblemCase& c = GetParam();
    const auto read = readPunchRecord(QString::fromUtf16(c.line));
    ASSERT_TRUE(std::holds_alternative<LineProblem>(read));
    EXPECT_EQ(std::get<LineProblem>(read), c.problem);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, MalformedLine,
    ::testing::Values(
        ProblemCase{u"出勤,山田,2019/08/28,07:45,IC記録,詳細なし", LineProblem::Unreadable},
        ProblemCase{u"出勤,山\uFFFD,2019/08/28,07:45,IC記録,詳細なし,事由なし",
                    LineProblem::Unreadable},
        ProblemCase{u"中抜け,山田,2019/08/28,02:00,IC記録,詳細なし,事由なし",
                    LineProblem::UnknownKind},
        ProblemCase{u"出勤,山田,2019/8/28,07:45,IC記録,詳細なし,事由なし", LineProblem::BadDate},
        ProblemCase{u"出勤,山田,2019/02/29,07:45,IC記録,詳細なし,事由なし", LineProblem::BadDate},
        ProblemCase{u"出勤,山田,2019/08/28,7:45,IC記録,詳細なし,事由なし", LineProblem::BadTime},
        ProblemCase{u"退勤,山田,2019/08/28,29:00,手動記録,詳細なし,事由なし", LineProblem::BadTime},
        ProblemCase{u"退勤,山田,2019/08/28,18:60,IC記録,詳細なし,事由なし", LineProblem::BadTime},
        ProblemCase{u"中抜,山田,2019/08/28,00:00,IC記録,詳細なし,事由なし", LineProblem::BadTime},
        ProblemCase{u"中抜,山田,2019/08/28,24:01,IC記録,詳細なし,事由なし", LineProblem::BadTime},
        ProblemCase{u"出勤,山田,2019/08/28,07:45,IC,詳細なし,事由なし", LineProblem::UnknownSource},
        ProblemCase{u"出勤,山田,2019/08/28,07:45,IC記録,詳細,事由なし", LineProblem::BadDetail},
        ProblemCase{u"出勤,山田,2019/08/28,07:45,IC記録,なし,事由なし", LineProblem::BadDetail},
        ProblemCase{u"出勤,山田,2019/08/28,07:45,IC記録,詳細なし,事由", LineProblem::BadReason},
        ProblemCase{u"出勤,山田,2019/08/28,07:45,IC記録,詳細なし,年休", LineProblem::BadReason}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// The longest clock time and the longest absence a record holds.
TEST(RecordMinutes, ReachTwentyEightHoursAndAWholeDay) {
    EXPECT_EQ(readRecordMinutes(RecordKind::ClockOut, u"28:59"), 28 * 60 + 59);
    EXPECT_EQ(readRecordMinutes(RecordKind::MidDayAbsence, u"24:00"), 24 * 60);
    EXPECT_EQ(readRecordMinutes(RecordKind::MidDayAbsence, u"00:01"), 1);
}

// A quoted cardholder name may hold any control character; a 0x1A in a record would cut
// the journal short at the next append, a line break would split the record.
TEST(RecordLine, NeverHoldsAControlCharacter) {
    PunchRecord record;
    record.kind = RecordKind::ClockIn;
    record.name = u"山田\x1A花子\r\n\x1B[2J\x7F"_s;
    record.date = QDate(2019, 8, 28);
    record.time = u"07:45"_s;
    record.source = RecordSource::Card;
    record.detail = u"詳細なし"_s;
    record.reason = u"事由なし"_s;
    EXPECT_EQ(record.line(), u"出勤,山田?花子???[2J?,2019/08/28,07:45,IC記録,詳細なし,事由なし"_s);
}

}  // namespace
}  // namespace tavomi
