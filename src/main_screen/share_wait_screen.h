#pragma once
// What the clock shows instead of its main screen while it waits for the file server, when
// it has no local copy to start on yet: it starts by itself once the server answers.

#include <QWidget>

class QLabel;

namespace tavomi {

class ShareWaitScreen : public QWidget {
    Q_OBJECT
  public:
    explicit ShareWaitScreen(const QString& text, QWidget* parent = nullptr);

  private:
    QLabel* textLabel_;
};

}  // namespace tavomi
