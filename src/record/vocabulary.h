#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <functional>

namespace tavomi {

// The screens' check boxes are numbered: work categories 1 to 23, leave reasons 24 to 32,
// the punch screen's special notes 33 to 35.
inline constexpr int kFirstCategoryBox = 1;
inline constexpr int kLastCategoryBox = 23;
inline constexpr int kFirstReasonBox = 24;
inline constexpr int kLastReasonBox = 32;
inline constexpr int kFirstSpecialNoteBox = 33;
inline constexpr int kLastSpecialNoteBox = 35;

// A leave reason: its check box number (24..32), caption and code.
struct Reason {
    int box;
    const char16_t* caption;
    const char16_t* code;
};

// A work category: code, check box number, tab page (1..3), caption, and the
// note shown on a line of its own below the caption (or nullptr).
struct WorkCategory {
    const char16_t* code;
    int box;
    int page;
    const char16_t* caption;
    const char16_t* note;
};

// A special note of the punch screen: its box and the box it ticks.
struct SpecialNote {
    int box;
    const char16_t* caption;  // begins with an ideographic space
    int feeds;
};

// In code order, which is also the order in which codes are written.
extern const std::array<Reason, 9> kReasons;
extern const std::array<WorkCategory, 23> kWorkCategories;
extern const std::array<SpecialNote, 3> kSpecialNotes;
extern const std::array<const char16_t*, 3> kCategoryPageCaptions;
inline constexpr const char16_t* kSurveyNote = u"教員勤務実態調査（H28)を参考に作成";

// Whether a reason code takes the teacher away from work (年休, 病休, 職専免 …): every
// reason but 割振変更, which moves working hours rather than leaving them.
bool isLeaveReason(QStringView code);

// Tells whether box n is ticked.
using IsTicked = std::function<bool(int box)>;

// A record's detail field: "詳細" and the codes of the ticked category boxes in code
// order, or "詳細なし".
QString detailField(const IsTicked& isTicked);

// A record's reason field: "事由" and the codes of the ticked reason boxes in box
// order, or "事由なし".
QString reasonField(const IsTicked& isTicked);

// The hours list of a mid-day absence: entry 0 is the prompt "中抜け時間は？",
// entry n (1..8) an absence of n hours.
QStringList hoursList();

// "01:00" to "08:00" for entries 1 to 8; empty text for the prompt or anything else.
QString hoursListTime(int entry);

}  // namespace tavomi
