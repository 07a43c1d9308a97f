#include "office_window/calendar_page.h"

#include "dialogs/screen_look.h"
#include "files/data_dates.h"
#include "files/file_error.h"
#include "office/window_reads.h"
#include "office_window/page_parts.h"
#include "report/report_model.h"
#include "report/text_table.h"

#include <QButtonGroup>
#include <QColor>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

enum Column { kDate, kWeekday, kMark, kKind, kStart, kEnd, kRest, kNote };

QStringList headings() {
    return {u"日付"_s, u"曜日"_s, u"暦の休み"_s, u"勤務の扱い"_s,
            u"開始"_s, u"終了"_s, u"休憩"_s,     u"備考"_s};
}

// The file errors' Japanese text, its line breaks as a label shows them.
QString messageOf(const FileError& error) {
    return error.japaneseText().replace(u"\r\n"_s, u"\n"_s);
}

// The colours only repeat what the 暦の休み column says in words.
void colourDay(QTableWidget* table, int row, const CalendarDayRow& day) {
    const bool redDay = day.date.dayOfWeek() == Qt::Sunday || day.mark.contains(u"祝日"_s);
    const bool blueDay = !redDay && day.date.dayOfWeek() == Qt::Saturday;
    if (!redDay && !blueDay) {
        return;
    }
    const QColor colour = redDay ? QColor(0xb0, 0x00, 0x20) : QColor(0x00, 0x40, 0xb0);
    for (int column : {kDate, kWeekday, kMark}) {
        if (QTableWidgetItem* item = table->item(row, column)) {
            item->setForeground(colour);
        }
    }
}

QString dayText(const QDate& date) {
    return recordDateText(date) + u"（"_s + weekdayText(date) + u"）"_s;
}

}  // namespace

CalendarPage::CalendarPage(std::filesystem::path appFolder, Clock clock, QWidget* parent)
    : QWidget(parent), appFolder_(std::move(appFolder)), clock_(std::move(clock)) {
    const QDate today = clock_().date();
    const office::MonthPicker picker = office::monthPicker(today, this);
    yearSpin_ = picker.year;
    monthSpin_ = picker.month;
    headingLabel_ = look::named(new QLabel(this), "headingLabel");
    table_ = office::textTable("calendarTable", headings(), this);
    problemList_ = look::named(new QListWidget(this), "problemList");
    chosenLabel_ = look::named(new QLabel(this), "chosenLabel");
    dayOffRadio_ = look::named(new QRadioButton(u"休日にする"_s, this), "dayOffRadio");
    workdayRadio_ = look::named(new QRadioButton(u"勤務日にする"_s, this), "workdayRadio");
    dayOffRadio_->setChecked(true);
    auto* kinds = new QButtonGroup(this);
    kinds->addButton(dayOffRadio_);
    kinds->addButton(workdayRadio_);
    startEdit_ = look::named(new QLineEdit(this), "startEdit");
    endEdit_ = look::named(new QLineEdit(this), "endEdit");
    restEdit_ = look::named(new QLineEdit(this), "restEdit");
    startEdit_->setPlaceholderText(u"例 8:15"_s);
    endEdit_->setPlaceholderText(u"例 16:45"_s);
    restEdit_->setPlaceholderText(u"例 0:45"_s);
    noteEdit_ = look::named(new QLineEdit(this), "noteEdit");
    recordButton_ = look::named(new QPushButton(u"記録する"_s, this), "recordButton");
    messageLabel_ = office::messageLine(this);

    auto* top = office::monthRow({yearSpin_, monthSpin_}, headingLabel_, this);

    auto* problems =
        new QGroupBox(u"school_calendar.txt の読めなかった行（使っていません）"_s, this);
    (new QVBoxLayout(problems))->addWidget(problemList_);
    problems->hide();
    problemsBox_ = problems;
    auto* left = new QVBoxLayout;
    left->addWidget(table_, 1);
    left->addWidget(problems);

    auto* marking = new QGroupBox(u"日に印をつける"_s, this);
    auto* form = new QFormLayout(marking);
    form->addRow(chosenLabel_);
    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(dayOffRadio_);
    kindRow->addWidget(workdayRadio_);
    form->addRow(kindRow);
    form->addRow(u"開始"_s, startEdit_);
    form->addRow(u"終了"_s, endEdit_);
    form->addRow(u"休憩"_s, restEdit_);
    form->addRow(u"備考"_s, noteEdit_);
    form->addRow(recordButton_);
    auto* help = look::named(
        new QLabel(u"時刻は 8:15 のように 時:分 で入れます（勤務日だけ、どれも省けます）。"
                   u"勤務日に開始と終了を入れないときは、その日のいつもの勤務時間で数えます。\n"
                   u"同じ日を記録し直すと、後の記録が使われます。印を外すには、その日を"
                   u"もう一方（休日なら勤務日、勤務日なら休日）として記録し直してください。"_s,
                   marking),
        "helpLabel");
    help->setWordWrap(true);
    form->addRow(help);
    auto* side = new QVBoxLayout;
    side->addWidget(marking);
    side->addWidget(messageLabel_);
    side->addStretch();

    auto* body = new QHBoxLayout;
    body->addLayout(left, 3);
    body->addLayout(side, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body);

    connect(yearSpin_, &QSpinBox::valueChanged, this, [this] { read(); });
    connect(monthSpin_, &QSpinBox::valueChanged, this, [this] { read(); });
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!filling_) {
            choose(row);
        }
    });
    connect(workdayRadio_, &QRadioButton::toggled, this, &CalendarPage::showKindChoice);
    connect(recordButton_, &QPushButton::clicked, this, &CalendarPage::record);
    choose(-1);
    showKindChoice();
}

void CalendarPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    read();
}

void CalendarPage::read(const QString& afterRead) {
    const int year = yearSpin_->value();
    const int month = monthSpin_->value();
    headingLabel_->setText(u"%1年%2月の学校の暦（読み込み中…）"_s.arg(year).arg(month));
    reading_.run(
        [folder = appFolder_](const ReadProgress&) -> Outcome<SchoolCalendar> {
            if (QString problem = dataFolderProblem(folder); !problem.isEmpty()) {
                return problem;
            }
            try {
                return readSchoolCalendar(folder);
            } catch (const FileError& e) {
                return u"学校の暦（school_calendar.txt）を読めませんでした。\n"_s + messageOf(e);
            }
        },
        [this, year, month, afterRead](Outcome<SchoolCalendar> outcome) {
            showRead(year, month, std::move(outcome), afterRead);
        });
}

void CalendarPage::showRead(int year, int month, Outcome<SchoolCalendar> outcome,
                            const QString& afterRead) {
    headingLabel_->setText(u"%1年%2月の学校の暦"_s.arg(year).arg(month));
    filling_ = true;
    table_->setRowCount(0);
    problemList_->clear();
    problemsBox_->hide();
    rows_.clear();
    if (const auto* message = std::get_if<QString>(&outcome)) {
        // Days shown without the school's entries would be wrong for the count: none are shown.
        filling_ = false;
        choose(-1);
        const QString text = afterRead.isEmpty() ? *message : afterRead + u'\n' + *message;
        office::showMessage(messageLabel_, text, true);
        return;
    }
    const SchoolCalendar& calendar = std::get<SchoolCalendar>(outcome);
    rows_ = calendarDayRows(year, month, calendar);
    table_->setRowCount(static_cast<int>(rows_.size()));
    int chosenRow = -1;
    for (int i = 0; i < table_->rowCount(); ++i) {
        const CalendarDayRow& day = rows_[static_cast<std::size_t>(i)];
        office::setRow(table_, i,
                       {day.dateText, day.weekday, day.mark, day.kind, day.start, day.end, day.rest,
                        withControlPictures(day.note)});
        colourDay(table_, i, day);
        if (day.date == chosen_) {
            chosenRow = i;
        }
    }
    const QStringList problemTexts = calendarProblemTexts(calendar);
    problemList_->addItems(problemTexts);
    problemsBox_->setVisible(!problemTexts.isEmpty());
    if (chosenRow >= 0) {
        table_->setCurrentCell(chosenRow, 0);
    }
    filling_ = false;
    choose(chosenRow);
    office::showMessage(messageLabel_, afterRead, false);
}

void CalendarPage::choose(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        chosen_ = QDate();
        chosenLabel_->setText(u"印をつける日を表から選んでください。"_s);
        return;
    }
    const CalendarDayRow& day = rows_[static_cast<std::size_t>(row)];
    chosen_ = day.date;
    chosenLabel_->setText(u"選んだ日：%1　いまは %2"_s.arg(dayText(day.date), day.kind));
}

void CalendarPage::showKindChoice() {
    // A day off has no hours: its time fields are neither filled nor written.
    const bool workday = workdayRadio_->isChecked();
    for (QLineEdit* edit : {startEdit_, endEdit_, restEdit_}) {
        edit->setEnabled(workday);
    }
}

void CalendarPage::record() {
    if (writing_.busy()) {
        return;
    }
    const bool workday = workdayRadio_->isChecked();
    DayMarking marking;
    marking.date = chosen_;
    marking.workday = workday;
    if (workday) {
        marking.start = startEdit_->text();
        marking.end = endEdit_->text();
        marking.rest = restEdit_->text();
    }
    marking.note = noteEdit_->text();
    auto checked = schoolDayOf(marking);
    if (const auto* refusal = std::get_if<QString>(&checked)) {
        office::showMessage(messageLabel_, *refusal, true);
        return;
    }
    recordButton_->setEnabled(false);
    office::showMessage(messageLabel_, u"記録しています…"_s, false);
    writing_.run(
        [folder = appFolder_,
         day = std::get<SchoolDay>(checked)](const ReadProgress&) -> Outcome<SchoolDay> {
            if (QString problem = dataFolderProblem(folder); !problem.isEmpty()) {
                return problem;
            }
            try {
                appendSchoolDay(folder, day);
                return day;
            } catch (const FileError& e) {
                return u"学校の暦に記録できませんでした。\n"_s + messageOf(e);
            }
        },
        [this](Outcome<SchoolDay> outcome) {
            recordButton_->setEnabled(true);
            if (const auto* message = std::get_if<QString>(&outcome)) {
                office::showMessage(messageLabel_, *message, true);
                return;
            }
            const SchoolDay& day = std::get<SchoolDay>(outcome);
            for (QLineEdit* edit : {startEdit_, endEdit_, restEdit_, noteEdit_}) {
                edit->clear();
            }
            read(u"%1 を%2として記録しました。"_s.arg(dayText(day.date),
                                                      day.workday ? u"勤務日"_s : u"休日"_s));
        });
}

}  // namespace tavomi
