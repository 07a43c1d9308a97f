#pragma once
// The about box, opened from the main screen's hidden corner.

#include <QDialog>
#include <QString>
#include <QUrl>

#include <functional>

class QLabel;
class QPushButton;

namespace tavomi {

// The project's own web page, named by the address label and opened by its click.
inline constexpr const char* kWebPage = "https://tavomi.example.org/";

class AboutBox : public QDialog {
    Q_OBJECT
  public:
    using UrlOpener = std::function<void(const QUrl&)>;

    explicit AboutBox(QWidget* parent = nullptr);

    // How the web page is handed to the desktop; QDesktopServices::openUrl unless set.
    void setUrlOpener(UrlOpener opener);

    // The address as the shell gets it: every double quote written %22.
    static QUrl webPageUrl(QString address);

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void openWebPage();

    UrlOpener opener_;
    QLabel* webAddressLabel_;
    QPushButton* closeButton_;
};

}  // namespace tavomi
