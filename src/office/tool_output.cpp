#include "office/tool_output.h"

namespace tavomi {

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

void printToolLine(std::FILE* stream, const char* tool, const QString& text) {
    print(stream, QString::fromUtf8(tool) + QStringLiteral(": ") + text + u'\n');
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
