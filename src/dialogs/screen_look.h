#pragma once
// Colours, type, naming and placement shared by the screens.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStringList>
#include <QWidget>

class QFrame;

namespace tavomi::look {

inline const QColor kSkyBlue(166, 202, 240);
inline const QColor kCream(255, 251, 240);
// The classic desktop's gradient caption colours, which the panels and tabs use.
inline const QColor kActiveCaptionGradient(185, 209, 234);
inline const QColor kInactiveCaptionGradient(215, 228, 242);
inline const QColor kSelectedTab(255, 255, 0);

// Tahoma first; it has no Japanese glyphs, so the CJK faces follow.
inline QFont screenFont(int pixelSize) {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("IPAGothic")});
    font.setPixelSize(pixelSize);
    return font;
}

inline QFont pixelFont(const QFont& base, int pixels, bool bold = false) {
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// Names a control as the screens' handlers and the tests know it.
template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

inline void setPixelSize(QWidget* widget, int pixelSize) {
    QFont font = widget->font();
    font.setPixelSize(pixelSize);
    widget->setFont(font);
}

inline void fill(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The card screens' windows: a fixed-size dialog with a title and a close box only.
inline constexpr Qt::WindowFlags kFixedDialogFlags =
    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowCloseButtonHint;

// A raised panel filled with `colour`, named for tests.
QFrame* raisedPanel(const char* name, const QColor& colour, QWidget* parent);

// Moves a window, frame included, to the middle of the primary screen's work area:
// every box comes up where the teacher is already looking.
void centreOnScreen(QWidget& window);

}  // namespace tavomi::look
