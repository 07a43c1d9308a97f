#include "office_window/presence_page.h"

#include "dialogs/screen_look.h"
#include "office/window_texts.h"
#include "office_window/page_parts.h"
#include "report/report_text.h"

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
    layout->addWidget(table_);

    connect(dateEdit_, &QDateEdit::dateChanged, this, &PresencePage::read);
    connect(todayButton, &QPushButton::clicked, this,
            [this] { dateEdit_->setDate(clock_().date()); });
    connect(watchTimer_, &QTimer::timeout, this, &PresencePage::lookForChanges);
    watchTimer_->start(kWatchMilliseconds);
    read();
}

void PresencePage::read() {
    const QDate date = dateEdit_->date();
    progressBar_->setValue(0);
    progressBar_->show();
    reading_.run(
        [folder = appFolder_, date](const ReadProgress& progress) -> Outcome<PeriodRead> {
            auto read = readPeriod(folder, ReportPeriod::ofDay(date), date, progress);
            if (auto* message = std::get_if<QString>(&read)) {
                return *message;
            }
            return std::get<PeriodRead>(std::move(read));
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
    watching_.run([folder = appFolder_](
                      const ReadProgress&) -> Outcome<DataStamps> { return dataStampsOf(folder); },
                  [this](Outcome<DataStamps> outcome) {
                      const auto* stamps = std::get_if<DataStamps>(&outcome);
                      // A page showing an error tries again each time: the folder may be back.
                      if (!shownAnything_ || !stamps || !(*stamps == shownStamps_)) {
                          read();
                      }
                  });
}

}  // namespace tavomi
