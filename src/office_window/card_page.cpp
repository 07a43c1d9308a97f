#include "office_window/card_page.h"

#include "dialogs/screen_look.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "office/tool_output.h"
#include "office/window_reads.h"
#include "office/window_texts.h"
#include "office_window/page_parts.h"

#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

const QString kLayCard = u"カードを置いてください"_s;

// The comma-text rules keep an empty field as one space; the table shows it empty.
QString cellText(const QString& field) {
    return withControlPictures(field == u" "_s ? QString() : field);
}

}  // namespace

CardPage::CardPage(std::filesystem::path appFolder, CardPoller& poller, QWidget* parent)
    : QWidget(parent), appFolder_(std::move(appFolder)), poller_(poller) {
    listTable_ = office::textTable("cardholderTable",
                                   {u"カードID（IDm）"_s, u"氏名"_s, u"職名・備考"_s}, this);
    promptLabel_ = look::named(new QLabel(kLayCard, this), "promptLabel");
    look::setPixelSize(promptLabel_, 20);
    cardIdLabel_ = look::named(new QLabel(this), "cardIdLabel");
    holderLabel_ = look::named(new QLabel(this), "holderLabel");
    holderLabel_->setTextFormat(Qt::PlainText);  // a name from the list is never markup
    familyNameEdit_ = look::named(new QLineEdit(this), "familyNameEdit");
    givenNameEdit_ = look::named(new QLineEdit(this), "givenNameEdit");
    particularsEdit_ = look::named(new QLineEdit(this), "particularsEdit");
    registerButton_ = look::named(new QPushButton(u"このカードを登録"_s, this), "registerButton");
    retireButton_ =
        look::named(new QPushButton(u"このカードを使えなくする"_s, this), "retireButton");
    retireButton_->setToolTip(u"なくした・返したカードをカード登録ファイルから外します"_s);
    retireButton_->setEnabled(false);
    messageLabel_ = office::messageLine(this);
    pollTimer_ = look::named(new QTimer(this), "pollTimer");

    auto* card = new QGroupBox(u"置いたカード"_s, this);
    auto* cardForm = new QFormLayout(card);
    cardForm->addRow(promptLabel_);
    cardForm->addRow(u"IDm"_s, cardIdLabel_);
    cardForm->addRow(u"登録"_s, holderLabel_);
    cardForm->addRow(retireButton_);
    auto* holder = new QGroupBox(u"登録する人"_s, this);
    auto* holderForm = new QFormLayout(holder);
    auto* names = new QHBoxLayout;
    names->addWidget(new QLabel(u"姓"_s, this));
    names->addWidget(familyNameEdit_);
    names->addWidget(new QLabel(u"名"_s, this));
    names->addWidget(givenNameEdit_);
    holderForm->addRow(u"氏名"_s, names);
    holderForm->addRow(u"職名・備考"_s, particularsEdit_);
    holderForm->addRow(registerButton_);
    auto* side = new QVBoxLayout;
    side->addWidget(card);
    side->addWidget(holder);
    side->addWidget(messageLabel_);
    side->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(listTable_, 3);
    layout->addLayout(side, 2);

    connect(pollTimer_, &QTimer::timeout, this, &CardPage::poll);
    connect(registerButton_, &QPushButton::clicked, this, &CardPage::registerLaidCard);
    connect(retireButton_, &QPushButton::clicked, this, &CardPage::retireLaidCard);
    readList();
}

void CardPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    pollTimer_->start(kPollMilliseconds);
}

void CardPage::hideEvent(QHideEvent* event) {
    pollTimer_->stop();
    QWidget::hideEvent(event);
}

void CardPage::readList() {
    listReading_.run(
        [folder = appFolder_](const ReadProgress&) -> Outcome<ListRead> {
            // The stamp before the read: a change during it makes a retire refuse, not guess.
            const FileStamp stamp = fileStampOf(dataFilePath(folder, kCardholderListFile));
            auto read = readCardholders(folder);
            if (auto* message = std::get_if<QString>(&read)) {
                return *message;
            }
            return ListRead{std::get<std::vector<CardholderRow>>(std::move(read)), stamp};
        },
        [this](Outcome<ListRead> outcome) { showList(std::move(outcome)); });
}

void CardPage::showList(Outcome<ListRead> outcome) {
    if (const auto* message = std::get_if<QString>(&outcome)) {
        rows_.clear();
        listTable_->setRowCount(0);
        office::showMessage(messageLabel_, *message, true);
        return;
    }
    ListRead& read = std::get<ListRead>(outcome);
    rows_ = std::move(read.rows);
    listStamp_ = read.stamp;
    listTable_->setRowCount(static_cast<int>(rows_.size()));
    for (int i = 0; i < listTable_->rowCount(); ++i) {
        const CardholderRow& row = rows_[static_cast<std::size_t>(i)];
        office::setRow(listTable_, i,
                       {cellText(row.cardId), cellText(row.name), cellText(row.particulars)});
    }
    showLaidCard();
}

void CardPage::poll() {
    if (polling_.busy()) {
        if (QDateTime::currentMSecsSinceEpoch() - pollStartedAt_ > kPollPatienceMilliseconds) {
            promptLabel_->setText(u"カードリーダーが応答しません（pcscd を確かめてください）"_s);
        }
        return;
    }
    pollStartedAt_ = QDateTime::currentMSecsSinceEpoch();
    polling_.run(
        [&poller = poller_](const ReadProgress&) -> Outcome<PollResult> { return poller.poll(); },
        [this](Outcome<PollResult> outcome) {
            if (const auto* result = std::get_if<PollResult>(&outcome)) {
                showPoll(*result);
            }
        });
}

void CardPage::showPoll(const PollResult& result) {
    if (!result.readerListObtained) {
        promptLabel_->setText(u"カードリーダーが見つかりません"_s);
        return;
    }
    if (!result.cardId) {
        promptLabel_->setText(kLayCard);
        return;
    }
    promptLabel_->setText(u"カードを読み取りました"_s);
    if (!cardRead_ || *result.cardId != laidCardId_) {
        laidCardId_ = *result.cardId;
        cardRead_ = true;
        showLaidCard();
    }
}

std::optional<QString> CardPage::holderOf(const QString& cardId) const {
    std::optional<QString> holder;
    for (const CardholderRow& row : rows_) {  // the list's last line for a card wins
        if (row.cardId == cardId) {
            holder = row.name;
        }
    }
    return holder;
}

void CardPage::showLaidCard() {
    if (!cardRead_) {
        return;
    }
    if (laidCardId_.isEmpty()) {
        cardIdLabel_->setText(u"（カードが IDm を返しませんでした）"_s);
        holderLabel_->clear();
        return;
    }
    cardIdLabel_->setText(laidCardId_);
    const auto holder = holderOf(laidCardId_);
    holderLabel_->setText(holder ? withControlPictures(*holder) + u" さん"_s : u"未登録のカード"_s);
    retireButton_->setEnabled(holder.has_value());
}

std::optional<QString> CardPage::otherCardOf(const QString& name) const {
    for (const CardholderRow& row : rows_) {
        if (row.name == name && row.cardId != laidCardId_ && holderOf(row.cardId) == name) {
            return row.cardId;
        }
    }
    return std::nullopt;
}

bool CardPage::askFirst(const QString& text, const QString& yesCaption) {
    QMessageBox question(QMessageBox::Question, u"カード登録"_s, text, QMessageBox::NoButton, this);
    question.setTextFormat(Qt::PlainText);
    QPushButton* yes = question.addButton(yesCaption, QMessageBox::AcceptRole);
    question.addButton(u"やめる"_s, QMessageBox::RejectRole);
    question.exec();
    return question.clickedButton() == yes;
}

void CardPage::retireLaidCard() {
    const auto holder = holderOf(laidCardId_);
    if (retiring_.busy() || !holder) {
        return;
    }
    if (!askFirst(u"%1 さんのカード %2 を使えなくしますか？\n"
                  u"カード登録ファイルからこのカードの行を外し、タイムレコーダーは"
                  u"このカードを未登録のカードとして扱います。"_s.arg(withControlPictures(*holder),
                                                                      laidCardId_),
                  u"使えなくする"_s)) {
        return;
    }
    retireButton_->setEnabled(false);
    retiring_.run(
        [folder = appFolder_, cardId = laidCardId_,
         seen = listStamp_](const ReadProgress&) -> Outcome<Retirement> {
            try {
                return Retirement{retireCard(folder, cardId, seen), cardId};
            } catch (const FileError& e) {
                return e.japaneseText().replace(u"\r\n"_s, u"\n"_s);
            }
        },
        [this](Outcome<Retirement> outcome) { showRetirement(std::move(outcome)); });
}

void CardPage::showRetirement(Outcome<Retirement> outcome) {
    showLaidCard();
    if (const auto* message = std::get_if<QString>(&outcome)) {
        office::showMessage(messageLabel_, *message, true);
        return;
    }
    const Retirement& done = std::get<Retirement>(outcome);
    switch (done.result.status) {
        case RetireStatus::Retired:
            office::showMessage(messageLabel_,
                                u"カード %1 を使えなくしました（%2 さんのカードでした）。"_s.arg(
                                    done.cardId, withControlPictures(done.result.formerHolder)),
                                false);
            break;
        case RetireStatus::NotRegistered:
            office::showMessage(messageLabel_,
                                u"カード %1 は登録されていません。"_s.arg(done.cardId), true);
            break;
        case RetireStatus::ListChanged:
            office::showMessage(
                messageLabel_,
                u"カード登録ファイルがほかの人に変えられました。何も書き込んでいません。"
                u"一覧を確かめて、もう一度やり直してください。"_s,
                true);
            break;
        case RetireStatus::ListMissing:
            office::showMessage(messageLabel_, u"カード登録ファイルが見つかりません。"_s, true);
            break;
        case RetireStatus::Busy:
            office::showMessage(
                messageLabel_,
                u"ほかのプログラムが書き込み中です。しばらくしてからやり直してください。"_s, true);
            break;
    }
    readList();
}

void CardPage::registerLaidCard() {
    if (registering_.busy()) {
        return;
    }
    QString name = familyNameEdit_->text().trimmed();
    const QString given = givenNameEdit_->text().trimmed();
    if (!given.isEmpty()) {
        name += u"　"_s + given;  // the list holds family and given name so joined
    }
    const QString particulars = particularsEdit_->text().trimmed();
    if (const auto problem = nameProblem(name)) {
        office::showMessage(messageLabel_, nameProblemText(*problem), true);
        return;
    }
    if (const auto problem = fieldProblem(particulars)) {
        office::showMessage(messageLabel_, particularsProblemText(*problem), true);
        return;
    }
    if (!cardRead_) {
        office::showMessage(messageLabel_, u"先にカードをカードリーダーに置いてください。"_s, true);
        return;
    }
    if (laidCardId_.isEmpty()) {
        office::showMessage(messageLabel_, u"このカードは IDm を返さないため登録できません。"_s,
                            true);
        return;
    }
    if (const auto other = otherCardOf(name);
        other && !askFirst(u"%1 さんにはすでにカード %2 が登録されています。\n"
                           u"このカード %3 も %1 さんのカードとして登録しますか？"_s.arg(
                               withControlPictures(name), *other, laidCardId_),
                           u"登録する"_s)) {
        office::showMessage(messageLabel_, u"登録しませんでした。"_s, false);
        return;
    }
    startRegistration(name, particulars.isEmpty() ? QStringList() : QStringList{particulars},
                      false);
}

void CardPage::startRegistration(const QString& name, const QStringList& particulars,
                                 bool reassign) {
    registerButton_->setEnabled(false);
    registering_.run(
        [folder = appFolder_, cardId = laidCardId_, name, particulars,
         reassign](const ReadProgress&) -> Outcome<Registration> {
            try {
                return Registration{registerCard(folder, cardId, name, particulars, reassign),
                                    cardId, name};
            } catch (const FileError& e) {
                return e.japaneseText().replace(u"\r\n"_s, u"\n"_s);
            }
        },
        [this, particulars](Outcome<Registration> outcome) {
            showRegistration(std::move(outcome), particulars);
        });
}

void CardPage::showRegistration(Outcome<Registration> outcome, const QStringList& particulars) {
    registerButton_->setEnabled(true);
    if (const auto* message = std::get_if<QString>(&outcome)) {
        office::showMessage(messageLabel_, *message, true);
        return;
    }
    const Registration& done = std::get<Registration>(outcome);
    const RegisterStatus status = done.result.status;
    if (status == RegisterStatus::AlreadyRegistered) {
        QMessageBox question(QMessageBox::Question, u"カード登録"_s,
                             reassignQuestion(done.cardId, done.result.formerHolder, done.name),
                             QMessageBox::NoButton, this);
        question.setTextFormat(Qt::PlainText);
        QPushButton* yes = question.addButton(u"登録し直す"_s, QMessageBox::AcceptRole);
        question.addButton(u"やめる"_s, QMessageBox::RejectRole);
        question.exec();
        if (question.clickedButton() == yes && done.cardId == laidCardId_) {
            startRegistration(done.name, particulars, true);
        } else {
            office::showMessage(messageLabel_,
                                registerStatusText(done.result, done.cardId, done.name), true);
        }
        return;
    }
    office::showMessage(messageLabel_, registerStatusText(done.result, done.cardId, done.name),
                        status != RegisterStatus::Registered);
    if (status == RegisterStatus::Registered) {
        familyNameEdit_->clear();
        givenNameEdit_->clear();
        particularsEdit_->clear();
        readList();
    }
}

}  // namespace tavomi
