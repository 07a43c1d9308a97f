#include "dialogs/screen_look.h"

#include <QFrame>
#include <QGuiApplication>
#include <QScreen>

namespace tavomi::look {

QFrame* raisedPanel(const char* name, const QColor& colour, QWidget* parent) {
    auto* panel = named(new QFrame(parent), name);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    fill(panel, colour);
    return panel;
}

void centreOnScreen(QWidget& window) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

}  // namespace tavomi::look
