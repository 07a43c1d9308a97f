#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

namespace tavomi::test {

// Answers modal boxes while the code under test blocks in exec(): every few
// milliseconds it looks for the active modal widget, records its text (a
// QMessageBox's text, the confirmation box's message or the punch screen's heading)
// and presses its OK button, or runs the action queued with then(). The recording
// screens (Form2, Form6, Form12) are left alone unless an action is queued.
// Construct it before the action that opens the boxes; it stops with its destruction.
class ModalAnswerer : public QObject {
  public:
    using Action = std::function<void(QWidget* box)>;

    ModalAnswerer() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { answer(); });
        timer_.start();
    }

    // Runs instead of pressing OK for the next box that comes up (one use each).
    void then(Action action) { actions_.push_back(std::move(action)); }

    const std::vector<QString>& texts() const { return texts_; }
    const std::vector<QString>& titles() const { return titles_; }
    int count() const { return static_cast<int>(texts_.size()); }

    static QString textOf(QWidget* box) {
        if (auto* mb = qobject_cast<QMessageBox*>(box)) {
            return mb->text();
        }
        if (auto* label = box->findChild<QLabel*>("messageLabel")) {
            return label->text();
        }
        if (auto* heading = box->findChild<QLabel*>("headingLabel")) {
            return heading->text();  // the punch screen's, with the holder's name
        }
        return {};
    }

    static void pressOk(QWidget* box) {
        if (auto* mb = qobject_cast<QMessageBox*>(box)) {
            if (QAbstractButton* b = mb->buttons().value(0)) {
                b->click();
                return;
            }
        }
        if (auto* b = box->findChild<QPushButton*>("okButton")) {
            b->click();
            return;
        }
        if (auto* dialog = qobject_cast<QDialog*>(box)) {
            dialog->accept();
        }
    }

  private:
    // The big recording screens are driven by the tests themselves; pressing one of
    // their buttons would close them or record.
    static bool isRecordingScreen(QWidget* box) {
        const QString title = box->windowTitle();
        return title == u"Form2" || title == u"Form6" || title == u"Form12";
    }

    void answer() {
        QWidget* box = QApplication::activeModalWidget();
        if (!awaitsAnswer(box)) {
            return;
        }
        // Answer from the next pass of the event loop, and only if the box is still
        // the one waiting then: a box below another one is on top for a moment when
        // the upper one closes just before the program shows the next one. Answering
        // outside this timer's slot also lets the timer keep firing while an answer
        // blocks in exec().
        QTimer::singleShot(0, this, [this, box = QPointer<QWidget>(box)] {
            if (box && box == QApplication::activeModalWidget() && awaitsAnswer(box)) {
                answerNow(box);
            }
        });
    }

    // A box is answered once per showing: an answer may leave it up for a while.
    bool awaitsAnswer(QWidget* box) const {
        if (box == nullptr || !box->isVisible() || box == answered_) {
            return false;
        }
        return !actions_.empty() || !isRecordingScreen(box);
    }

    void answerNow(QWidget* box) {
        texts_.push_back(textOf(box));
        titles_.push_back(box->windowTitle());
        Action action = &ModalAnswerer::pressOk;
        if (!actions_.empty()) {
            action = std::move(actions_.front());
            actions_.erase(actions_.begin());
        }
        answered_ = box;
        box->installEventFilter(this);
        action(box);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == answered_ && event->type() == QEvent::Hide) {
            answered_ = nullptr;
        }
        return false;
    }

    QTimer timer_;
    QPointer<QWidget> answered_;
    std::vector<Action> actions_;
    std::vector<QString> texts_;
    std::vector<QString> titles_;
};

}  // namespace tavomi::test
