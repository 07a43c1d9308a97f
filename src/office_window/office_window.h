#pragma once
// tavomi-office's window: who is in, a month's sheets, card registration and the school's
// calendar, on one data folder. It reads the journal without its lock, as tavomi-report does.

#include "clock/clock.h"

#include <QWidget>

#include <filesystem>

namespace tavomi {

class CardPoller;

class OfficeWindow : public QWidget {
    Q_OBJECT
  public:
    OfficeWindow(const std::filesystem::path& appFolder, Clock clock, CardPoller& poller,
                 QWidget* parent = nullptr);
};

}  // namespace tavomi
