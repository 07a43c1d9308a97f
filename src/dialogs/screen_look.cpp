#include "dialogs/screen_look.h"

#include <QGuiApplication>
#include <QScreen>

namespace tavomi::look {

void centreOnScreen(QWidget& window) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

}  // namespace tavomi::look
