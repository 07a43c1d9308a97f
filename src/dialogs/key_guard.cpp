#include "dialogs/key_guard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace tavomi {

namespace {

// A repeat's release and press come at one moment; no hand lets go and presses again
// within a few milliseconds.
constexpr quint64 kRepeatPairGapMs = 5;

}  // namespace

KeyGuard::KeyGuard(QWidget* screen) : QObject(screen), screen_(screen) {
    // The application sees a key before the focused control does.
    qApp->installEventFilter(this);
}

bool KeyGuard::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
            if (watched == screen_) {
                pressedHere_.clear();
                heldFromBeforeReleasedAt_.clear();
            }
            return false;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return isOnScreen(watched) && !lets(watched, static_cast<const QKeyEvent&>(*event));
        default:
            return false;
    }
}

bool KeyGuard::isOnScreen(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget != nullptr && (widget == screen_ || screen_->isAncestorOf(widget));
}

bool KeyGuard::lets(QObject* receiver, const QKeyEvent& key) {
    const int code = key.key();
    if (key.type() == QEvent::KeyRelease) {
        if (key.isAutoRepeat()) {
            return pressedHere_.contains(code);
        }
        if (pressedHere_.remove(code)) {
            return true;
        }
        heldFromBeforeReleasedAt_[code] = key.timestamp();
        return false;
    }
    if (!key.isAutoRepeat()) {
        const auto released = heldFromBeforeReleasedAt_.constFind(code);
        // Events without a time (0) cannot be told apart this way.
        if (released != heldFromBeforeReleasedAt_.constEnd() && *released != 0 &&
            key.timestamp() >= *released && key.timestamp() - *released <= kRepeatPairGapMs) {
            return false;
        }
        heldFromBeforeReleasedAt_.remove(code);
        pressedHere_.insert(code);
    } else if (!pressedHere_.contains(code)) {
        return false;
    }
    const bool enter = code == Qt::Key_Return || code == Qt::Key_Enter;
    return !enter || qobject_cast<QPushButton*>(receiver) != nullptr;
}

}  // namespace tavomi
