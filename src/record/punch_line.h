#pragma once

#include "record/punch_record.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <variant>

namespace tavomi {

// One record of keeper.txt, read back, as the reports use it.
struct PunchEvent {
    qint64 line = 0;  // 1-based line number in keeper.txt
    RecordKind kind = RecordKind::ClockIn;
    QString name;
    QDate date;
    QString time;            // as written: a clock time (hours up to 28), or a 中抜's length
    int minutes = 0;         // that time in minutes after the date's midnight, or the length
    bool manual = false;     // 手動記録 rather than IC記録
    QStringList categories;  // work category codes, as written
    QStringList reasons;     // reason codes, as written
};

// How a report names the problem (読めない行, 不明な区分, ...).
QString lineProblemText(LineProblem problem);

// A line that is not a record, with its decoded text.
struct GarbledLine {
    qint64 line = 0;
    LineProblem problem = LineProblem::Unreadable;
    QString text;
};

// Reads one decoded line as a record whose detail and reason codes are all in the
// vocabulary. The line number is left for the caller to set.
std::variant<PunchEvent, LineProblem> readPunchLine(QStringView line);

// The work category codes of a detail field (詳細なし, 詳細bchm1) and the reason codes of a
// reason field (事由なし, 事由年休), as written; nullopt when the field is not such.
std::optional<QStringList> readDetailCodes(QStringView field);
std::optional<QStringList> readReasonCodes(QStringView field);

}  // namespace tavomi
