#include "office_window/board_page.h"

#include "dialogs/screen_look.h"
#include "office/window_texts.h"
#include "office_window/page_parts.h"
#include "report/board_report.h"
#include "report/report_text.h"
#include "report/text_table.h"

#include <QColor>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

constexpr int kWatchMilliseconds = 3000;

// Columns of boardTeacherRow() and boardBandRow().
constexpr int kTeacherOvertimeColumn = 2;
constexpr int kBandTargetColumn = 11;
constexpr int kFirstBandCountColumn = 2;

QSettings officeSettings() {
    return QSettings(QString::fromLatin1(BoardPage::kSettingsOrganisation),
                     QString::fromLatin1(BoardPage::kSettingsApplication));
}

QColor levelColour(CapLevel level) {
    return QColor::fromRgb(capLevelLook(level).rgb);
}

void fill(QTableWidgetItem* item, const QColor& colour) {
    if (item != nullptr) {
        item->setBackground(colour);
        item->setForeground(Qt::black);
    }
}

// A 超過 in a teacher's row stands on the colour of the cap it is about.
const std::pair<int, CapLevel> kTeacherOverColumns[] = {
    {3, CapLevel::Over45},   // the 30-hour target
    {5, CapLevel::Over45},   // more than six months over 45 hours
    {7, CapLevel::Over45},   // 360 hours a year
    {8, CapLevel::Over100},  // 720 hours a year
    {11, CapLevel::AverageOver80},
};

QStringList bandTips() {
    QStringList tips{u"職名（カード登録の一覧の職名の列）。全体はすべての職名の合計"_s,
                     u"この月に記録のある教職員の人数"_s};
    for (std::size_t b = 0; b < kOvertimeBands; ++b) {
        const QString band = bandText(static_cast<OvertimeBand>(b));
        tips << u"この月の時間外在校等時間が%1だった人数"_s.arg(band)
             << u"人数のうち%1だった人の割合"_s.arg(band);
    }
    return tips << u"この月の時間外在校等時間の一人あたりの平均"_s
                << u"平均が国の目標（月30時間程度）を超えていれば「超過」"_s;
}

QStringList teacherTips() {
    return {u"氏名"_s,
            u"職名（カード登録の一覧の職名の列）"_s,
            u"この月の時間外在校等時間。色と記号は上限の段階（凡例）"_s,
            u"この月の時間外が国の目標（月30時間程度）を超えていれば「超過」"_s,
            u"年度（4月から）のうち時間外が45時間を超えた月の数（この月まで）"_s,
            u"45時間を超えた月が年6か月を超えていれば「超過」"_s,
            u"年度（4月から）この月までの時間外の合計"_s,
            u"年度累計が360時間を超えていれば「超過」"_s,
            u"年度累計が720時間を超えていれば「超過」"_s,
            u"この月までの2～6か月の時間外の平均のうち最も大きいもの"_s,
            u"その平均をとった月数"_s,
            u"2～6か月の平均が80時間を超えていれば「超過」"_s};
}

void setTips(QTableWidget* table, const QStringList& tips) {
    for (int column = 0; column < table->columnCount() && column < tips.size(); ++column) {
        if (QTableWidgetItem* heading = table->horizontalHeaderItem(column)) {
            heading->setToolTip(tips[column]);
        }
    }
}

// Every column in sight at the window's size: the first (a job, a name) as wide as its text,
// the others sharing the rest, their headings on up to three lines.
void fitColumns(QTableWidget* table) {
    QHeaderView* header = table->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter | static_cast<Qt::Alignment>(Qt::TextWordWrap));
    header->setMinimumHeight(3 * table->fontMetrics().lineSpacing() + 8);
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
}

QString legendHtml() {
    QStringList parts;
    for (const CapLevelLook& look : capLevelLooks()) {
        parts.append(
            u"<span style=\"background-color:%1; color:black\">&nbsp;%2&nbsp;</span> %3"_s.arg(
                QColor::fromRgb(look.rgb).name(), look.mark, look.name));
    }
    return u"凡例: "_s + parts.join(u"　"_s) + u"　（「超過」の欄は、その上限の色）"_s;
}

}  // namespace

std::optional<qsizetype> BoardPage::savedJobField() {
    const QVariant saved = officeSettings().value(QString::fromLatin1(kJobFieldKey));
    bool ok = false;
    const int field = saved.toInt(&ok);
    return saved.isValid() && ok && field >= 2 ? std::optional<qsizetype>(field) : std::nullopt;
}

BoardPage::BoardPage(std::filesystem::path appFolder, Clock clock, QWidget* parent)
    : QWidget(parent),
      appFolder_(std::move(appFolder)),
      clock_(std::move(clock)),
      jobField_(savedJobField()) {
    const QDate opening = monthToOpenOn(clock_().date());
    const office::MonthPicker picker = office::monthPicker(opening, this);
    yearSpin_ = picker.year;
    monthSpin_ = picker.month;
    jobFieldCombo_ = look::named(new QComboBox(this), "jobFieldCombo");
    jobFieldCombo_->setToolTip(u"カード登録の一覧のどの列を職名として数えるか"_s);
    jobFieldCombo_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    headingLabel_ = look::named(new QLabel(this), "headingLabel");
    legendLabel_ = look::named(new QLabel(legendHtml(), this), "capLegend");
    legendLabel_->setTextFormat(Qt::RichText);
    bandTable_ = office::textTable("bandTable", boardBandHeader(), this);
    setTips(bandTable_, bandTips());
    fitColumns(bandTable_);
    teacherTable_ = office::textTable("boardTeacherTable", boardTeacherHeader(), this);
    setTips(teacherTable_, teacherTips());
    fitColumns(teacherTable_);
    withoutRecordsLabel_ = look::named(new QLabel(this), "withoutRecordsLabel");
    withoutRecordsLabel_->setTextFormat(Qt::PlainText);
    withoutRecordsLabel_->setWordWrap(true);
    messageLabel_ = office::messageLine(this);
    progressBar_ = office::readProgressBar(this);

    auto* top = office::monthRow({yearSpin_, monthSpin_}, headingLabel_, this);
    top->addWidget(new QLabel(u"職名の列"_s, this));
    top->addWidget(jobFieldCombo_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(messageLabel_);
    layout->addWidget(progressBar_);
    layout->addWidget(new QLabel(u"時間外在校等時間の区分ごとの人数（全体と職名ごと）"_s, this));
    layout->addWidget(bandTable_, 2);
    layout->addWidget(new QLabel(u"一人ひとりの上限と目標（時間外の多い順）"_s, this));
    layout->addWidget(legendLabel_);
    layout->addWidget(teacherTable_, 3);
    layout->addWidget(withoutRecordsLabel_);

    connect(yearSpin_, &QSpinBox::valueChanged, this, &BoardPage::read);
    connect(monthSpin_, &QSpinBox::valueChanged, this, &BoardPage::read);
    // The user's choice only: filling the list by code saves nothing.
    connect(jobFieldCombo_, &QComboBox::activated, this, &BoardPage::chooseJobField);
    auto* watchTimer = look::named(new QTimer(this), "watchTimer");
    connect(watchTimer, &QTimer::timeout, this, &BoardPage::lookForChanges);
    watchTimer->start(kWatchMilliseconds);
}

void BoardPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!readOnce_) {
        read();
    }
}

void BoardPage::read() {
    readOnce_ = true;
    const ReportPeriod month = ReportPeriod::ofMonth(yearSpin_->value(), monthSpin_->value());
    headingLabel_->setText(monthTitle(month) + u"の教育委員会への報告"_s);
    progressBar_->setValue(0);
    progressBar_->show();
    reading_.run(
        [folder = appFolder_, month, today = clock_().date(),
         field = jobField_](const ReadProgress& progress) -> Outcome<BoardRead> {
            return readBoard(folder, month, today, field, progress);
        },
        [this](Outcome<BoardRead> outcome) { showRead(std::move(outcome)); },
        [this](int perMille) { progressBar_->setValue(perMille); });
}

void BoardPage::showRead(Outcome<BoardRead> outcome) {
    progressBar_->hide();
    bandTable_->setRowCount(0);
    teacherTable_->setRowCount(0);
    withoutRecordsLabel_->clear();
    if (const auto* message = std::get_if<QString>(&outcome)) {
        shownAnything_ = false;
        office::showMessage(messageLabel_, *message, true);
        return;
    }
    const BoardRead& read = std::get<BoardRead>(outcome);
    shownStamps_ = read.read.stamps;
    shownAnything_ = true;
    showJobFields(read.cardholderHeadings, read.jobField);
    QStringList messages = read.read.notes;
    if (read.board.teachers.empty()) {
        messages.prepend(monthTitle(read.board.month) + u"の記録はありません。"_s);
    }
    office::showMessage(messageLabel_, messages.join(u'\n'), !messages.isEmpty());

    const BoardReport& board = read.board;
    std::vector<const BandCounts*> bands{&board.all};
    for (const BandCounts& job : board.byJob) {
        bands.push_back(&job);
    }
    // The bands over 45 hours on their levels' colours where anyone is in them.
    const CapLevel bandLevels[] = {CapLevel::Over45, CapLevel::AverageOver80, CapLevel::Over100};
    bandTable_->setRowCount(static_cast<int>(bands.size()));
    for (int row = 0; row < bandTable_->rowCount(); ++row) {
        const BandCounts& counts = *bands[static_cast<std::size_t>(row)];
        office::setRow(bandTable_, row, boardBandRow(counts));
        for (std::size_t b = 1; b < kOvertimeBands; ++b) {
            if (counts.teachers[b] > 0) {
                const int column = kFirstBandCountColumn + 2 * static_cast<int>(b);
                fill(bandTable_->item(row, column), levelColour(bandLevels[b - 1]));
                fill(bandTable_->item(row, column + 1), levelColour(bandLevels[b - 1]));
            }
        }
        if (!bandTable_->item(row, kBandTargetColumn)->text().isEmpty()) {
            fill(bandTable_->item(row, kBandTargetColumn), levelColour(CapLevel::Over45));
        }
    }

    std::vector<TeacherTotals> totals;
    for (const BoardTeacher& teacher : board.teachers) {
        totals.push_back(teacher.totals);
    }
    const std::vector<std::size_t> order = byOvertimeLargestFirst(totals);
    teacherTable_->setRowCount(static_cast<int>(order.size()));
    for (int i = 0; i < teacherTable_->rowCount(); ++i) {
        const BoardTeacher& teacher = board.teachers[order[static_cast<std::size_t>(i)]];
        QStringList cells = boardTeacherRow(teacher);
        cells.front() = withControlPictures(cells.front());
        const std::optional<CapLevel> level = gravestCapLevel(teacher.totals);
        if (level) {
            // The mark beside the hours: the colour is never the only sign.
            cells[kTeacherOvertimeColumn] += u' ' + capLevelLook(*level).mark;
        }
        office::setRow(teacherTable_, i, cells);
        if (level) {
            fill(teacherTable_->item(i, kTeacherOvertimeColumn), levelColour(*level));
        }
        for (const auto& [column, over] : kTeacherOverColumns) {
            if (!cells.value(column).isEmpty()) {
                fill(teacherTable_->item(i, column), levelColour(over));
            }
        }
    }
    if (!board.withoutRecords.isEmpty()) {
        QStringList names;
        for (const QString& name : board.withoutRecords) {
            names.append(withControlPictures(name));
        }
        withoutRecordsLabel_->setText(
            u"この月の記録がなく数えていない人（%1人）: "_s.arg(names.size()) +
            names.join(u"、"_s));
    }
}

void BoardPage::showJobFields(const QStringList& headings, qsizetype used) {
    jobFieldCombo_->clear();
    // The fields after the name; the card's identifier and the name are never a job.
    for (qsizetype field = 2; field < std::max<qsizetype>(headings.size(), 3); ++field) {
        const QString heading = headings.value(field).trimmed();
        jobFieldCombo_->addItem(
            u"%1列目（%2）"_s.arg(field + 1).arg(heading.isEmpty() ? u"見出しなし"_s
                                                                   : withControlPictures(heading)),
            QVariant::fromValue(static_cast<qlonglong>(field)));
    }
    jobFieldCombo_->setCurrentIndex(
        jobFieldCombo_->findData(QVariant::fromValue(static_cast<qlonglong>(used))));
}

void BoardPage::chooseJobField(int comboIndex) {
    const QVariant field = jobFieldCombo_->itemData(comboIndex);
    if (!field.isValid()) {
        return;
    }
    jobField_ = static_cast<qsizetype>(field.toLongLong());
    officeSettings().setValue(QString::fromLatin1(kJobFieldKey), field.toInt());
    read();
}

void BoardPage::lookForChanges() {
    // A hidden page reads again when it is shown next, not while the office looks elsewhere.
    if (!isVisible()) {
        readOnce_ = false;
        return;
    }
    if (reading_.busy() || watching_.busy()) {
        return;
    }
    watching_.run([folder = appFolder_](
                      const ReadProgress&) -> Outcome<DataStamps> { return dataStampsOf(folder); },
                  [this](Outcome<DataStamps> outcome) {
                      const auto* stamps = std::get_if<DataStamps>(&outcome);
                      if (!shownAnything_ || !stamps || !(*stamps == shownStamps_)) {
                          read();
                      }
                  });
}

}  // namespace tavomi
