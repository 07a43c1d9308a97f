#pragma once
// What the office window's pages share: a message line, a progress bar for long reads,
// and a table that holds text only.

#include "office/window_reads.h"
#include "office_window/background.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <optional>

class QHBoxLayout;
class QLabel;
class QSpinBox;
class QProgressBar;
class QTableWidget;
class QWidget;

namespace tavomi::office {

// The page's message line: one Japanese message, red when it is an error.
QLabel* messageLine(QWidget* parent);
void showMessage(QLabel* line, const QString& text, bool error);

// A progress bar that shows only while a read is under way.
QProgressBar* readProgressBar(QWidget* parent);

// The year and month a page shows, set to `month`'s, named for tests.
struct MonthPicker {
    QSpinBox* year;
    QSpinBox* month;
};
MonthPicker monthPicker(const QDate& month, QWidget* parent);

// A page's top row: the month picker, the heading, then room for the page's own controls.
QHBoxLayout* monthRow(const MonthPicker& picker, QLabel* heading, QWidget* parent);

// A read-only table with these columns, named for tests.
QTableWidget* textTable(const char* name, const QStringList& headings, QWidget* parent);
void setRow(QTableWidget* table, int row, const QStringList& cells);

// Looks at the stamps of the files a page's numbers are made of, off the GUI thread, and
// calls `readAgain` when they are not those of what the page shows (`shown`: none when it
// shows an error, and then it tries again each time: the folder may be back).
void readAgainOnChange(BackgroundWork<DataStamps>& watching, const std::filesystem::path& appFolder,
                       std::function<std::optional<DataStamps>()> shown,
                       std::function<void()> readAgain);

}  // namespace tavomi::office
