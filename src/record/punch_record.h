#pragma once
// The record of keeper.txt: its kinds and field words, how a record is written as a line,
// and how a line is read back into one (record_layout.h has the line's shape).

#include "files/data_dates.h"
#include "record/record_layout.h"

#include <QDate>
#include <QString>
#include <QStringView>
#include <QTime>

#include <array>
#include <cstdint>
#include <optional>
#include <variant>

namespace tavomi {

// A record's first field: what happened.
enum class RecordKind : std::uint8_t { ClockIn, ClockOut, GoingOut, Return, MidDayAbsence };

struct RecordKindWord {
    RecordKind kind;
    const char16_t* word;
};

// Indexed by RecordKind. A mid-day absence's time field is a length.
inline constexpr std::array<RecordKindWord, 5> kRecordKindWords = {{
    {RecordKind::ClockIn, u"出勤"},
    {RecordKind::ClockOut, u"退勤"},
    {RecordKind::GoingOut, u"外出"},
    {RecordKind::Return, u"戻り"},
    {RecordKind::MidDayAbsence, u"中抜"},
}};

// The word a record writes for the kind: 出勤, 退勤, 外出, 戻り or 中抜.
QString recordKindWord(RecordKind kind);

// How the record was made: with a card, or on the manual entry screen.
enum class RecordSource { Card, Manual };
inline constexpr const char16_t* kSourceCard = u"IC記録";
inline constexpr const char16_t* kSourceManual = u"手動記録";

// The heads of the detail and reason fields: the head and the codes ("詳細bch",
// "事由年休"), or the head's "none" word when no code is written.
inline constexpr const char16_t* kDetailHead = u"詳細";
inline constexpr const char16_t* kNoDetail = u"詳細なし";
inline constexpr const char16_t* kReasonHead = u"事由";
inline constexpr const char16_t* kNoReason = u"事由なし";

// A record's time in minutes: after the date's midnight for a clock time (hours up to 28,
// as a clock-out after midnight is written under the day before), or the length of a
// mid-day absence (more than nothing, at most a day). nullopt when it is neither.
std::optional<int> readRecordMinutes(RecordKind kind, QStringView time);

// One line of keeper.txt: seven unquoted comma-separated fields. detail and
// reason carry their words without a leading comma ("詳細bch", "事由なし").
struct PunchRecord {
    RecordKind kind = RecordKind::ClockIn;
    QString name;
    QDate date;
    QString time;  // HH:mm, or a length such as 02:00 for 中抜
    RecordSource source = RecordSource::Card;
    QString detail;
    QString reason;

    QString line() const;

    bool operator==(const PunchRecord&) const = default;
};

// Why a line of the journal is not a record.
enum class LineProblem {
    Unreadable,  // too few fields, or bytes that are no CP932 text
    UnknownKind,
    BadDate,
    BadTime,
    UnknownSource,
    BadDetail,  // neither 詳細なし nor 詳細 with something after it
    BadReason,  // likewise for 事由
};

// The seven fields of a record line, by RecordField. A name is the only free text a record
// holds, so commas beyond the sixth are taken to belong to it. nullopt: fewer than seven.
struct RecordFields {
    std::array<QString, kRecordFieldCount> texts;
    const QString& operator[](RecordField field) const { return texts[fieldIndex(field)]; }
    QString& operator[](RecordField field) { return texts[fieldIndex(field)]; }
};
std::optional<RecordFields> splitRecordFields(QStringView line);

// Reads one decoded line back into the record that line() wrote. The codes after the
// detail and reason heads are left to whoever knows the vocabulary.
std::variant<PunchRecord, LineProblem> readPunchRecord(QStringView line);

}  // namespace tavomi
