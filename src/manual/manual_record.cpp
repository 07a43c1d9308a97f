// Unit6's record building: kinds, the after-midnight hours and the hours list.
#include "manual/manual_record.h"

#include "punch/vocabulary.h"

namespace tavomi {

QString manualSuccessMessage(const QString& person, const QString& strDate) {
    return person + QString::fromUtf16(u"さんの") + strDate +
           QString::fromUtf16(u"の出退勤を記録しました");
}

bool offersAfterMidnight(bool clockOut, const QTime& time) {
    return clockOut && time > QTime(0, 0) && time < QTime(5, 0);
}

QString afterMidnightTime(const QString& time) {
    for (int hour = 0; hour <= 4; ++hour) {
        const QString early = QStringLiteral("0%1:").arg(hour);
        if (time.startsWith(early)) {
            return QStringLiteral("%1:").arg(hour + 24) + time.mid(early.size());
        }
    }
    return time;
}

QString manualDateText(const QDate& date) {
    return recordDateText(date);
}

QString manualTimeText(const ManualEntry& entry) {
    QString time = recordTimeText(entry.time);
    if (entry.afterMidnight) {
        time = afterMidnightTime(time);
    }
    if (entry.kind == kMidDayAbsenceKind) {
        // With no entry chosen the picker's time stays.
        if (entry.hoursEntry >= 0) {
            time = hoursListTime(entry.hoursEntry);
        }
    }
    return time;
}

std::optional<PunchRecord> buildManualRecord(const ManualEntry& entry) {
    const QString time = manualTimeText(entry);
    if (entry.person.isEmpty() || entry.kind < 0 || entry.kind >= int(kManualKinds.size()) ||
        time.isEmpty()) {
        return std::nullopt;
    }
    const QString reason =
        reasonField([&](int box) { return entry.reasons.at(std::size_t(box - kFirstReasonBox)); });
    return PunchRecord{
        .kind = QString::fromUtf16(kManualKinds[std::size_t(entry.kind)]),
        .name = entry.person,
        .date = manualDateText(entry.date),
        .time = time,
        .source = QString::fromUtf16(kSourceManual),
        .detail = QString::fromUtf16(kNoDetailField).mid(1),
        .reason = reason.mid(1),  // the record adds its own separator
    };
}

}  // namespace tavomi
