// A journal line read as a report's event: the codes after the detail and reason heads.
#include "record/punch_line.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

TEST(PunchLine, SplitsTheCodesAndCountsTheMinutes) {
    const auto read =
        readPunchLine(u"退勤,山田,2019/08/28,25:30,手動記録,詳細gm1m2,事由年休その他"_s);
    ASSERT_TRUE(std::holds_alternative<PunchEvent>(read));
    const PunchEvent& event = std::get<PunchEvent>(read);
    EXPECT_EQ(event.kind, RecordKind::ClockOut);
    EXPECT_EQ(event.date, QDate(2019, 8, 28));
    EXPECT_EQ(event.time, QStringLiteral("25:30"));
    EXPECT_EQ(event.minutes, 25 * 60 + 30);
    EXPECT_TRUE(event.manual);
    EXPECT_EQ(event.categories, (QStringList{"g", "m1", "m2"}));
    EXPECT_EQ(event.reasons, (QStringList{u"年休"_s, u"その他"_s}));
}

TEST(PunchLine, RefusesACodeOutsideTheVocabulary) {
    const struct {
        const char16_t* line;
        LineProblem problem;
    } cases[] = {
        {u"出勤,山田,2019/08/28,07:45,IC記録,詳細bz,事由なし", LineProblem::BadDetail},
        {u"出勤,山田,2019/08/28,07:45,IC記録,詳細m,事由なし", LineProblem::BadDetail},
        {u"出勤,山田,2019/08/28,07:45,IC記録,詳細なし,事由年休旅行", LineProblem::BadReason},
    };
    for (const auto& c : cases) {
        const auto read = readPunchLine(QString::fromUtf16(c.line));
        ASSERT_TRUE(std::holds_alternative<LineProblem>(read))
            << QString::fromUtf16(c.line).toStdString();
        EXPECT_EQ(std::get<LineProblem>(read), c.problem)
            << QString::fromUtf16(c.line).toStdString();
    }
}

}  // namespace
}  // namespace tavomi
