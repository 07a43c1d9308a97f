#pragma once
// Unit13: the confirmation box through which recording screens report.

#include <QDialog>

class QLabel;
class QPushButton;

namespace tavomi {

class ConfirmBox : public QDialog {
    Q_OBJECT
  public:
    explicit ConfirmBox(QWidget* parent = nullptr);

    // Puts the message into Label1 and waits until the user acknowledges it.
    void showMessage(const QString& message);

    QLabel* Label1;
    QPushButton* Button1;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Button1Click();
};

}  // namespace tavomi
