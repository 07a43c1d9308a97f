#include "files/comma_text.h"

#include "files/cp932.h"
#include "files/data_file_io.h"
#include "files/file_error.h"
#include "files/unique_fd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace tavomi {

namespace {

bool isBlank(QChar c) {
    return c.unicode() >= 1 && c.unicode() <= 32;
}

// Cursor over the text; a NUL character ends the text, as it ends a C string.
class Scanner {
  public:
    explicit Scanner(QStringView text) : text_(text) {
        if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0) {
            text_ = text.left(nul);
        }
    }

    bool atEnd() const { return pos_ >= text_.size(); }
    QChar peek(qsizetype ahead = 0) const {
        return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : QChar(0);
    }
    void skipBlanks() {
        while (!atEnd() && isBlank(peek())) {
            ++pos_;
        }
    }

    // A field in double quotes: doubled quotes stand for one; without a closing
    // quote the field runs to the end of the text.
    QString quotedField() {
        QString field;
        ++pos_;
        while (!atEnd()) {
            const QChar c = text_[pos_++];
            if (c != u'"') {
                field += c;
            } else if (peek() == u'"') {
                field += c;
                ++pos_;
            } else {
                break;
            }
        }
        return field;
    }

    QString plainField() {
        const qsizetype start = pos_;
        while (!atEnd() && !isBlank(peek()) && peek() != u',') {
            ++pos_;
        }
        return text_.mid(start, pos_ - start).toString();
    }

    // Consumes a comma, if one comes next, and the blanks after it. True when that
    // comma is the text's last character: an empty last field follows it.
    bool takeComma() {
        if (peek() != u',') {
            return false;
        }
        const bool last = pos_ + 1 >= text_.size();
        ++pos_;
        skipBlanks();
        return last;
    }

  private:
    QStringView text_;
    qsizetype pos_ = 0;
};

}  // namespace

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') {
            continue;
        }
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        lines.append(text.mid(start));
    }
    return lines;
}

namespace {

// Hands each field of the text to `add`, in order.
template <typename Add>
void scanFields(QStringView text, Add add) {
    Scanner scan(text);
    scan.skipBlanks();
    while (!scan.atEnd()) {
        add(scan.peek() == u'"' ? scan.quotedField() : scan.plainField());
        scan.skipBlanks();
        if (scan.takeComma()) {
            add(QString());
        }
    }
}

}  // namespace

TableRow commaTextRow(int rowNumber, QStringView line) {
    const QString text = QString::number(rowNumber) + u',' + line.toString();
    TableRow row;
    std::size_t column = 0;
    scanFields(text, [&](const QString& field) {
        if (column < row.size()) {
            row[column++] = field.isEmpty() ? QStringLiteral(" ") : field;
        }
    });
    return row;
}

QStringList commaTextFields(QStringView line) {
    QStringList fields;
    scanFields(line, [&](const QString& field) { fields.append(field); });
    return fields;
}

QStringList readDataFileLines(const std::filesystem::path& path) {
    const UniqueFd fd = openDataFileForReading(path, "cannot open");
    // Readers share; a writer holding the file exclusively makes this fail.
    if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) {
        throw FileError(path, "cannot read", errno);
    }
    const QByteArray bytes = readToEnd(fd.get(), path);
    return splitLines(decodeCp932(bytes));
}

Table tableOfLines(const QStringList& lines) {
    Table table;
    if (lines.size() < 2) {
        return table;
    }
    table.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        table.push_back(commaTextRow(static_cast<int>(i), lines[i]));
    }
    return table;
}

}  // namespace tavomi
