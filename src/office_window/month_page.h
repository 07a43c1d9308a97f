#pragma once
// 月の勤務表: a month per teacher and day as the report has it, what needs checking, and
// the CSV, PDF and workbook that tavomi-report writes.

#include "clock/clock.h"
#include "manual/manual_record.h"
#include "office/office_correction.h"
#include "office/window_reads.h"
#include "office_window/background.h"

#include <QDate>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QListWidget;
class QListWidgetItem;
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

    // Reads again by itself when the files its numbers are made of change (looked at every
    // kWatchMilliseconds), keeping the teacher, the day and the order chosen.
    static constexpr int kWatchMilliseconds = 3000;

    MonthPage(std::filesystem::path appFolder, Clock clock, QWidget* parent = nullptr);

    // The file dialog by default; tests give the path.
    void setSavePathChooser(SavePathChooser chooser) { choosePath_ = std::move(chooser); }

    // Asks for the record a line of the things to check is missing: the entry to write, or
    // nothing when cancelled. The correction dialog by default; tests give the entry.
    using CorrectionAsker = std::function<std::optional<ManualEntry>(
        const QString& person, const QDate& date, RecordKind kind)>;
    void setCorrectionAsker(CorrectionAsker asker) { askCorrection_ = std::move(asker); }

  private:
    enum class Format { Csv, Pdf, Xlsx };
    struct Saved {};

    // What the user chose on the page, kept through a read of the same month.
    struct Choice {
        QString teacher;
        QDate day;
        int sortColumn = -1;
        Qt::SortOrder sortOrder = Qt::DescendingOrder;
    };

    void read();
    void readKeepingChoice();
    void showRead(Outcome<PeriodRead> outcome);
    void showTeacher(int row);
    void openFinding(const QListWidgetItem* item);
    void selectTeacherAndDay(std::size_t teacher, const QDate& day);
    void lookForChanges();
    void addMissingRecord();
    void enableAddRecord();
    void save(Format format);
    void setSaveButtonsEnabled(bool enabled);

    std::filesystem::path appFolder_;
    Clock clock_;
    SavePathChooser choosePath_;
    CorrectionAsker askCorrection_;
    std::shared_ptr<const PeriodReport> shown_;  // what the buttons save
    bool savable_ = false;                       // a month with records is shown
    BackgroundWork<PeriodRead> reading_{this};
    BackgroundWork<Saved> saving_{this};
    BackgroundWork<DataStamps> watching_{this};
    BackgroundWork<CorrectionOutcome> correcting_{this};
    DataStamps shownStamps_;
    bool shownAnything_ = false;
    std::optional<Choice> keep_;  // for the read running now
    QString correctionSaid_;      // the last correction's outcome, for the read it asks for

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
    QPushButton* addRecordButton_;
    QLabel* messageLabel_;
    QProgressBar* progressBar_;
};

}  // namespace tavomi
