#include "record/record_bytes.h"

#include "record/line_bytes.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstring>

namespace tavomi {

KindBytes::KindBytes() {
    for (const RecordKindWord& word : kRecordKindWords) {
        const QByteArray bytes = encodeCp932(QStringView(word.word));
        std::memcpy(&bytes_[static_cast<std::size_t>(word.kind)], bytes.constData(), kKindBytes);
    }
}

std::optional<RecordKind> KindBytes::at(const char* p) const {
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, p, kKindBytes);
    const auto kind = std::find(bytes_.begin(), bytes_.end(), bytes);
    if (kind == bytes_.end()) {
        return std::nullopt;
    }
    return static_cast<RecordKind>(kind - bytes_.begin());
}

std::optional<QDate> dateAt(const char* d) {
    const QDate date(digitsValue(d, 4), digitsValue(d + 5, 2), digitsValue(d + 8, 2));
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

std::optional<int> minutesAt(RecordKind kind, const char* t) {
    char16_t time[kTimeBytes];
    std::copy(t, t + kTimeBytes, time);
    return readRecordMinutes(kind, QStringView(time, kTimeBytes));
}

RecordBytesReader::RecordBytesReader(Cp932Decoder& decoder, const KindBytes& kinds)
    : decoder_(decoder),
      kinds_(kinds),
      card_(encodeCp932(QStringView(kSourceCard)).toStdString()),
      manual_(encodeCp932(QStringView(kSourceManual)).toStdString()) {}

// What `read` made of the field's decoded text the first time it was seen; nullptr
// when the bytes are no CP932 text or `read` made nothing of them.
template <typename Value, typename Read>
const Value* RecordBytesReader::decoded(ByBytes<std::optional<Value>>& seen, std::string_view bytes,
                                        Read&& read) {
    auto found = seen.find(bytes);
    if (found == seen.end()) {
        const QString text = decoder_.decode(QByteArrayView(bytes.data(), bytes.size()));
        std::optional<Value> value;
        if (!text.contains(QChar(QChar::ReplacementCharacter))) {
            value = read(text);
        }
        found = seen.emplace(std::string(bytes), std::move(value)).first;
    }
    return found->second ? &*found->second : nullptr;
}

std::optional<PunchEvent> RecordBytesReader::read(const char* data, const char* end) {
    std::array<const char*, kRecordFieldCount> starts{data};
    for (std::size_t f = 1; f < starts.size(); ++f) {
        const char* comma = findByte(starts[f - 1], end, ',');
        if (comma == nullptr) {
            return std::nullopt;
        }
        starts[f] = comma + 1;
    }
    // One comma more: a name that holds one, which readPunchLine puts together.
    if (findByte(starts.back(), end, ',') != nullptr) {
        return std::nullopt;
    }
    const auto at = [&](RecordField f) { return starts[fieldIndex(f)]; };
    const auto size = [&](RecordField f) {
        const std::size_t i = fieldIndex(f);
        return static_cast<std::size_t>((i + 1 < starts.size() ? starts[i + 1] - 1 : end) -
                                        starts[i]);
    };
    const auto text = [&](RecordField f) { return std::string_view(at(f), size(f)); };
    if (size(RecordField::Kind) != kKindBytes || size(RecordField::Date) != kDateBytes ||
        size(RecordField::Time) != kTimeBytes || !looksLikeDate(at(RecordField::Date))) {
        return std::nullopt;
    }
    const auto kind = kinds_.at(at(RecordField::Kind));
    const auto date = kind ? dateAt(at(RecordField::Date)) : std::nullopt;
    const auto minutes = date ? minutesAt(*kind, at(RecordField::Time)) : std::nullopt;
    const std::string_view source = text(RecordField::Source);
    if (!minutes || (source != card_ && source != manual_)) {
        return std::nullopt;
    }
    const QString* name =
        decoded(names_, text(RecordField::Name), [](const QString& t) { return std::optional(t); });
    const QStringList* categories = decoded(details_, text(RecordField::Detail),
                                            [](const QString& t) { return readDetailCodes(t); });
    const QStringList* reasons = decoded(reasons_, text(RecordField::Reason),
                                         [](const QString& t) { return readReasonCodes(t); });
    if (!name || !categories || !reasons) {
        return std::nullopt;
    }
    PunchEvent event;
    event.kind = *kind;
    event.name = *name;
    event.date = *date;
    event.time = timeText(at(RecordField::Time));
    event.minutes = *minutes;
    event.manual = source == manual_;
    event.categories = *categories;
    event.reasons = *reasons;
    return event;
}

QString RecordBytesReader::timeText(const char* t) {
    std::uint64_t key = 0;
    std::memcpy(&key, t, kTimeBytes);
    auto found = times_.find(key);
    if (found == times_.end()) {
        found = times_.emplace(key, QString::fromLatin1(t, kTimeBytes)).first;
    }
    return found->second;
}

}  // namespace tavomi
