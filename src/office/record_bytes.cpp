#include "office/record_bytes.h"

#include "office/line_bytes.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstring>

namespace tavomi {

namespace {

int digitsValue(const char* d, int n) {
    int value = 0;
    for (int i = 0; i < n; ++i) {
        value = value * 10 + (d[i] - '0');
    }
    return value;
}

}  // namespace

KindBytes::KindBytes() {
    for (const RecordKindWord& word : kRecordKindWords) {
        const QByteArray bytes = encodeCp932(QStringView(word.word));
        std::memcpy(&bytes_[static_cast<std::size_t>(word.kind)], bytes.constData(), 4);
    }
}

std::optional<RecordKind> KindBytes::at(const char* p) const {
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, p, 4);
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
    char16_t time[5];
    std::copy(t, t + 5, time);
    return readRecordMinutes(kind, QStringView(time, 5));
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
    std::array<const char*, 7> field{data};  // where each starts
    for (std::size_t f = 1; f < field.size(); ++f) {
        const char* comma = findByte(field[f - 1], end, ',');
        if (comma == nullptr) {
            return std::nullopt;
        }
        field[f] = comma + 1;
    }
    // A seventh comma: a name that holds one, which readPunchLine puts together.
    if (findByte(field[6], end, ',') != nullptr) {
        return std::nullopt;
    }
    const auto size = [&](std::size_t f) {
        return (f + 1 < field.size() ? field[f + 1] - 1 : end) - field[f];
    };
    const auto text = [&](std::size_t f) {
        return std::string_view(field[f], static_cast<std::size_t>(size(f)));
    };
    if (size(0) != 4 || size(2) != 10 || size(3) != 5 || !looksLikeDate(field[2])) {
        return std::nullopt;
    }
    const auto kind = kinds_.at(field[0]);
    const auto date = kind ? dateAt(field[2]) : std::nullopt;
    const auto minutes = date ? minutesAt(*kind, field[3]) : std::nullopt;
    const std::string_view source = text(4);
    if (!minutes || (source != card_ && source != manual_)) {
        return std::nullopt;
    }
    const QString* name =
        decoded(names_, text(1), [](const QString& t) { return std::optional(t); });
    const QStringList* categories =
        decoded(details_, text(5), [](const QString& t) { return readDetailCodes(t); });
    const QStringList* reasons =
        decoded(reasons_, text(6), [](const QString& t) { return readReasonCodes(t); });
    if (!name || !categories || !reasons) {
        return std::nullopt;
    }
    PunchEvent event;
    event.kind = *kind;
    event.name = *name;
    event.date = *date;
    event.time = timeText(field[3]);
    event.minutes = *minutes;
    event.manual = source == manual_;
    event.categories = *categories;
    event.reasons = *reasons;
    return event;
}

QString RecordBytesReader::timeText(const char* t) {
    std::uint64_t key = 0;
    std::memcpy(&key, t, 5);
    auto found = times_.find(key);
    if (found == times_.end()) {
        found = times_.emplace(key, QString::fromLatin1(t, 5)).first;
    }
    return found->second;
}

}  // namespace tavomi
