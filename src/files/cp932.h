#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <memory>

namespace tavomi {

// Bytes of the data files (Shift_JIS, Windows code page 932) to text. A byte that
// starts no character, and a pair the code page leaves unassigned, each become one
// U+FFFD; never throws.
QString decodeCp932(QByteArrayView bytes);

// decodeCp932 for many short pieces, such as a journal's lines: each character's text is
// found once and kept, as opening a converter costs more than a whole line. Gives what
// decodeCp932 gives for the same bytes.
class Cp932Decoder {
  public:
    Cp932Decoder();
    QString decode(QByteArrayView bytes);

  private:
    // By the character's bytes (a lead byte in the high byte for a pair).
    std::unique_ptr<char16_t[]> units_;
};

// Text to CP932 bytes. Each character the code page cannot hold becomes one '?'
// (0x3F), the code page's default character.
QByteArray encodeCp932(QStringView text);

}  // namespace tavomi
