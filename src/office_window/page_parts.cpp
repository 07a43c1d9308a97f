#include "office_window/page_parts.h"

#include "dialogs/screen_look.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableWidget>

namespace tavomi::office {

QLabel* messageLine(QWidget* parent) {
    auto* line = look::named(new QLabel(parent), "messageLabel");
    line->setWordWrap(true);
    line->setTextFormat(Qt::PlainText);  // names from the files are never markup
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    line->hide();
    return line;
}

void showMessage(QLabel* line, const QString& text, bool error) {
    line->setStyleSheet(error ? QStringLiteral("color: #b00000; font-weight: bold;") : QString());
    line->setText(text);
    line->setVisible(!text.isEmpty());
}

QProgressBar* readProgressBar(QWidget* parent) {
    auto* bar = look::named(new QProgressBar(parent), "progressBar");
    bar->setRange(0, 1000);
    bar->setTextVisible(false);
    bar->hide();
    return bar;
}

QTableWidget* textTable(const char* name, const QStringList& headings, QWidget* parent) {
    auto* table = look::named(new QTableWidget(0, static_cast<int>(headings.size()), parent), name);
    table->setHorizontalHeaderLabels(headings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

void setRow(QTableWidget* table, int row, const QStringList& cells) {
    for (int column = 0; column < cells.size() && column < table->columnCount(); ++column) {
        table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
}

MonthPicker monthPicker(const QDate& month, QWidget* parent) {
    auto* year = look::named(new QSpinBox(parent), "yearSpin");
    year->setRange(2000, 2099);
    year->setValue(month.year());
    auto* monthSpin = look::named(new QSpinBox(parent), "monthSpin");
    monthSpin->setRange(1, 12);
    monthSpin->setValue(month.month());
    return {year, monthSpin};
}

QHBoxLayout* monthRow(const MonthPicker& picker, QLabel* heading, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(picker.year);
    row->addWidget(new QLabel(QStringLiteral(u"年"), parent));
    row->addWidget(picker.month);
    row->addWidget(new QLabel(QStringLiteral(u"月"), parent));
    row->addSpacing(16);
    row->addWidget(heading);
    row->addStretch();
    return row;
}

void readAgainOnChange(BackgroundWork<DataStamps>& watching, const std::filesystem::path& appFolder,
                       std::function<std::optional<DataStamps>()> shown,
                       std::function<void()> readAgain) {
    if (watching.busy()) {
        return;
    }
    watching.run(
        [appFolder](const ReadProgress&) -> Outcome<DataStamps> { return dataStampsOf(appFolder); },
        [shown = std::move(shown), readAgain = std::move(readAgain)](Outcome<DataStamps> outcome) {
            const auto* stamps = std::get_if<DataStamps>(&outcome);
            const std::optional<DataStamps> showing = shown();
            if (!showing || !stamps || !(*stamps == *showing)) {
                readAgain();
            }
        });
}

}  // namespace tavomi::office
