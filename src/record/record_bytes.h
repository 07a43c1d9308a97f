#pragma once
// A journal record read from its bytes, for the lines a month report reads by the hundred
// thousand: the kind, date and time of each, and the whole of the period's.

#include "files/cp932.h"
#include "record/punch_line.h"
#include "record/punch_record.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tavomi {

// The record kinds by their four CP932 bytes.
class KindBytes {
  public:
    KindBytes();

    // The kind whose word the four bytes at p are.
    std::optional<RecordKind> at(const char* p) const;

  private:
    std::array<std::uint32_t, kRecordKindWords.size()> bytes_{};
};

// The date of ten bytes that looksLikeDate, when it is a date of the calendar.
std::optional<QDate> dateAt(const char* d);

// The minutes of a time field of five bytes, as readRecordMinutes takes them.
std::optional<int> minutesAt(RecordKind kind, const char* t);

struct BytesHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// By a text's bytes, looked up with a string_view.
template <typename Value>
using ByBytes = std::unordered_map<std::string, Value, BytesHash, std::equal_to<>>;

// Reads a line from its bytes when it has the shape nearly every line has: seven fields,
// of which the kind, date, time and source as the time clock writes them, and a name and
// code fields that decode and read. Each distinct name, time and code field is decoded
// once, and the events share its text. Anything else (nullopt) is left to readPunchLine,
// which says what is wrong; a line read here reads the same there. The line's buffer must
// allow reading 15 bytes past `end` (findByte).
class RecordBytesReader {
  public:
    RecordBytesReader(Cp932Decoder& decoder, const KindBytes& kinds);

    std::optional<PunchEvent> read(const char* data, const char* end);

  private:
    template <typename Value, typename Read>
    const Value* decoded(ByBytes<std::optional<Value>>& seen, std::string_view bytes, Read&& read);
    QString timeText(const char* t);

    Cp932Decoder& decoder_;
    const KindBytes& kinds_;
    const std::string card_;
    const std::string manual_;
    ByBytes<std::optional<QString>> names_;
    ByBytes<std::optional<QStringList>> details_;
    ByBytes<std::optional<QStringList>> reasons_;
    std::unordered_map<std::uint64_t, QString> times_;
};

}  // namespace tavomi
