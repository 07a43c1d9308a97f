#include "dialogs/write_wait.h"

#include "sound/sound.h"

#include <QApplication>
#include <QWidget>

namespace tavomi {

namespace {

class BusyScreen {
  public:
    explicit BusyScreen(QWidget* screen) : screen_(screen) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (screen_ != nullptr) {
            screen_->setEnabled(false);
        }
    }
    ~BusyScreen() {
        if (screen_ != nullptr) {
            screen_->setEnabled(true);
        }
        QApplication::restoreOverrideCursor();
    }
    BusyScreen(const BusyScreen&) = delete;
    BusyScreen& operator=(const BusyScreen&) = delete;

  private:
    QWidget* screen_;
};

Sound soundOf(WriteResult::Kind kind) {
    switch (kind) {
        case WriteResult::Kind::Written:
            return Sound::Written;
        case WriteResult::Kind::Kept:
            return Sound::Kept;
        case WriteResult::Kind::Busy:
        case WriteResult::Kind::JournalMissing:
        case WriteResult::Kind::Failed:
            break;
    }
    return Sound::Problem;
}

}  // namespace

WriteResult writeFromScreen(JournalWriter& writer, WriteRequest request, QWidget* screen) {
    WriteResult result;
    {
        const BusyScreen busy(screen);
        // Paints and timers only: a press meanwhile must not start a second record.
        result = writer.write(std::move(request), [] {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    }
    playSound(soundOf(result.kind));
    return result;
}

}  // namespace tavomi
