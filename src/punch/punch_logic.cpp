#include "punch/punch_logic.h"

#include <array>

namespace tavomi {

namespace {

constexpr std::array<PunchKindValues, 4> kPunchKinds = {{
    {kKindClockIn, u" さんの出勤時刻を ", true},
    {kKindClockOut, u" さんの退勤時刻を ", true},
    {kKindGoingOut, u" さんの外出時刻を ", false},
    {kKindReturn, u" さんの戻りの時刻を ", false},
}};

constexpr const char16_t* kRecordTail =
    u" で記録します\r\n\r\nカードを取ったら、OKボタンを押してください";

// A record's detail and reason fields are held without their leading comma.
QString withoutLeadingComma(const QString& field) {
    return field.mid(1);
}

}  // namespace

const PunchKindValues& punchKindValues(PunchKind kind) {
    return kPunchKinds.at(static_cast<std::size_t>(kind));
}

QString punchMessage(PunchKind kind, const QString& who, const QDateTime& at) {
    return who + QString::fromUtf16(punchKindValues(kind).phrase) + recordDateText(at.date()) +
           u' ' + recordTimeText(at.time()) + QString::fromUtf16(kRecordTail);
}

PunchRecord punchRecord(PunchKind kind, const QString& who, const QDateTime& at,
                        const IsTicked& isTicked) {
    return PunchRecord{
        QString::fromUtf16(punchKindValues(kind).kind),
        who,
        recordDateText(at.date()),
        recordTimeText(at.time()),
        QString::fromUtf16(kSourceCard),
        withoutLeadingComma(detailField(isTicked)),
        withoutLeadingComma(reasonField(isTicked)),
    };
}

void carryOverSpecialNotes(const IsTicked& isTicked, const std::function<void(int box)>& tick) {
    for (const SpecialNote& note : kSpecialNotes) {
        if (isTicked(note.box)) {
            tick(note.feeds);
        }
    }
}

QString absenceMessage(const QString& who, const QString& length) {
    return who + QString::fromUtf16(u" さんの中抜け時間を ") + length +
           QString::fromUtf16(kRecordTail);
}

PunchRecord absenceRecord(const QString& who, const QDate& date, const QString& length,
                          const IsTicked& isTicked) {
    return PunchRecord{
        QString::fromUtf16(kKindMidDayAbsence),
        who,
        recordDateText(date),
        length,
        QString::fromUtf16(kSourceCard),
        withoutLeadingComma(QString::fromUtf16(kNoDetailField)),
        withoutLeadingComma(reasonField(isTicked)),
    };
}

QString outcomeMessage(WriteOutcome outcome, const QString& written, const QString& busy,
                       const QString& journalMissing) {
    switch (outcome) {
        case WriteOutcome::Busy:
            return busy;
        case WriteOutcome::JournalMissing:
            return journalMissing;
        case WriteOutcome::Written:
            break;
    }
    return written;
}

}  // namespace tavomi
