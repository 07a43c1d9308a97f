#include "punch/punch_logic.h"

#include <array>
#include "dialogs/kept_note.h"

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// Indexed by RecordKind.
constexpr std::array<PunchKindValues, 4> kPunchKinds = {{
    {RecordKind::ClockIn, u" さんの出勤時刻を ", true},
    {RecordKind::ClockOut, u" さんの退勤時刻を ", true},
    {RecordKind::GoingOut, u" さんの外出時刻を ", false},
    {RecordKind::Return, u" さんの戻りの時刻を ", false},
}};
static_assert(
    [] {
        for (std::size_t i = 0; i < kPunchKinds.size(); ++i) {
            if (static_cast<std::size_t>(kPunchKinds[i].kind) != i) {
                return false;
            }
        }
        return true;
    }(),
    "kPunchKinds is indexed by RecordKind");

constexpr const char16_t* kRecordTail =
    u" で記録します\r\n\r\nカードを取ったら、OKボタンを押してください";

}  // namespace

const PunchKindValues& punchKindValues(RecordKind kind) {
    return kPunchKinds.at(static_cast<std::size_t>(kind));
}

QString punchMessage(RecordKind kind, const QString& who, const QDateTime& at) {
    return who + QString::fromUtf16(punchKindValues(kind).phrase) + recordDateText(at.date()) +
           u' ' + recordTimeText(at.time()) + QString::fromUtf16(kRecordTail);
}

PunchRecord punchRecord(RecordKind kind, const QString& who, const QDateTime& at,
                        const IsTicked& isTicked) {
    return PunchRecord{
        punchKindValues(kind).kind,
        who,
        at.date(),
        recordTimeText(at.time()),
        RecordSource::Card,
        detailField(isTicked),
        reasonField(isTicked),
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
    return who + u" さんの中抜け時間を "_s + length + QString::fromUtf16(kRecordTail);
}

PunchRecord absenceRecord(const QString& who, const QDate& date, const QString& length,
                          const IsTicked& isTicked) {
    return PunchRecord{
        RecordKind::MidDayAbsence,
        who,
        date,
        length,
        RecordSource::Card,
        QString::fromUtf16(kNoDetail),
        reasonField(isTicked),
    };
}

QString outcomeMessage(WriteResult::Kind outcome, const QString& written, const QString& busy,
                       const QString& journalMissing) {
    switch (outcome) {
        case WriteResult::Kind::Busy:
            return busy;
        case WriteResult::Kind::JournalMissing:
            return journalMissing;
        case WriteResult::Kind::Kept:
            return written + QString::fromUtf16(kKeptOnThisPcNote);
        case WriteResult::Kind::Written:
        case WriteResult::Kind::Failed:
            break;
    }
    return written;
}

}  // namespace tavomi
