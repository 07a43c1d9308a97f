#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace tavomi {

// Columns a text takes on a terminal: two for a wide (full-width) character, one otherwise.
int displayWidth(QStringView text);

// A table for the terminal: columns padded to their widest cell, two spaces apart, no
// trailing blanks; each row ends with a line break.
QString textTable(const QStringList& header, const std::vector<QStringList>& rows);

}  // namespace tavomi
