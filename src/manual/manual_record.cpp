// Building the manual entry's record: kinds, the after-midnight hours and the hours list.
#include "manual/manual_record.h"

#include "record/vocabulary.h"

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

constexpr int kHoursPerDay = 24;
constexpr int kLastAfterMidnightHour = 4;  // 04:59 is the latest clock-out of the day before

}  // namespace

QString manualSuccessMessage(const QString& person, const QDate& date) {
    return person + u"さんの"_s + recordDateText(date) + u"の出退勤を記録しました"_s;
}

bool offersAfterMidnight(bool clockOut, const QTime& time) {
    return clockOut && time > QTime(0, 0) && time < QTime(kLastAfterMidnightHour + 1, 0);
}

QString afterMidnightTime(const QString& time) {
    for (int hour = 0; hour <= kLastAfterMidnightHour; ++hour) {
        const QString early = QStringLiteral("0%1:").arg(hour);
        if (time.startsWith(early)) {
            return QStringLiteral("%1:").arg(hour + kHoursPerDay) + time.mid(early.size());
        }
    }
    return time;
}

QString manualTimeText(const ManualEntry& entry) {
    QString time = recordTimeText(entry.time);
    if (entry.afterMidnight) {
        time = afterMidnightTime(time);
    }
    if (entry.kind == RecordKind::MidDayAbsence) {
        // With no entry chosen the picker's time stays.
        if (entry.hoursEntry >= 0) {
            time = hoursListTime(entry.hoursEntry);
        }
    }
    return time;
}

std::optional<PunchRecord> buildManualRecord(const ManualEntry& entry) {
    const QString time = manualTimeText(entry);
    if (entry.person.isEmpty() || !entry.kind || time.isEmpty()) {
        return std::nullopt;
    }
    return PunchRecord{
        .kind = *entry.kind,
        .name = entry.person,
        .date = entry.date,
        .time = time,
        .source = RecordSource::Manual,
        .detail = QString::fromUtf16(kNoDetail),
        .reason = reasonField(
            [&](int box) { return entry.reasons.at(std::size_t(box - kFirstReasonBox)); }),
    };
}

}  // namespace tavomi
