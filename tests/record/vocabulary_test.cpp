#include "record/vocabulary.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

IsTicked ticked(std::set<int> boxes) {
    return [boxes = std::move(boxes)](int box) { return boxes.count(box) > 0; };
}

struct FieldCase {
    const char* what;
    std::set<int> boxes;
    const char16_t* detail;
    const char16_t* reason;
};

class FieldBuilders : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldBuilders, WriteCodesInCodeOrderWhateverIsTicked) {
    const FieldCase& c = GetParam();
    EXPECT_EQ(detailField(ticked(c.boxes)), QString::fromUtf16(c.detail));
    EXPECT_EQ(reasonField(ticked(c.boxes)), QString::fromUtf16(c.reason));
}

std::set<int> allBoxes() {
    std::set<int> boxes;
    for (int box = 1; box <= 35; ++box) {
        boxes.insert(box);
    }
    return boxes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldBuilders,
    ::testing::Values(FieldCase{"nothing", {}, u"詳細なし", u"事由なし"},
                      // g is box 23 but sorts between f and h; m1 is box 12.
                      FieldCase{"b c h m1", {12, 7, 3, 2}, u"詳細bchm1", u"事由なし"},
                      FieldCase{"f g h", {7, 23, 6}, u"詳細fgh", u"事由なし"},
                      FieldCase{"割振 is the code of 割振変更", {24}, u"詳細なし", u"事由割振"},
                      FieldCase{"年休 その他", {32, 25}, u"詳細なし", u"事由年休その他"},
                      // Special notes (33..35) are never written themselves.
                      FieldCase{"special notes only", {33, 34, 35}, u"詳細なし", u"事由なし"},
                      FieldCase{"everything", allBoxes(), u"詳細abcdefghijklm1m2nopqrstuv",
                                u"事由割振年休病休特休介護組合職専免育短その他"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(Vocabulary, BoxesAreNumberedOnceAndPagesFollowCodeOrder) {
    std::set<int> seen;
    int lastPage = 1;
    for (const WorkCategory& category : kWorkCategories) {
        EXPECT_TRUE(seen.insert(category.box).second) << category.box;
        EXPECT_GE(category.page, lastPage);
        lastPage = category.page;
    }
    for (const Reason& reason : kReasons) {
        EXPECT_TRUE(seen.insert(reason.box).second) << reason.box;
    }
    EXPECT_EQ(seen.size(), 32u);
    EXPECT_EQ(*seen.begin(), 1);
    EXPECT_EQ(*seen.rbegin(), 32);
}

TEST(Vocabulary, SpecialNotesFeedTheirBoxesAndStartWithAnIdeographicSpace) {
    const std::vector<std::pair<int, int>> expected = {{33, 25}, {34, 24}, {35, 7}};
    ASSERT_EQ(kSpecialNotes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(kSpecialNotes[i].box, expected[i].first);
        EXPECT_EQ(kSpecialNotes[i].feeds, expected[i].second);
        EXPECT_EQ(QString::fromUtf16(kSpecialNotes[i].caption).front(), QChar(0x3000));
    }
}

TEST(Vocabulary, HoursListIsThePromptThenOneToEightHours) {
    const QStringList list = hoursList();
    ASSERT_EQ(list.size(), 9);
    EXPECT_EQ(list[0], u"中抜け時間は？"_s);
    EXPECT_EQ(list[1], u"１時間"_s);
    EXPECT_EQ(list[8], u"８時間"_s);
    const std::vector<std::pair<int, QString>> times = {{-1, ""},     {0, ""},      {1, "01:00"},
                                                        {3, "03:00"}, {8, "08:00"}, {9, ""}};
    for (const auto& [entry, time] : times) {
        EXPECT_EQ(hoursListTime(entry), time) << entry;
    }
}

}  // namespace
}  // namespace tavomi
