#pragma once
// The record of the manual entry screen, built without widgets.

#include "files/punch_journal.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <array>
#include <optional>

namespace tavomi {

// The five kinds in radio-button order (RadioButton1..5): captions and the word
// each puts into a record. A mid-day absence is written 中抜, without the け.
inline constexpr std::array<const char16_t*, 5> kManualKindCaptions = {u"出勤", u"退勤", u"外出",
                                                                       u"戻り", u"中抜け"};
inline constexpr std::array<const char16_t*, 5> kManualKinds = {u"出勤", u"退勤", u"外出", u"戻り",
                                                                u"中抜"};
inline constexpr int kClockOutKind = 1;       // 退勤
inline constexpr int kMidDayAbsenceKind = 4;  // 中抜け

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

// person "さんの" date "の出退勤を記録しました"
QString manualSuccessMessage(const QString& person, const QString& strDate);

// Whether "午前様の退勤です" is offered: a clock-out strictly between 00:00:00
// and 05:00:00. Seconds count, so 00:00:30 set from the clock is offered.
bool offersAfterMidnight(bool clockOut, const QTime& time);

// A clock-out after midnight is recorded under the previous date with the hour
// raised by 24: "00:".."04:" at the start become "24:".."28:", nothing else changes.
QString afterMidnightTime(const QString& time);

// What the screen's controls hold when "この時間で記録" is pressed.
struct ManualEntry {
    QString person;                 // ComboBox1's text; empty when nothing is chosen
    QDate date;                     // DateTimePicker1
    int kind = -1;                  // index into kManualKinds; -1 when none is checked
    QTime time;                     // TimePicker1, seconds included
    bool afterMidnight = false;     // CheckBox2
    int hoursEntry = -1;            // ComboBox2's chosen entry; -1 when none
    std::array<bool, 9> reasons{};  // CheckBox24..CheckBox32
};

QString manualDateText(const QDate& date);  // yyyy/MM/dd

// The time field: the picker's HH:mm, raised after midnight when ticked, and for
// 中抜け replaced by the chosen hours entry. Empty means missing.
QString manualTimeText(const ManualEntry& entry);

// The journal record, or nothing when the person, kind or time is missing.
std::optional<PunchRecord> buildManualRecord(const ManualEntry& entry);

}  // namespace tavomi
