#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace tavomi {

// Bytes of the data files (Shift_JIS, Windows code page 932) to text. A byte that
// starts no character, and a pair the code page leaves unassigned, each become one
// U+FFFD; never throws.
QString decodeCp932(QByteArrayView bytes);

// Text to CP932 bytes. Each character the code page cannot hold becomes one '?'
// (0x3F), the code page's default character.
QByteArray encodeCp932(QStringView text);

}  // namespace tavomi
