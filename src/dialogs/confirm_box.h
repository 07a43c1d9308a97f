#pragma once
// The confirmation box through which the recording screens report.

#include <QDialog>

class QLabel;
class QPushButton;

namespace tavomi {

class ConfirmBox : public QDialog {
    Q_OBJECT
  public:
    explicit ConfirmBox(QWidget* parent = nullptr);

    // Shows the message (CR LF breaks its lines) and waits until the user acknowledges it.
    void showMessage(const QString& message);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QLabel* messageLabel_;
    QPushButton* okButton_;
};

}  // namespace tavomi
