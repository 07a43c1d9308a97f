#include "office/text_table.h"

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
    std::vector<int> widths(static_cast<std::size_t>(header.size()), 0);
    auto measure = [&](const QStringList& row) {
        for (qsizetype c = 0; c < row.size() && c < header.size(); ++c) {
            auto& width = widths[static_cast<std::size_t>(c)];
            width = std::max(width, displayWidth(row[c]));
        }
    };
    measure(header);
    for (const QStringList& row : rows) {
        measure(row);
    }

    QString text;
    auto write = [&](const QStringList& row) {
        QString line;
        for (qsizetype c = 0; c < header.size(); ++c) {
            const QString cell = c < row.size() ? row[c] : QString();
            if (c > 0) {
                line += QStringLiteral("  ");
            }
            line += cell;
            line += QString(widths[static_cast<std::size_t>(c)] - displayWidth(cell), u' ');
        }
        while (line.endsWith(u' ')) {
            line.chop(1);
        }
        text += line + u'\n';
    };
    write(header);
    for (const QStringList& row : rows) {
        write(row);
    }
    return text;
}

}  // namespace tavomi
