#include "files/cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstring>

namespace tavomi {

namespace {

// ICU's converter swaps the control codes 1A, 1C and 7F (an IBM habit);
// Windows does not, so these three are converted here.
bool isRotatedControl(char16_t c) {
    return c == 0x1A || c == 0x1C || c == 0x7F;
}

// ICU's substitute for an unmappable character; no CP932 character encodes so.
constexpr QByteArrayView kIcuSubstitute("\xFC\xFC");

QByteArray encodeOneCodePoint(QStringView codePoint) {
    if (codePoint.size() == 1 && codePoint[0].unicode() < 0x80) {
        return QByteArray(1, static_cast<char>(codePoint[0].unicode()));
    }
    QStringEncoder encoder("CP932", QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(codePoint);
    if (encoder.hasError() || bytes.isEmpty() || bytes == kIcuSubstitute) {
        return QByteArray(1, '?');
    }
    return bytes;
}

bool isLeadByte(uchar b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool isTrailByte(uchar b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// 1 or 2 for a well-formed character at i, 0 for a byte that starts none.
qsizetype characterLength(QByteArrayView bytes, qsizetype i) {
    const auto b = static_cast<uchar>(bytes[i]);
    if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) {
        return 1;
    }
    if (isLeadByte(b) && i + 1 < bytes.size() && isTrailByte(static_cast<uchar>(bytes[i + 1]))) {
        return 2;
    }
    return 0;
}

// A CP932 decoder that says whether a given stretch of bytes held a pair the
// code page leaves unassigned. One converter serves as long as it meets no such
// pair, since opening one costs far more than converting a character; after one
// it is replaced, because Qt keeps an ICU converter's error count over resetState().
class CheckingDecoder {
  public:
    // Appends the text of bytes to out; false (out unchanged) on an unassigned pair.
    bool decodeInto(QByteArrayView bytes, QString& out) {
        if (decoder_.hasError()) {
            decoder_ = QStringDecoder("CP932", QStringConverter::Flag::Stateless);
        } else {
            decoder_.resetState();
        }
        const QString text = decoder_.decode(bytes);
        if (decoder_.hasError()) {
            return false;
        }
        out += text;
        return true;
    }

  private:
    QStringDecoder decoder_{"CP932", QStringConverter::Flag::Stateless};
};

// Bytes made only of well-formed characters; a pair the code page leaves
// unassigned still becomes U+FFFD. Such a pair is narrowed down to its line (LF is
// never the second byte of a pair), then to itself, so that one odd character
// does not make a whole file decode character by character.
QString decodeWellFormed(QByteArrayView bytes) {
    CheckingDecoder decoder;
    QString text;
    if (decoder.decodeInto(bytes, text)) {
        return text;
    }
    for (qsizetype lineStart = 0; lineStart < bytes.size();) {
        const qsizetype lf = bytes.indexOf('\n', lineStart);
        const qsizetype lineEnd = lf < 0 ? bytes.size() : lf + 1;
        const QByteArrayView line = bytes.sliced(lineStart, lineEnd - lineStart);
        if (!decoder.decodeInto(line, text)) {
            for (qsizetype i = 0; i < line.size();) {
                const qsizetype length = std::max<qsizetype>(1, characterLength(line, i));
                if (!decoder.decodeInto(line.sliced(i, length), text)) {
                    text += QChar(QChar::ReplacementCharacter);
                }
                i += length;
            }
        }
        lineStart = lineEnd;
    }
    return text;
}

}  // namespace

QString decodeCp932(QByteArrayView bytes) {
    // ICU turns a malformed byte into U+001A and drops a lead byte at the very
    // end, so the byte structure is checked here and each bad byte becomes U+FFFD.
    QString text;
    text.reserve(bytes.size());
    qsizetype runStart = 0;
    auto flushRun = [&](qsizetype end) {
        if (end > runStart) {
            text += decodeWellFormed(bytes.sliced(runStart, end - runStart));
        }
    };
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = characterLength(bytes, i);
        if (length == 0 || isRotatedControl(static_cast<uchar>(bytes[i]))) {
            flushRun(i);
            text += length == 0 ? QChar::ReplacementCharacter : QChar(bytes[i]);
            runStart = ++i;
        } else {
            i += length;
        }
    }
    flushRun(bytes.size());
    return text;
}

namespace {

// Never a character of CP932's: a unit not looked up yet, and a character whose text is
// not one unit (the whole piece then goes to decodeCp932).
constexpr char16_t kNotLookedUp = 0xFFFF;
constexpr char16_t kNotOneUnit = 0xFFFE;

}  // namespace

Cp932Decoder::Cp932Decoder() : units_(std::make_unique_for_overwrite<char16_t[]>(0x10000)) {
    std::memset(units_.get(), 0xFF, 0x10000 * sizeof(char16_t));
}

QString Cp932Decoder::decode(QByteArrayView bytes) {
    // A character takes at least a byte, so the text is at most as long as the bytes.
    QString text(bytes.size(), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype size = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = characterLength(bytes, i);
        if (length == 0) {
            out[size++] = QChar::ReplacementCharacter;
            ++i;
            continue;
        }
        const auto lead = static_cast<uchar>(bytes[i]);
        const std::size_t key =
            length == 1 ? lead : (std::size_t{lead} << 8 | static_cast<uchar>(bytes[i + 1]));
        char16_t& unit = units_[key];
        if (unit == kNotLookedUp) {
            const QString one = decodeCp932(bytes.sliced(i, length));
            unit =
                one.size() == 1 && one[0].unicode() < kNotOneUnit ? one[0].unicode() : kNotOneUnit;
        }
        if (unit == kNotOneUnit) {
            return decodeCp932(bytes);
        }
        out[size++] = unit;
        i += length;
    }
    text.truncate(size);
    return text;
}

QByteArray encodeCp932(QStringView text) {
    QStringEncoder encoder("CP932", QStringConverter::Flag::Stateless);
    QByteArray whole = encoder.encode(text);
    const bool hasRotatedControl = std::any_of(
        text.begin(), text.end(), [](QChar c) { return isRotatedControl(c.unicode()); });
    if (!encoder.hasError() && !whole.contains(kIcuSubstitute) && !hasRotatedControl) {
        return whole;
    }
    // Something did not map: go code point by code point so each one becomes one '?'.
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length =
            (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                               : 1;
        bytes += encodeOneCodePoint(text.mid(i, length));
        i += length;
    }
    return bytes;
}

}  // namespace tavomi
