#pragma once
// Unit5: the main screen, the time clock's face. The polling cycle decides each
// tick; this window shows the result and opens the other screens.

#include "main_screen/polling_cycle.h"

#include <QWidget>

#include <filesystem>
#include <functional>

class QDate;
class QFrame;
class QLabel;
class QPushButton;
class QSvgWidget;
class QTimer;

namespace tavomi {

class CardPoller;

class MainScreen : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 500;

    MainScreen(const std::filesystem::path& appFolder, CardPoller& poller,
               QWidget* parent = nullptr);

    // The other screens, shown modally. The shell wires them; unset, nothing opens.
    void setPunchScreen(std::function<void(const QString& who)> show);
    void setManualEntry(std::function<void()> show);
    void setAboutBox(std::function<void()> show);

    // What start-up does while the main screen is being created: the seven-file
    // check, today's working hours, the first display and the stale lock file.
    // Returns false when the data folder is incomplete: the program must end.
    bool FormCreate(const QDate& today);

    // Today's working hours, with the message for a day without them. Throws
    // FileError when a working-hours file cannot be read or appended to.
    void Button9Click(const QDate& today);

    // One tick of Timer1 (the card check).
    void Button1Click();

    QLabel* Label7;
    QSvgWidget* Image5;
    QLabel* Label2;
    QLabel* Label8;
    QFrame* Panel1;
    QLabel* Label5;
    QSvgWidget* Image1;
    QSvgWidget* Image2;
    QPushButton* Button7;
    QPushButton* Button5;
    QWidget* Image3;
    QTimer* Timer1;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Button7Click();
    void Button5Click();
    void Image3DblClick();
    void showDisplay();

    std::filesystem::path appFolder_;
    PollingCycle cycle_;
    std::function<void(const QString&)> punchScreen_;
    std::function<void()> manualEntry_;
    std::function<void()> aboutBox_;
    bool polling_ = false;  // Timer1 runs from the first showing on
};

}  // namespace tavomi
