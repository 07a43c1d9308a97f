#pragma once

#include <QHash>
#include <QObject>
#include <QSet>

class QKeyEvent;
class QWidget;

namespace tavomi {

// The keyboard rules of a recording screen, where one key too many writes a record:
// a key already held down when the screen came up (its auto-repeat) presses nothing
// there, and Enter presses only the push button that has the focus, never a default
// button. Lives as long as the screen it guards.
class KeyGuard : public QObject {
  public:
    explicit KeyGuard(QWidget* screen);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool isOnScreen(QObject* watched) const;
    bool lets(QObject* receiver, const QKeyEvent& key);

    QWidget* screen_;
    QSet<int> pressedHere_;  // keys pressed since the screen came up and not let go
    // Keys held from before, by the time of their last release: X11 without detectable
    // auto-repeat sends each repeat as a release and a press of the same moment, with no
    // auto-repeat flag, so such a press is no new press.
    QHash<int, quint64> heldFromBeforeReleasedAt_;
};

}  // namespace tavomi
