#pragma once
// 今日の在校状況: every cardholder and where each stands on a day, read again by itself
// when the journal or the cardholder list changes; below, how each reception PC is now.

#include "clock/clock.h"
#include "office/window_reads.h"
#include "office_window/background.h"

#include <QWidget>

#include <filesystem>

class QDateEdit;
class QLabel;
class QProgressBar;
class QTableWidget;
class QTimer;

namespace tavomi {

class PresencePage : public QWidget {
    Q_OBJECT
  public:
    // How often the files' size and time are looked at: inotify does not see another
    // PC's writes on a share.
    static constexpr int kWatchMilliseconds = 3000;
    // How often the PCs' status files are read: a PC writes its own at most once a minute.
    static constexpr int kPcStatusMilliseconds = 30000;

    PresencePage(std::filesystem::path appFolder, Clock clock, QWidget* parent = nullptr);

  private:
    void read();
    void showRead(Outcome<PeriodRead> outcome);
    void lookForChanges();
    void readPcStatuses();
    void showPcStatuses(Outcome<PcStatusesRead> outcome);

    std::filesystem::path appFolder_;
    Clock clock_;
    DataStamps shownStamps_;  // of the read on show; a change reads again
    bool shownAnything_ = false;
    BackgroundWork<PeriodRead> reading_{this};
    BackgroundWork<DataStamps> watching_{this};
    BackgroundWork<PcStatusesRead> pcReading_{this};

    QDateEdit* dateEdit_;
    QLabel* headingLabel_;
    QTableWidget* table_;
    QLabel* messageLabel_;
    QProgressBar* progressBar_;
    QTimer* watchTimer_;
    QTableWidget* pcTable_;
    QLabel* pcMessageLabel_;
    QTimer* pcStatusTimer_;
};

}  // namespace tavomi
