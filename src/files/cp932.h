#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace tavomi {

// Bytes of the data files (Shift_JIS, Windows code page 932) to text. Bytes
// that are not valid CP932 become U+FFFD, one per
// byte that starts no character; never throws.
QString decodeCp932(QByteArrayView bytes);

// Text to CP932 bytes. Each character the code page cannot hold becomes one '?'
// (0x3F), the code page's default character.
QByteArray encodeCp932(QStringView text);

}  // namespace tavomi
