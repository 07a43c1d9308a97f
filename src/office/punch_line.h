#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>
#include <variant>

namespace tavomi {

enum class RecordKind { ClockIn, ClockOut, GoingOut, Return, MidDayAbsence };

// The word a record writes for the kind: 出勤, 退勤, 外出, 戻り or 中抜.
QString recordKindWord(RecordKind kind);

// One record of keeper.txt, read back.
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

// Why a line of the journal is not a record.
enum class LineProblem {
    Unreadable,  // too few fields, or bytes that are no CP932 text
    UnknownKind,
    BadDate,
    BadTime,
    UnknownSource,
    BadDetail,
    BadReason,
};

// How a report names the problem (読めない行, 不明な区分, ...).
QString lineProblemText(LineProblem problem);

// A line that is not a record, with its decoded text.
struct GarbledLine {
    qint64 line = 0;
    LineProblem problem = LineProblem::Unreadable;
    QString text;
};

// The seven fields of a record line. A name is the only free text a record holds, so
// commas beyond the sixth are taken to belong to it. nullopt: fewer than seven fields.
using RecordFields = std::array<QString, 7>;
std::optional<RecordFields> splitRecordFields(QStringView line);

// A date written as yyyy/MM/dd, leading zeros included, or nullopt.
std::optional<QDate> readRecordDate(QStringView text);

// Reads one decoded line as a record. The line number is left for the caller to set.
std::variant<PunchEvent, LineProblem> readPunchLine(QStringView line);

}  // namespace tavomi
