#pragma once
// カード登録: the cardholder list, the card laid on the reader, and registering it to a
// teacher (or giving it to another after a question), as tavomi-card does.

#include "card/card_poller.h"
#include "files/cardholder_list.h"
#include "files/file_stamp.h"
#include "office/card_registration.h"
#include "office_window/background.h"

#include <QWidget>

#include <filesystem>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace tavomi {

class CardPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPollMilliseconds = 300;
    // A poll that has not answered by then: the smart-card service hangs.
    static constexpr int kPollPatienceMilliseconds = 5000;

    // The poller is used from a worker thread, one poll at a time.
    CardPage(std::filesystem::path appFolder, CardPoller& poller, QWidget* parent = nullptr);

  protected:
    // The reader is polled only while the page shows.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    struct Registration {
        RegisterResult result;
        QString cardId;
        QString name;
    };
    struct ListRead {
        std::vector<CardholderRow> rows;
        FileStamp stamp;
    };
    struct Retirement {
        RetireResult result;
        QString cardId;
    };

    void readList();
    void showList(Outcome<ListRead> outcome);
    void poll();
    void showPoll(const PollResult& result);
    void showLaidCard();
    void registerLaidCard();
    void startRegistration(const QString& name, const QStringList& particulars, bool reassign);
    void showRegistration(Outcome<Registration> outcome, const QStringList& particulars);
    std::optional<QString> holderOf(const QString& cardId) const;
    std::optional<QString> otherCardOf(const QString& name) const;
    bool askFirst(const QString& text, const QString& yesCaption);
    void retireLaidCard();
    void showRetirement(Outcome<Retirement> outcome);

    std::filesystem::path appFolder_;
    CardPoller& poller_;
    std::vector<CardholderRow> rows_;
    FileStamp listStamp_;  // of the list the table shows: a retire is of that list
    QString laidCardId_;   // the last card read; it stays for registering after it is lifted
    bool cardRead_ = false;
    qint64 pollStartedAt_ = 0;
    BackgroundWork<ListRead> listReading_{this};
    BackgroundWork<PollResult> polling_{this};
    BackgroundWork<Registration> registering_{this};
    BackgroundWork<Retirement> retiring_{this};

    QTableWidget* listTable_;
    QLabel* promptLabel_;
    QLabel* cardIdLabel_;
    QLabel* holderLabel_;
    QLineEdit* familyNameEdit_;
    QLineEdit* givenNameEdit_;
    QLineEdit* particularsEdit_;
    QPushButton* registerButton_;
    QPushButton* retireButton_;
    QLabel* messageLabel_;
    QTimer* pollTimer_;
};

}  // namespace tavomi
