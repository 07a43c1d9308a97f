#pragma once
// Marks that the start-up and card-latency scripts read: one line "WORD <ns> <cpu ns>",
// flushed: CLOCK_MONOTONIC nanoseconds, so times taken in different processes compare,
// and the CPU time this process has used so far (all threads), which a loaded machine
// disturbs far less than the wall time.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWindow>

#include <time.h>

#include <cstdint>
#include <cstdio>
#include <utility>

namespace tavomi::bench {

inline std::int64_t monotonicNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

inline void printMark(const char* word) {
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    const std::int64_t now = monotonicNanoseconds();
    std::printf("%s %lld %lld\n", word, static_cast<long long>(now),
                static_cast<long long>(cpu.tv_sec) * 1000000000 + cpu.tv_nsec);
    std::fflush(stdout);
}

// Prints MAINSCREEN when the window with the given title is first exposed, and FRAME once
// that exposure has been handled, which paints the first frame. Install it on the
// application, so it sees the native window's events.
class FirstExposureMarks : public QObject {
  public:
    FirstExposureMarks(QString windowTitle, QObject* parent)
        : QObject(parent), windowTitle_(std::move(windowTitle)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window != nullptr && window->isExposed() && window->title() == windowTitle_) {
                seen_ = true;
                printMark("MAINSCREEN");
                // Posted now, run after the exposure's painting returned to the event loop.
                QTimer::singleShot(0, this, [] { printMark("FRAME"); });
            }
        }
        return false;
    }

  private:
    QString windowTitle_;
    bool seen_ = false;
};

// For Q_COREAPP_STARTUP_FUNCTION: prints APP while the application object is being made
// and starts watching for the window's first exposure.
inline void watchStartUp(const QString& windowTitle) {
    printMark("APP");
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new FirstExposureMarks(windowTitle, app));
}

}  // namespace tavomi::bench
