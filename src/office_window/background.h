#pragma once
// Work off the GUI thread: a file read on a slow share, a card poll that a frozen
// smart-card service never answers. The outcome comes back on the GUI thread.

#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <QString>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <functional>
#include <utility>
#include <variant>

namespace tavomi {

// A worker's outcome: the value, or one message for the window.
template <typename Value>
using Outcome = std::variant<Value, QString>;

// Told how far a read has come; returns false when the read is no longer wanted.
using ReadProgress = std::function<bool(qint64 done, qint64 total)>;

// One piece of work at a time for its owner: a new run cancels the one before, whose
// outcome is then dropped, and so does the owner's end. No exception leaves the worker:
// it becomes the outcome's message.
template <typename Value>
class BackgroundWork {
  public:
    using Work = std::function<Outcome<Value>(const ReadProgress&)>;
    using Done = std::function<void(Outcome<Value>)>;

    explicit BackgroundWork(QObject* owner) : owner_(owner) {}
    ~BackgroundWork() { cancel(); }
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // progress gets per mille of the work, when the work tells its progress.
    void run(Work work, Done done, std::function<void(int perMille)> progress = {}) {
        cancel();
        auto* watcher = new QFutureWatcher<Outcome<Value>>(owner_);
        watcher_ = watcher;
        QObject::connect(
            watcher, &QFutureWatcherBase::finished, owner_,
            [this, watcher, done = std::move(done)] {
                const bool current = watcher == watcher_;
                if (current) {
                    watcher_ = nullptr;
                }
                if (current && !watcher->isCanceled() && watcher->future().resultCount() > 0) {
                    done(watcher->future().takeResult());
                }
                watcher->deleteLater();
            });
        if (progress) {
            QObject::connect(watcher, &QFutureWatcherBase::progressValueChanged, owner_,
                             [this, watcher, progress = std::move(progress)](int value) {
                                 if (watcher == watcher_) {
                                     progress(value);
                                 }
                             });
        }
        watcher->setFuture(QtConcurrent::run([work = std::move(work)](
                                                 QPromise<Outcome<Value>>& promise) {
            promise.setProgressRange(0, 1000);
            const ReadProgress told = [&promise](qint64 done, qint64 total) {
                if (total > 0) {
                    promise.setProgressValue(
                        static_cast<int>(std::min<qint64>(1000, done * 1000 / total)));
                }
                return !promise.isCanceled();
            };
            try {
                promise.addResult(work(told));
            } catch (const std::exception& e) {
                promise.addResult(Outcome<Value>(QStringLiteral("予期しないエラーが起きました：%1")
                                                     .arg(QString::fromLocal8Bit(e.what()))));
            }
        }));
    }

    bool busy() const { return watcher_ != nullptr; }

    void cancel() {
        if (watcher_ != nullptr) {
            watcher_->future().cancel();
            watcher_ = nullptr;
        }
    }

  private:
    QObject* owner_;
    QFutureWatcher<Outcome<Value>>* watcher_ = nullptr;
};

}  // namespace tavomi
