#pragma once
// The record of the manual entry screen, built without widgets.

#include "record/punch_record.h"
#include "record/vocabulary.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <array>
#include <optional>

namespace tavomi {

// The five kinds the screen records, in the order of its radio buttons, with their
// captions (a mid-day absence is captioned 中抜け, but written 中抜).
struct ManualKindCaption {
    RecordKind kind;
    const char16_t* caption;
};

inline constexpr std::array<ManualKindCaption, 5> kManualKinds = {{
    {RecordKind::ClockIn, u"出勤"},
    {RecordKind::ClockOut, u"退勤"},
    {RecordKind::GoingOut, u"外出"},
    {RecordKind::Return, u"戻り"},
    {RecordKind::MidDayAbsence, u"中抜け"},
}};
static_assert(
    [] {
        for (std::size_t i = 0; i < kManualKinds.size(); ++i) {
            if (static_cast<std::size_t>(kManualKinds[i].kind) != i) {
                return false;
            }
        }
        return true;
    }(),
    "kManualKinds is indexed by RecordKind");

// The confirmation box texts of this screen (they differ from the card screens').
inline constexpr const char16_t* kManualMissingValuesMessage =
    u"人　日時　出退勤　中抜け時間 のいずれかが確認できません";
inline constexpr const char16_t* kManualBusyMessage =
    u"記録用のファイルが使用されていて、時間を書き込むことができませんでした\r\n\r\n "
    u"もう一度記録してください";
inline constexpr const char16_t* kManualJournalMissingMessage =
    u"記録用のファイルがみつかりません\r\n\r\n OKボタンで戻ってください";
inline constexpr const char16_t* kRecordDateNoWorkingHoursMessage =
    u"記録日の勤務時間が確認できません。\r\n\r\n「設定・その他」 "
    u"から記録日の勤務時間の設定を行ってください";

// person "さんの" yyyy/MM/dd "の出退勤を記録しました"
QString manualSuccessMessage(const QString& person, const QDate& date);

// Whether "午前様の退勤です" is offered: a clock-out strictly between 00:00:00
// and 05:00:00. Seconds count, so 00:00:30 set from the clock is offered.
bool offersAfterMidnight(bool clockOut, const QTime& time);

// A clock-out after midnight is recorded under the previous date with the hour
// raised by a day: "00:".."04:" at the start become "24:".."28:", nothing else changes.
QString afterMidnightTime(const QString& time);

// What the screen's controls hold when "この時間で記録" is pressed.
struct ManualEntry {
    QString person;  // the chosen name; empty when nothing is chosen
    QDate date;
    std::optional<RecordKind> kind;  // none when no kind is checked
    QTime time;                      // the time picker's, seconds included
    bool afterMidnight = false;      // "午前様の退勤です" ticked
    int hoursEntry = -1;             // the chosen entry of the hours list; -1 when none
    std::array<bool, kReasons.size()> reasons{};  // ticked reason boxes, in the order of kReasons
};

// The time field: the picker's HH:mm, raised after midnight when ticked, and for
// 中抜け replaced by the chosen hours entry. Empty means missing.
QString manualTimeText(const ManualEntry& entry);

// The journal record, or nothing when the person, kind or time is missing.
std::optional<PunchRecord> buildManualRecord(const ManualEntry& entry);

}  // namespace tavomi
