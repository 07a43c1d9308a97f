#include "shell/share_watch.h"

#include "files/data_folder_probe.h"

#include <QCoreApplication>
#include <QPointer>

#include <thread>

namespace tavomi {

ShareWatch::ShareWatch(std::filesystem::path appFolder, std::function<void()> answered,
                       QObject* parent)
    : QObject(parent), appFolder_(std::move(appFolder)), answered_(std::move(answered)) {
    timer_.setInterval(kEvery);
    connect(&timer_, &QTimer::timeout, this, &ShareWatch::look);
    timer_.start();
}

void ShareWatch::look() {
    if (looking_->exchange(true)) {
        return;
    }
    std::thread([self = QPointer<ShareWatch>(this), folder = appFolder_, looking = looking_] {
        const bool answers =
            probeDataFolder(folder, kEvery).state == DataFolderProbe::State::Answers;
        *looking = false;
        if (answers) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self] {
                    if (self && self->answered_) {
                        self->answered_();
                    }
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

}  // namespace tavomi
