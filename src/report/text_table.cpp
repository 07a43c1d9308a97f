#include "report/text_table.h"

#include <algorithm>

namespace tavomi {

namespace {

// East Asian wide and full-width ranges, as terminals draw them.
bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
           (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
           (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

int displayWidth(QStringView text) {
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), text[i].unicode());
        }
        width += isWide(c) ? 2 : 1;
    }
    return width;
}

QString textTable(const QStringList& header, const std::vector<QStringList>& rows) {
    const auto columns = static_cast<std::size_t>(header.size());
    std::vector<int> widths(columns, 0);
    // Each cell's width, measured once: the header's row first, then the rows'.
    std::vector<int> cellWidths((rows.size() + 1) * columns, 0);
    auto measure = [&](const QStringList& row, std::size_t r) {
        for (std::size_t c = 0; c < columns && c < static_cast<std::size_t>(row.size()); ++c) {
            const int width = displayWidth(row[static_cast<qsizetype>(c)]);
            cellWidths[r * columns + c] = width;
            widths[c] = std::max(widths[c], width);
        }
    };
    measure(header, 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        measure(rows[r], r + 1);
    }

    QString text;
    auto write = [&](const QStringList& row, std::size_t r) {
        const qsizetype lineStart = text.size();
        for (std::size_t c = 0; c < columns; ++c) {
            if (c > 0) {
                text += QLatin1StringView("  ");
            }
            if (c < static_cast<std::size_t>(row.size())) {
                text += row[static_cast<qsizetype>(c)];
            }
            text.resize(text.size() + widths[c] - cellWidths[r * columns + c], u' ');
        }
        qsizetype end = text.size();
        while (end > lineStart && text[end - 1] == u' ') {
            --end;
        }
        text.truncate(end);
        text += u'\n';
    };
    write(header, 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        write(rows[r], r + 1);
    }
    return text;
}

QString withControlPictures(QString text) {
    for (QChar& c : text) {
        if (c.unicode() < 0x20) {
            c = QChar(0x2400 + c.unicode());
        } else if (c.unicode() == 0x7F) {
            c = QChar(0x2421);
        }
    }
    return text;
}

}  // namespace tavomi
