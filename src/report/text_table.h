#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace tavomi {

// Text from the data files as a terminal (or a table) may show it: control characters
// as their pictures (␉, ␚, ␛), so that no escape sequence or carriage return reaches it.
QString withControlPictures(QString text);

// Columns a text takes on a terminal: two for a wide (full-width) character, one otherwise.
int displayWidth(QStringView text);

// A table for the terminal: columns padded to their widest cell, two spaces apart, no
// trailing blanks; each row ends with a line break.
QString textTable(const QStringList& header, const std::vector<QStringList>& rows);

}  // namespace tavomi
