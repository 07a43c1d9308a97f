#pragma once
// Colours and type shared by the punch screen and the mid-day absence screen.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStringList>
#include <QWidget>

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

}  // namespace tavomi::look
