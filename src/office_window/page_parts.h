#pragma once
// What the office window's pages share: a message line, a progress bar for long reads,
// and a table that holds text only.

#include <QString>
#include <QStringList>

class QLabel;
class QProgressBar;
class QTableWidget;
class QWidget;

namespace tavomi::office {

// The page's message line: one Japanese message, red when it is an error.
QLabel* messageLine(QWidget* parent);
void showMessage(QLabel* line, const QString& text, bool error);

// A progress bar that shows only while a read is under way.
QProgressBar* readProgressBar(QWidget* parent);

// A read-only table with these columns, named for tests.
QTableWidget* textTable(const char* name, const QStringList& headings, QWidget* parent);
void setRow(QTableWidget* table, int row, const QStringList& cells);

}  // namespace tavomi::office
