#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <filesystem>
#include <vector>

namespace tavomi {

// One row of a hidden table: column 0 the line number, columns 1..4 the line's
// first four fields. An empty field is " "; a field the line lacks stays empty.
using TableRow = std::array<QString, 5>;
using Table = std::vector<TableRow>;

// Splits text at CR, LF or CR LF; a line break at the very end adds no line.
QStringList splitLines(const QString& text);

// Fills a row from "<rowNumber>,<line>" by the comma-text rules.
TableRow commaTextRow(int rowNumber, QStringView line);

// All fields of a line by the same rules, however many; an empty field stays empty and a
// blank line has none.
QStringList commaTextFields(QStringView line);

// Reads a whole data file (CP932) into lines, holding a shared lock while it
// reads. Throws FileError when the file cannot be opened or read.
QStringList readDataFileLines(const std::filesystem::path& path);

// The rows of all lines; empty when the file has fewer than two lines (only a
// header, or nothing), since such a file holds no data.
Table tableOfLines(const QStringList& lines);

// The data rows of a file, header left out, each as Row::fromTableRow reads it; none
// when the file has only a header. Throws FileError when it cannot be read.
template <typename Row>
std::vector<Row> readDataRows(const std::filesystem::path& file) {
    const Table table = tableOfLines(readDataFileLines(file));
    std::vector<Row> rows;
    for (std::size_t row = 1; row < table.size(); ++row) {
        rows.push_back(Row::fromTableRow(table[row]));
    }
    return rows;
}

}  // namespace tavomi
