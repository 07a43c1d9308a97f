#pragma once
// While the clock runs without its file server, it looks for the server every few seconds,
// on a thread of its own (a share that hangs never holds up a screen).

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

namespace tavomi {

class ShareWatch : public QObject {
    Q_OBJECT
  public:
    static constexpr std::chrono::seconds kEvery{5};

    // `answered` is told on this object's thread each time a look finds the data folder
    // answering, until the watch goes.
    ShareWatch(std::filesystem::path appFolder, std::function<void()> answered,
               QObject* parent = nullptr);

  private:
    void look();

    std::filesystem::path appFolder_;
    std::function<void()> answered_;
    QTimer timer_;
    // Set while a look runs: one that hangs is not joined by another.
    std::shared_ptr<std::atomic<bool>> looking_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace tavomi
