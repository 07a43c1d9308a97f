#include "office/tool_output.h"

namespace tavomi {

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

void printToolLine(std::FILE* stream, const char* tool, const QString& text) {
    print(stream, QString::fromUtf8(tool) + QStringLiteral(": ") + text + u'\n');
}

}  // namespace tavomi
