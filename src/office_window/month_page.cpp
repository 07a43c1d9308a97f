#include "office_window/month_page.h"

#include "dialogs/screen_look.h"
#include "office/report_tool.h"
#include "office/tool_output.h"
#include "office/window_texts.h"
#include "office_window/board_page.h"
#include "office_window/correction_dialog.h"
#include "office_window/page_parts.h"
#include "report/board_report.h"
#include "report/report_pdf.h"
#include "report/report_text.h"
#include "report/report_xlsx.h"

#include <QColor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// The teacher table: the month's totals as the report's CSV has them, and the days that
// need checking.
QStringList teacherHeadings() {
    return totalsHeader() << u"確認が必要な日"_s;
}

// Columns of totalsHeader() the page colours and first sorts by.
constexpr int kOvertimeColumn = 5;
constexpr int kFlagsColumn = 8;
constexpr int kSortRole = Qt::UserRole + 1;
constexpr int kTeacherRole = Qt::UserRole;
constexpr int kDayRole = Qt::UserRole + 2;
constexpr int kMissingKindRole = Qt::UserRole + 3;

QStringList teacherCells(const PeriodReport& report, std::size_t row) {
    const TeacherDays& teacher = report.teachers[row];
    QStringList cells =
        row < report.totals.size() ? totalsRow(report.totals[row]) : QStringList{teacher.name};
    cells.resize(totalsHeader().size());
    cells.front() = withControlPictures(teacher.name);
    if (row < report.totals.size()) {
        cells[kFlagsColumn] = markedCapFlags(report.totals[row]);
    }
    const int days = daysWithExceptions(teacher);
    return cells << (days == 0 ? QString() : u"%1日"_s.arg(days));
}

// What a column sorts by: the minutes or the count behind the text, for the columns that
// hold them; the gravest level for the flags.
QList<QVariant> sortKeys(const PeriodReport& report, std::size_t row) {
    QList<QVariant> keys(teacherHeadings().size());
    if (row >= report.totals.size()) {
        return keys;
    }
    const TeacherTotals& t = report.totals[row];
    keys[1] = t.attendanceDays;
    keys[2] = t.present;
    keys[3] = t.outside;
    keys[4] = t.scheduled;
    keys[kOvertimeColumn] = t.overtime;
    keys[6] = t.fiscalYearOvertime;
    keys[7] = t.highestAverage;
    const std::optional<CapLevel> level = gravestCapLevel(t);
    keys[kFlagsColumn] = level ? static_cast<int>(*level) + 1 : 0;
    keys[9] = static_cast<int>(t.uncounted.size());
    keys[10] = static_cast<int>(t.noRecord.size());
    keys[11] = daysWithExceptions(report.teachers[row]);
    return keys;
}

// A cell that sorts by its key where it has one, else by its text.
class SortableItem : public QTableWidgetItem {
  public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant mine = data(kSortRole);
        const QVariant theirs = other.data(kSortRole);
        if (mine.isValid() && theirs.isValid()) {
            return mine.toInt() < theirs.toInt();
        }
        return QTableWidgetItem::operator<(other);
    }
};

// A teacher's row: the teacher's place in the report on the name, and at a cap level the
// overtime and the flags in the level's colour (the flags begin with its mark).
void setTeacherRow(QTableWidget* table, int row, const PeriodReport& report, std::size_t teacher) {
    const QStringList cells = teacherCells(report, teacher);
    const QList<QVariant> keys = sortKeys(report, teacher);
    for (int column = 0; column < cells.size() && column < table->columnCount(); ++column) {
        auto* item = new SortableItem(cells[column]);
        if (keys[column].isValid()) {
            item->setData(kSortRole, keys[column]);
        }
        table->setItem(row, column, item);
    }
    table->item(row, 0)->setData(kTeacherRole, static_cast<qulonglong>(teacher));
    if (teacher >= report.totals.size()) {
        return;
    }
    if (const auto level = gravestCapLevel(report.totals[teacher])) {
        const QColor fill = QColor::fromRgb(capLevelLook(*level).rgb);
        for (const int column : {kOvertimeColumn, kFlagsColumn}) {
            table->item(row, column)->setBackground(fill);
            table->item(row, column)->setForeground(Qt::black);
        }
    }
}

// What each column of the teacher table counts, on its heading's tooltip; and widths that
// keep every column in sight at the window's default size: the name and the numbers as wide
// as their usual text, the lists of days and flags sharing the rest (a heading cut short
// still has its tooltip, and any column can be widened by hand).
void fitTeacherColumns(QTableWidget* table) {
    const QStringList tips = {
        u"氏名（カード登録の一覧の順、一覧にない名前は記録に出てくる順）"_s,
        u"この月に出勤の記録がある日の数"_s,
        u"この月の在校等時間の合計（時間に数えない日を除く）"_s,
        u"在校等時間のうち、事由のない外出（出張・引率など校外の勤務）の時間"_s,
        u"この月の勤務日の所定の勤務時間の合計"_s,
        u"この月の時間外在校等時間（所定の勤務時間を超えた在校等時間、休日は全部）"_s,
        u"年度（4月から）この月までの時間外在校等時間の合計"_s,
        u"この月までの2～6か月の時間外の平均のうち最も大きいもの（何か月の平均か）"_s,
        u"この月に超えた上限（▲ 月45時間超、◆ 2～6か月平均80時間超、● 月100時間以上、"
        u"年360時間超）"_s,
        u"在校等時間に数えなかった日とその理由（退勤なし、出勤なし）"_s,
        u"勤務時間のある日（今日まで）のうち、記録が一つもない日"_s,
        u"確認が必要な記録（退勤なし、出勤なし、戻りなし、外出なし、出勤2回）のある日の数"_s,
    };
    QHeaderView* header = table->horizontalHeader();
    const QFontMetrics metrics = table->fontMetrics();
    const int padding = metrics.averageCharWidth() + 6;
    header->setMinimumSectionSize(metrics.horizontalAdvance(u"000"_s) + padding);
    header->setStretchLastSection(false);
    // A heading too long for its column goes on to further lines rather than being cut.
    header->setDefaultAlignment(Qt::AlignCenter | static_cast<Qt::Alignment>(Qt::TextWordWrap));
    header->setMinimumHeight(3 * metrics.lineSpacing() + 8);
    for (int column = 0; column < table->columnCount(); ++column) {
        if (QTableWidgetItem* heading = table->horizontalHeaderItem(column)) {
            heading->setToolTip(tips.value(column));
        }
        // The usual widest text of the column; none for the lists, which stretch.
        QString sample;
        if (column == 0) {
            sample = u"山田　花子"_s;
        } else if (column == 1) {
            sample = u"00日"_s;
        } else if (column == 11) {
            sample = u"確認が"_s;  // its heading on three lines
        } else if (column <= 7) {
            sample = u"000:00"_s;
        }
        if (sample.isEmpty()) {
            header->setSectionResizeMode(column, QHeaderView::Stretch);
        } else {
            header->setSectionResizeMode(column, QHeaderView::Interactive);
            header->resizeSection(column, metrics.horizontalAdvance(sample) + padding);
        }
    }
}

// The legend: each level's mark on its colour, and its name.
QString legendHtml() {
    QStringList parts;
    for (const CapLevelLook& look : capLevelLooks()) {
        parts.append(
            u"<span style=\"background-color:%1; color:black\">&nbsp;%2&nbsp;</span> %3"_s.arg(
                QColor::fromRgb(look.rgb).name(), look.mark, look.name));
    }
    return u"凡例: "_s + parts.join(u"　"_s);
}

QString dataFileRefusal(const QString& file) {
    return u"%1 は Tavomi のデータファイルです。勤務表で上書きすることはできません。"
           u"別の名前を指定してください。"_s.arg(file);
}

}  // namespace

MonthPage::MonthPage(std::filesystem::path appFolder, Clock clock, QWidget* parent)
    : QWidget(parent), appFolder_(std::move(appFolder)), clock_(std::move(clock)) {
    choosePath_ = [this](const QString& title, const QString& suggested, const QString& filter) {
        return QFileDialog::getSaveFileName(this, title, QDir::home().filePath(suggested), filter);
    };
    const QDate opening = monthToOpenOn(clock_().date());
    const office::MonthPicker picker = office::monthPicker(opening, this);
    yearSpin_ = picker.year;
    monthSpin_ = picker.month;
    headingLabel_ = look::named(new QLabel(this), "headingLabel");
    teacherTable_ = office::textTable("teacherTable", teacherHeadings(), this);
    fitTeacherColumns(teacherTable_);
    legendLabel_ = look::named(new QLabel(legendHtml(), this), "capLegend");
    legendLabel_->setTextFormat(Qt::RichText);
    sheetTable_ = office::textTable("sheetTable", sheetHeader(), this);
    findingsList_ = look::named(new QListWidget(this), "findingsList");
    csvButton_ = look::named(new QPushButton(u"CSV に保存…"_s, this), "csvButton");
    pdfButton_ = look::named(new QPushButton(u"PDF に保存…"_s, this), "pdfButton");
    xlsxButton_ = look::named(new QPushButton(u"Excel に保存…"_s, this), "xlsxButton");
    messageLabel_ = office::messageLine(this);
    progressBar_ = office::readProgressBar(this);

    auto* top = office::monthRow({yearSpin_, monthSpin_}, headingLabel_, this);
    top->addWidget(csvButton_);
    top->addWidget(pdfButton_);
    top->addWidget(xlsxButton_);

    addRecordButton_ =
        look::named(new QPushButton(u"この日に記録を加える…"_s, this), "addRecordButton");
    addRecordButton_->setToolTip(
        u"選んだ行に足りない記録を、受付の手動入力と同じ形（手動記録）で加えます"_s);
    addRecordButton_->setEnabled(false);
    auto* findings = new QGroupBox(u"確認が必要な記録と読めない行"_s, this);
    auto* findingsLayout = new QVBoxLayout(findings);
    findingsLayout->addWidget(findingsList_);
    findingsLayout->addWidget(addRecordButton_, 0, Qt::AlignRight);
    // How every number on the page is made, one click away.
    auto* rules = look::named(new QGroupBox(u"集計のきまり"_s, this), "countingRulesPanel");
    rules->setCheckable(true);
    rules->setChecked(false);
    auto* rulesText = look::named(new QLabel(countingRules().join(u'\n'), rules), "countingRules");
    rulesText->setWordWrap(true);
    rulesText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rulesText->setVisible(false);
    (new QVBoxLayout(rules))->addWidget(rulesText);
    connect(rules, &QGroupBox::toggled, rulesText, &QWidget::setVisible);
    auto* bottom = new QWidget(this);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addWidget(findings);
    bottomLayout->addWidget(rules);
    auto* teachers = new QWidget(this);
    auto* teachersLayout = new QVBoxLayout(teachers);
    teachersLayout->setContentsMargins(0, 0, 0, 0);
    teachersLayout->addWidget(legendLabel_);
    teachersLayout->addWidget(teacherTable_);
    auto* tables = new QSplitter(Qt::Horizontal, this);
    tables->addWidget(teachers);
    tables->addWidget(sheetTable_);
    // The totals and their flags are what the office reads first: the teachers' side
    // gets as much room as the day-by-day sheet.
    tables->setStretchFactor(0, 1);
    tables->setStretchFactor(1, 1);
    auto* page = new QSplitter(Qt::Vertical, this);
    page->addWidget(tables);
    page->addWidget(bottom);
    page->setStretchFactor(0, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(messageLabel_);
    layout->addWidget(progressBar_);
    layout->addWidget(page);

    connect(yearSpin_, &QSpinBox::valueChanged, this, &MonthPage::read);
    connect(monthSpin_, &QSpinBox::valueChanged, this, &MonthPage::read);
    connect(teacherTable_, &QTableWidget::currentCellChanged, this,
            [this](int row) { showTeacher(row); });
    connect(csvButton_, &QPushButton::clicked, this, [this] { save(Format::Csv); });
    connect(pdfButton_, &QPushButton::clicked, this, [this] { save(Format::Pdf); });
    connect(xlsxButton_, &QPushButton::clicked, this, [this] { save(Format::Xlsx); });
    connect(findingsList_, &QListWidget::itemClicked, this,
            [this](const QListWidgetItem* item) { openFinding(item); });
    connect(findingsList_, &QListWidget::itemActivated, this,
            [this](const QListWidgetItem* item) { openFinding(item); });
    connect(findingsList_, &QListWidget::currentItemChanged, this, &MonthPage::enableAddRecord);
    connect(addRecordButton_, &QPushButton::clicked, this, &MonthPage::addMissingRecord);
    askCorrection_ = [this](const QString& person, const QDate& date,
                            RecordKind kind) -> std::optional<ManualEntry> {
        CorrectionDialog dialog(person, date, kind, this);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.entry();
    };
    auto* watchTimer = look::named(new QTimer(this), "watchTimer");
    connect(watchTimer, &QTimer::timeout, this, &MonthPage::lookForChanges);
    watchTimer->start(kWatchMilliseconds);
    read();
}

void MonthPage::readKeepingChoice() {
    Choice choice;
    if (const QTableWidgetItem* name = teacherTable_->item(teacherTable_->currentRow(), 0);
        name != nullptr && shown_) {
        const auto index = name->data(kTeacherRole).toULongLong();
        if (index < shown_->teachers.size()) {
            choice.teacher = shown_->teachers[index].name;
            const int dayRow = sheetTable_->currentRow();
            const auto& days = shown_->teachers[index].days;
            if (dayRow >= 0 && dayRow < static_cast<int>(days.size())) {
                choice.day = days[static_cast<std::size_t>(dayRow)].date;
            }
        }
    }
    choice.sortColumn = teacherTable_->horizontalHeader()->sortIndicatorSection();
    choice.sortOrder = teacherTable_->horizontalHeader()->sortIndicatorOrder();
    read();
    keep_ = choice;
}

void MonthPage::lookForChanges() {
    if (reading_.busy() || watching_.busy()) {
        return;
    }
    office::readAgainOnChange(
        watching_, appFolder_,
        [this]() -> std::optional<DataStamps> {
            return shownAnything_ ? std::optional(shownStamps_) : std::nullopt;
        },
        [this] { readKeepingChoice(); });
}

void MonthPage::enableAddRecord() {
    const QListWidgetItem* item = findingsList_->currentItem();
    addRecordButton_->setEnabled(item != nullptr && item->data(kMissingKindRole).isValid() &&
                                 !correcting_.busy());
}

void MonthPage::addMissingRecord() {
    const QListWidgetItem* item = findingsList_->currentItem();
    if (item == nullptr || !item->data(kMissingKindRole).isValid() || !shown_ ||
        correcting_.busy()) {
        return;
    }
    const auto teacher = item->data(kTeacherRole).toULongLong();
    if (teacher >= shown_->teachers.size()) {
        return;
    }
    const auto kind = static_cast<RecordKind>(item->data(kMissingKindRole).toInt());
    const std::optional<ManualEntry> entry =
        askCorrection_(shown_->teachers[teacher].name, item->data(kDayRole).toDate(), kind);
    if (!entry) {
        return;
    }
    addRecordButton_->setEnabled(false);
    office::showMessage(messageLabel_, u"記録しています…"_s, false);
    correcting_.run(
        [folder = appFolder_, entry = *entry, now = clock_()](const ReadProgress&)
            -> Outcome<CorrectionOutcome> { return writeCorrection(folder, entry, now); },
        [this](Outcome<CorrectionOutcome> outcome) {
            const auto* done = std::get_if<CorrectionOutcome>(&outcome);
            const QString message = done ? done->message : std::get<QString>(outcome);
            office::showMessage(messageLabel_, message, !done || done->isError);
            if (done && done->written) {
                correctionSaid_ = message;  // said again above what the new read says
                readKeepingChoice();
            }
            enableAddRecord();
        });
}

void MonthPage::openFinding(const QListWidgetItem* item) {
    if (item == nullptr || !item->data(kTeacherRole).isValid()) {
        return;
    }
    selectTeacherAndDay(item->data(kTeacherRole).toULongLong(), item->data(kDayRole).toDate());
}

void MonthPage::selectTeacherAndDay(std::size_t teacher, const QDate& day) {
    for (int row = 0; row < teacherTable_->rowCount(); ++row) {
        const QTableWidgetItem* name = teacherTable_->item(row, 0);
        if (name == nullptr || name->data(kTeacherRole).toULongLong() != teacher) {
            continue;
        }
        teacherTable_->setCurrentCell(row, 0);
        teacherTable_->scrollToItem(name);
        const auto& days = shown_->teachers[teacher].days;
        for (std::size_t i = 0; i < days.size(); ++i) {
            if (days[i].date == day) {
                sheetTable_->setCurrentCell(static_cast<int>(i), 0);
                sheetTable_->scrollToItem(sheetTable_->item(static_cast<int>(i), 0),
                                          QAbstractItemView::PositionAtCenter);
            }
        }
        return;
    }
}

void MonthPage::read() {
    const ReportPeriod month = ReportPeriod::ofMonth(yearSpin_->value(), monthSpin_->value());
    keep_.reset();
    shown_.reset();
    savable_ = false;
    setSaveButtonsEnabled(false);
    headingLabel_->setText(monthTitle(month) + u"の勤務表"_s);
    progressBar_->setValue(0);
    progressBar_->show();
    reading_.run(
        // The job field the office chose on the board's page: the saved sheets say the same.
        [folder = appFolder_, month, today = clock_().date(),
         jobField = BoardPage::savedJobField()](const ReadProgress& progress)
            -> Outcome<PeriodRead> { return readPeriod(folder, month, today, progress, jobField); },
        [this](Outcome<PeriodRead> outcome) { showRead(std::move(outcome)); },
        [this](int perMille) { progressBar_->setValue(perMille); });
}

void MonthPage::showRead(Outcome<PeriodRead> outcome) {
    progressBar_->hide();
    teacherTable_->setRowCount(0);
    sheetTable_->setRowCount(0);
    findingsList_->clear();
    const std::optional<Choice> choice = std::exchange(keep_, std::nullopt);
    if (const auto* message = std::get_if<QString>(&outcome)) {
        shownAnything_ = false;
        office::showMessage(messageLabel_, *message, true);
        return;
    }
    shownStamps_ = std::get<PeriodRead>(outcome).stamps;
    shownAnything_ = true;
    auto report =
        std::make_shared<const PeriodReport>(std::move(std::get<PeriodRead>(outcome).report));
    const QStringList notes = std::get<PeriodRead>(outcome).notes;
    const bool anyRecord = hasRecords(*report);
    QStringList messages = notes;
    if (!anyRecord) {
        messages.prepend(monthTitle(report->period) + u"の記録はありません。"_s);
    }
    if (!correctionSaid_.isEmpty()) {
        messages.prepend(std::exchange(correctionSaid_, QString()));
    }
    office::showMessage(messageLabel_, messages.join(u'\n'), !messages.isEmpty());

    // Filled unsorted, then the largest overtime first (equal ones as listed); a click on a
    // heading sorts by that column.
    teacherTable_->setSortingEnabled(false);
    teacherTable_->setRowCount(static_cast<int>(report->teachers.size()));
    for (int i = 0; i < teacherTable_->rowCount(); ++i) {
        setTeacherRow(teacherTable_, i, *report, static_cast<std::size_t>(i));
    }
    teacherTable_->setSortingEnabled(true);
    if (choice && choice->sortColumn >= 0) {
        teacherTable_->sortItems(choice->sortColumn, choice->sortOrder);
    } else {
        teacherTable_->sortItems(kOvertimeColumn, Qt::DescendingOrder);
    }
    for (const FindingLine& line : findingLines(*report)) {
        auto* item = new QListWidgetItem(line.text, findingsList_);
        if (line.teacher) {
            item->setData(kTeacherRole, static_cast<qulonglong>(*line.teacher));
            item->setData(kDayRole, line.date);
            item->setToolTip(u"クリックすると、この日の勤務表を開きます"_s);
        }
        if (const auto kind = line.exception ? missingRecordKind(*line.exception) : std::nullopt) {
            item->setData(kMissingKindRole, static_cast<int>(*kind));
        }
    }
    shown_ = std::move(report);
    // A month without records is no sheet to hand in.
    savable_ = anyRecord;
    setSaveButtonsEnabled(savable_);
    if (teacherTable_->rowCount() == 0) {
        return;
    }
    teacherTable_->setCurrentCell(0, 0);
    if (choice && !choice->teacher.isEmpty()) {
        for (std::size_t t = 0; t < shown_->teachers.size(); ++t) {
            if (shown_->teachers[t].name == choice->teacher) {
                selectTeacherAndDay(t, choice->day);
            }
        }
    }
}

void MonthPage::setSaveButtonsEnabled(bool enabled) {
    for (QPushButton* button : {csvButton_, pdfButton_, xlsxButton_}) {
        button->setEnabled(enabled);
    }
}

void MonthPage::showTeacher(int row) {
    sheetTable_->setRowCount(0);
    const QTableWidgetItem* name = row < 0 ? nullptr : teacherTable_->item(row, 0);
    if (!shown_ || name == nullptr) {
        return;
    }
    const auto index = name->data(kTeacherRole).toULongLong();
    if (index >= shown_->teachers.size()) {
        return;
    }
    const TeacherDays& teacher = shown_->teachers[index];
    sheetTable_->setRowCount(static_cast<int>(teacher.days.size()));
    for (int i = 0; i < sheetTable_->rowCount(); ++i) {
        office::setRow(sheetTable_, i, sheetRow(teacher.days[static_cast<std::size_t>(i)]));
    }
}

void MonthPage::save(Format format) {
    if (!shown_ || !savable_ || saving_.busy()) {
        return;
    }
    const QDate first = shown_->period.first();
    const QString stem = u"勤務表_%1-%2"_s.arg(first.year()).arg(first.month(), 2, 10, QChar(u'0'));
    const QString file =
        format == Format::Csv ? choosePath_(u"CSV に保存"_s, stem + u".csv"_s, u"CSV (*.csv)"_s)
        : format == Format::Pdf
            ? choosePath_(u"PDF に保存"_s, stem + u".pdf"_s, u"PDF (*.pdf)"_s)
            : choosePath_(u"Excel に保存"_s, stem + u".xlsx"_s, u"Excel ブック (*.xlsx)"_s);
    if (file.isEmpty()) {
        return;
    }
    setSaveButtonsEnabled(false);
    office::showMessage(messageLabel_, u"保存しています…"_s, false);
    saving_.run(
        [report = shown_, file, format,
         folder = appFolder_](const ReadProgress&) -> Outcome<Saved> {
            if (isDataFile(file, folder)) {
                return dataFileRefusal(file);
            }
            if (QFileInfo(file).isDir()) {
                return u"%1 はフォルダーです。保存するファイルの名前を指定してください。"_s.arg(
                    file);
            }
            const QString error = format == Format::Csv   ? writeMonthCsv(*report, file)
                                  : format == Format::Pdf ? writeMonthPdf(*report, file)
                                                          : writeMonthWorkbook(*report, file);
            if (!error.isEmpty()) {
                return u"保存できませんでした。\nファイル：%1\n理由：%2"_s.arg(file, error);
            }
            return Saved{};
        },
        [this, file](Outcome<Saved> outcome) {
            setSaveButtonsEnabled(savable_);
            if (const auto* message = std::get_if<QString>(&outcome)) {
                office::showMessage(messageLabel_, *message, true);
            } else {
                office::showMessage(messageLabel_, u"保存しました：%1"_s.arg(file), false);
            }
        });
}

}  // namespace tavomi
