// tavomi-bench-bare-window: what any Qt program pays to show Japanese text, for comparing
// the time clock's start-up with: one window the main screen's size, one label in the
// main screen's font. Prints the same start-up marks (APP, MAINSCREEN, FRAME).
#include "startup_marks.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

const char kTitle[] = "bare window";

void observe() {
    tavomi::bench::watchStartUp(QString::fromLatin1(kTitle));
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(observe)

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QString::fromLatin1(kTitle));
    window.setFixedSize(636, 524);
    QLabel label(u"カードを置いてください"_s, &window);
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(27);
    font.setBold(true);
    label.setFont(font);
    label.setGeometry(294, 172, 298, 52);
    window.show();
    return app.exec();
}
