#pragma once
// The shape of a journal line, shared by everything that writes or reads one: seven
// unquoted comma-separated fields, of which only the name may hold further commas.
// Byte widths are those the time clock writes in CP932 (dates and times are ASCII).

#include <cstddef>

namespace tavomi {

enum class RecordField : std::size_t { Kind, Name, Date, Time, Source, Detail, Reason };

inline constexpr std::size_t kRecordFieldCount = 7;

constexpr std::size_t fieldIndex(RecordField field) {
    return static_cast<std::size_t>(field);
}

// A field's place counted from the line's end (the last field is 1): the fields after the
// name stay where they are when the name holds a comma.
constexpr std::size_t fieldFromEnd(RecordField field) {
    return kRecordFieldCount - fieldIndex(field);
}

inline constexpr std::size_t kKindBytes = 4;   // two double-byte characters: 出勤
inline constexpr std::size_t kDateBytes = 10;  // 2019/08/28
inline constexpr std::size_t kTimeBytes = 5;   // 07:45

}  // namespace tavomi
