// tavomi-bench-latency-probe: the program tavomi with an observer for the card-latency and
// start-up measurements. Besides the start-up marks (APP, MAINSCREEN, FRAME) it prints
// these marks (see startup_marks.h), and one line per box:
//   PUNCH <ns> <cpu ns>       the punch screen is shown
//   CLOSED <ns> <cpu ns>      the punch screen is gone again
//   BOX <ns> <text>           a message or confirmation box came up (answered with OK)
// and it lets the next card come: a moment after the punch screen shows, it presses
// 「何もしないで、閉じる」 as a teacher would, and OK on every box that follows.
// TAVOMI_BENCH_TIMER_ONLY=1 runs the program on its polling timer alone, without waking
// on card events, so both ways can be measured with one binary.
#include "dialogs/confirm_box.h"
#include "shell/tavomi_app.h"
#include "startup_marks.h"
#include "support/modal_helper.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using tavomi::bench::monotonicNanoseconds;
using tavomi::bench::printMark;

const char kMainScreenTitle[] = "Form1";
const char kPunchScreenTitle[] = "Form2";
const char16_t kCloseWithoutPunching[] = u"何もしないで、閉じる";
// Long enough for the script to take the card away first, so the card-removal prompt
// usually comes up once; short enough to keep the taps coming.
constexpr int kPunchScreenLookMs = 300;
// A box is read before OK is pressed; while the card still lies there the removal
// prompt comes back at once, and this keeps that loop from spinning.
constexpr int kBoxReadMs = 50;

void pressCloseWithoutPunching(QWidget* punchScreen) {
    const QString caption = QString::fromUtf16(kCloseWithoutPunching);
    for (QPushButton* button : punchScreen->findChildren<QPushButton*>()) {
        if (button->text() == caption) {
            button->click();  // waits in the card-removal prompts until the card is gone
            return;
        }
    }
    std::fprintf(stderr, "latency-probe: the punch screen has no button \"%s\"\n",
                 caption.toUtf8().constData());
}

void answerBox(QWidget* box) {
    QString text = tavomi::test::ModalAnswerer::textOf(box);
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    std::printf("BOX %lld %s\n", static_cast<long long>(monotonicNanoseconds()),
                text.toUtf8().constData());
    std::fflush(stdout);
    QTimer::singleShot(kBoxReadMs, box, [box] {
        if (box->isVisible()) {
            tavomi::test::ModalAnswerer::pressOk(box);
        }
    });
}

// Follows the windows as they show and hide; only events, no polling, so it adds
// nothing to the program's idle CPU.
class PunchScreenCloser : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type != QEvent::Show && type != QEvent::Hide) || !watched->isWidgetType()) {
            return false;
        }
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->isWindow()) {
            return false;
        }
        const bool punchScreen = widget->windowTitle() == QLatin1String(kPunchScreenTitle);
        if (punchScreen) {
            printMark(type == QEvent::Show ? "PUNCH" : "CLOSED");
            if (type == QEvent::Show) {
                QTimer::singleShot(kPunchScreenLookMs, widget,
                                   [widget] { pressCloseWithoutPunching(widget); });
            }
        } else if (type == QEvent::Show && (qobject_cast<tavomi::ConfirmBox*>(widget) != nullptr ||
                                            qobject_cast<QMessageBox*>(widget) != nullptr)) {
            answerBox(widget);
        }
        return false;
    }
};

void observe() {
    tavomi::bench::watchStartUp(QString::fromLatin1(kMainScreenTitle));
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new PunchScreenCloser(app));
}

bool timerOnlyRequested() {
    const char* value = std::getenv("TAVOMI_BENCH_TIMER_ONLY");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

// The one place where the mode reaches the program.
int runProgram(int argc, char** argv, bool wakeOnCardEvents) {
    return tavomi::runTavomi(argc, argv, tavomi::RunOptions{.wakeOnCardEvents = wakeOnCardEvents});
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(observe)

int main(int argc, char** argv) {
    return runProgram(argc, argv, !timerOnlyRequested());
}
