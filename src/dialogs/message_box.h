#pragma once

#include <QString>

#include <exception>

class QWidget;

namespace tavomi {

// Messages are written with CR LF line breaks; Qt's labels break lines at LF.
QString withLineFeeds(QString text);

// A plain message box: the text, one OK button, centred on the screen.
void showPlainMessage(QWidget* parent, const QString& text);

// The application's standard error report: one modal box with the error's text.
// Every handler that can meet a FileError catches it at its top and calls this.
void reportError(QWidget* parent, const std::exception& error);
void reportError(QWidget* parent, const QString& text);
// The same for an error carried from another thread.
void reportError(QWidget* parent, const std::exception_ptr& error);

}  // namespace tavomi
