#pragma once

#include <QString>

#include <exception>

class QWidget;

namespace tavomi {

// A plain message box: the text, one OK button, centred on the screen.
void showPlainMessage(QWidget* parent, const QString& text);

// The application's standard error report: one modal box with the error's text.
// Every handler that can meet a FileError catches it at its top and calls this.
void reportError(QWidget* parent, const std::exception& error);

}  // namespace tavomi
