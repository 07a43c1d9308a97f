#pragma once
// What the punch screen and the mid-day absence screen write and say, without widgets.

#include "files/punch_journal.h"
#include "record/punch_record.h"
#include "record/vocabulary.h"
#include "spool/journal_writer.h"

#include <QDateTime>
#include <QString>

namespace tavomi {

// What differs between the punch screen's four buttons, one for each of the kinds
// ClockIn, ClockOut, GoingOut and Return.
struct PunchKindValues {
    RecordKind kind;
    const char16_t* phrase;  // between the name and the time in the message
    bool carriesOver;        // whether the special notes tick the boxes they feed
};

// The values of one of the four buttons' kinds; throws std::out_of_range for a mid-day
// absence, which has a screen of its own.
const PunchKindValues& punchKindValues(RecordKind kind);

// Messages of the card screens (CR LF line breaks).
inline constexpr const char16_t* kRemoveCardMessage = u"カードを取って、OKボタンを押してください";
inline constexpr const char16_t* kPunchBusyMessage =
    u"記録用のファイルが使用中で、時間を書き込むことができませんでした\r\n\r\n "
    u"もう一度記録してください";
inline constexpr const char16_t* kAbsenceBusyMessage =
    u"記録用のファイルが使用されており、時間を書き込むことができませんでした\r\n\r\n "
    u"もう一度記録してください";
inline constexpr const char16_t* kCardJournalMissingMessage =
    u"記録用のファイルがみつかりません カードをとってOKボタンで戻ってください";

// "<who> さんの出勤時刻を 2019/08/28 07:45 で記録します", a blank line, and the
// request to take the card.
QString punchMessage(RecordKind kind, const QString& who, const QDateTime& at);

// The record of a punch at one clock reading; detail and reason from the boxes.
PunchRecord punchRecord(RecordKind kind, const QString& who, const QDateTime& at,
                        const IsTicked& isTicked);

// Calls tick(feeds) for every ticked special note: the boxes a note stands for.
void carryOverSpecialNotes(const IsTicked& isTicked, const std::function<void(int box)>& tick);

// "<who> さんの中抜け時間を 03:00 で記録します", a blank line, the request to take the card.
QString absenceMessage(const QString& who, const QString& length);

// 中抜 with the length in the time field; never any category code.
PunchRecord absenceRecord(const QString& who, const QDate& date, const QString& length,
                          const IsTicked& isTicked);

// The confirmation box's text after a card screen's write: the success message (with
// the kept-on-this-PC note when the spool holds it), or the screen's own busy or
// missing-journal wording. Not for a failure, which is reported as an error.
QString outcomeMessage(WriteResult::Kind outcome, const QString& written, const QString& busy,
                       const QString& journalMissing);

}  // namespace tavomi
