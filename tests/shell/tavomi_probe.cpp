// The program tavomi with an observer, for the tests of the built program: every
// modal window that comes up is written to stdout once, as "BOX<TAB>title<TAB>text"
// (line breaks as \n), and a plain message box is answered with its OK button.
// The program's own code is untouched; the observer arrives with QCoreApplication.
#include "shell/tavomi_app.h"
#include "support/modal_helper.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace {

void observeModalWindows() {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, timer, [] {
        static QPointer<QWidget> lastSeen;
        QWidget* box = QApplication::activeModalWidget();
        if (box == nullptr || !box->isVisible() || box == lastSeen) {
            return;
        }
        QString text = tavomi::test::ModalAnswerer::textOf(box);
        text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        std::printf("BOX\t%s\t%s\n", box->windowTitle().toUtf8().constData(),
                    text.toUtf8().constData());
        std::fflush(stdout);
        if (qobject_cast<QMessageBox*>(box) != nullptr) {
            tavomi::test::ModalAnswerer::pressOk(box);
        } else {
            lastSeen = box;  // our screens stay up for the test to look at
        }
    });
    timer->start(5);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(observeModalWindows)

int main(int argc, char** argv) {
    return tavomi::runTavomi(argc, argv);
}
