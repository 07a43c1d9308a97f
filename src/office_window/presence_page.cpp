#include "office_window/presence_page.h"

#include "dialogs/screen_look.h"
#include "office/window_texts.h"
#include "office_window/page_parts.h"
#include "report/report_text.h"

#include <QBrush>
#include <QColor>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace tavomi {

PresencePage::PresencePage(std::filesystem::path appFolder, Clock clock, QWidget* parent)
    : QWidget(parent), appFolder_(std::move(appFolder)), clock_(std::move(clock)) {
    dateEdit_ = look::named(new QDateEdit(clock_().date(), this), "dateEdit");
    dateEdit_->setDisplayFormat(u"yyyy/MM/dd"_s);
    dateEdit_->setCalendarPopup(true);
    auto* todayButton = look::named(new QPushButton(u"今日"_s, this), "todayButton");
    headingLabel_ = look::named(new QLabel(this), "headingLabel");
    table_ = office::textTable(
        "presenceTable",
        {u"氏名"_s, u"状況"_s, u"出勤"_s, u"外出"_s, u"戻り"_s, u"中抜"_s, u"退勤"_s}, this);
    messageLabel_ = office::messageLine(this);
    progressBar_ = office::readProgressBar(this);
    watchTimer_ = look::named(new QTimer(this), "watchTimer");
    auto* pcHeading = look::named(new QLabel(u"受付のPC"_s, this), "pcHeadingLabel");
    pcTable_ = office::textTable("pcTable",
                                 {u"PC"_s, u"状態"_s, u"最後にファイルサーバーに届いた時刻"_s,
                                  u"未送信の記録"_s, u"カードの一覧"_s, u"バージョン"_s},
                                 this);
    pcMessageLabel_ = office::messageLine(this);
    pcMessageLabel_->setObjectName(u"pcMessageLabel"_s);
    pcStatusTimer_ = look::named(new QTimer(this), "pcStatusTimer");

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(u"日付"_s, this));
    top->addWidget(dateEdit_);
    top->addWidget(todayButton);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(headingLabel_);
    layout->addWidget(messageLabel_);
    layout->addWidget(progressBar_);
    layout->addWidget(table_, 3);
    layout->addWidget(pcHeading);
    layout->addWidget(pcMessageLabel_);
    layout->addWidget(pcTable_, 1);

    connect(dateEdit_, &QDateEdit::dateChanged, this, &PresencePage::read);
    connect(todayButton, &QPushButton::clicked, this,
            [this] { dateEdit_->setDate(clock_().date()); });
    connect(watchTimer_, &QTimer::timeout, this, &PresencePage::lookForChanges);
    watchTimer_->start(kWatchMilliseconds);
    connect(pcStatusTimer_, &QTimer::timeout, this, &PresencePage::readPcStatuses);
    pcStatusTimer_->start(kPcStatusMilliseconds);
    read();
    readPcStatuses();
}

void PresencePage::readPcStatuses() {
    if (pcReading_.busy()) {
        return;  // a share that hangs: one read at a time
    }
    pcReading_.run([folder = appFolder_, today = clock_().date()](const ReadProgress&)
                       -> Outcome<PcStatusesRead> { return readPcStatusesOn(folder, today); },
                   [this](Outcome<PcStatusesRead> outcome) { showPcStatuses(std::move(outcome)); });
}

void PresencePage::showPcStatuses(Outcome<PcStatusesRead> outcome) {
    if (const auto* message = std::get_if<QString>(&outcome)) {
        pcTable_->setRowCount(0);
        office::showMessage(pcMessageLabel_, *message, true);
        return;
    }
    const PcStatusesRead& read = std::get<PcStatusesRead>(outcome);
    const auto rows = pcRows(read.files, read.schoolHours, clock_());
    pcTable_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const PcRow& row = rows[static_cast<std::size_t>(i)];
        office::setRow(
            pcTable_, i,
            {row.name, row.standing, row.reached, row.waiting, row.cardList, row.version});
        // The colour repeats the text's mark, for whoever does not tell red apart.
        if (row.needsLook) {
            for (int column = 0; column < pcTable_->columnCount(); ++column) {
                QTableWidgetItem* item = pcTable_->item(i, column);
                item->setBackground(QColor(0xff, 0xe0, 0xe0));
                item->setForeground(QColor(0xb0, 0x00, 0x00));
            }
        }
    }
    office::showMessage(pcMessageLabel_,
                        rows.empty() ? u"状態を知らせているPCはまだありません。"_s : QString(),
                        false);
}

void PresencePage::read() {
    const QDate date = dateEdit_->date();
    progressBar_->setValue(0);
    progressBar_->show();
    reading_.run(
        [folder = appFolder_, date](const ReadProgress& progress) -> Outcome<PeriodRead> {
            return readPeriod(folder, ReportPeriod::ofDay(date), date, progress);
        },
        [this](Outcome<PeriodRead> outcome) { showRead(std::move(outcome)); },
        [this](int perMille) { progressBar_->setValue(perMille); });
}

void PresencePage::showRead(Outcome<PeriodRead> outcome) {
    progressBar_->hide();
    if (const auto* message = std::get_if<QString>(&outcome)) {
        // What was shown is no longer known to be true: the table goes with the message.
        table_->setRowCount(0);
        headingLabel_->clear();
        shownAnything_ = false;
        office::showMessage(messageLabel_, *message, true);
        return;
    }
    const PeriodRead& read = std::get<PeriodRead>(outcome);
    shownStamps_ = read.stamps;
    shownAnything_ = true;
    const QDateTime now = clock_();
    const QDate date = read.report.period.first();
    QString heading = recordDateText(date) + u"（"_s + weekdayText(date) + u"）の在校状況"_s;
    if (date == now.date()) {
        heading += u"　"_s + now.time().toString(u"H:mm"_s) + u" 現在"_s;
    }
    headingLabel_->setText(heading);
    const auto rows = presenceRows(read.report, date < now.date());
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const PresenceRow& row = rows[static_cast<std::size_t>(i)];
        office::setRow(table_, i,
                       {row.name, row.standing, row.clockIns, row.goingOuts, row.returns,
                        row.absences, row.clockOuts});
    }
    office::showMessage(messageLabel_, read.notes.join(u'\n'), !read.notes.isEmpty());
}

void PresencePage::lookForChanges() {
    if (reading_.busy() || watching_.busy()) {
        return;
    }
    office::readAgainOnChange(
        watching_, appFolder_,
        [this]() -> std::optional<DataStamps> {
            return shownAnything_ ? std::optional(shownStamps_) : std::nullopt;
        },
        [this] { read(); });
}

}  // namespace tavomi
