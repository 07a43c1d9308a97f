#pragma once
// 月の勤務表: a month per teacher and day as the report has it, what needs checking, and
// the CSV, PDF and workbook that tavomi-report writes.

#include "clock/clock.h"
#include "office/window_reads.h"
#include "office_window/background.h"

#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace tavomi {

class MonthPage : public QWidget {
    Q_OBJECT
  public:
    // Asks where to save: (title, suggested file, filter) -> the path, empty when cancelled.
    using SavePathChooser = std::function<QString(const QString& title, const QString& suggested,
                                                  const QString& filter)>;

    MonthPage(std::filesystem::path appFolder, Clock clock, QWidget* parent = nullptr);

    // The file dialog by default; tests give the path.
    void setSavePathChooser(SavePathChooser chooser) { choosePath_ = std::move(chooser); }

  private:
    enum class Format { Csv, Pdf, Xlsx };
    struct Saved {};

    void read();
    void showRead(Outcome<PeriodRead> outcome);
    void showTeacher(int row);
    void save(Format format);
    void setSaveButtonsEnabled(bool enabled);

    std::filesystem::path appFolder_;
    Clock clock_;
    SavePathChooser choosePath_;
    std::shared_ptr<const PeriodReport> shown_;  // what the buttons save
    bool savable_ = false;                       // a month with records is shown
    BackgroundWork<PeriodRead> reading_{this};
    BackgroundWork<Saved> saving_{this};

    QSpinBox* yearSpin_;
    QSpinBox* monthSpin_;
    QLabel* headingLabel_;
    QLabel* legendLabel_;
    QTableWidget* teacherTable_;
    QTableWidget* sheetTable_;
    QListWidget* findingsList_;
    QPushButton* csvButton_;
    QPushButton* pdfButton_;
    QPushButton* xlsxButton_;
    QLabel* messageLabel_;
    QProgressBar* progressBar_;
};

}  // namespace tavomi
