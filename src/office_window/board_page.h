#pragma once
// 教育委員会への報告: for a month, how many teachers' overtime fell in each band, in all and
// by job, and where each teacher stands against the year's caps and the 30-hour target. The
// job is read from the cardholder list's field the office picks, kept in its settings.

#include "clock/clock.h"
#include "office/window_reads.h"
#include "office_window/background.h"

#include <QWidget>

#include <filesystem>
#include <optional>

class QComboBox;
class QLabel;
class QProgressBar;
class QSpinBox;
class QTableWidget;

namespace tavomi {

class BoardPage : public QWidget {
    Q_OBJECT
  public:
    // Where the office's choice of the job's field is kept: QSettings(organisation,
    // application), key kJobFieldKey, the field counted from 0 (none: the usual field).
    static constexpr const char* kSettingsOrganisation = "Tavomi";
    static constexpr const char* kSettingsApplication = "tavomi-office";
    static constexpr const char* kJobFieldKey = "board/jobField";

    BoardPage(std::filesystem::path appFolder, Clock clock, QWidget* parent = nullptr);

    // The field the office chose for the job, as kept; none when it chose none.
    static std::optional<qsizetype> savedJobField();

  protected:
    // The page reads when it is first shown: a window opened for the month's sheets does not
    // read the journal twice.
    void showEvent(QShowEvent* event) override;

  private:
    void read();
    void showRead(Outcome<BoardRead> outcome);
    void showJobFields(const QStringList& headings, qsizetype used);
    void chooseJobField(int comboIndex);
    void lookForChanges();

    std::filesystem::path appFolder_;
    Clock clock_;
    std::optional<qsizetype> jobField_;  // the office's choice
    BackgroundWork<BoardRead> reading_{this};
    BackgroundWork<DataStamps> watching_{this};
    DataStamps shownStamps_;
    bool shownAnything_ = false;
    bool readOnce_ = false;  // since it was last hidden

    QSpinBox* yearSpin_;
    QSpinBox* monthSpin_;
    QComboBox* jobFieldCombo_;
    QLabel* headingLabel_;
    QLabel* legendLabel_;
    QTableWidget* bandTable_;
    QTableWidget* teacherTable_;
    QLabel* withoutRecordsLabel_;
    QLabel* messageLabel_;
    QProgressBar* progressBar_;
};

}  // namespace tavomi
