#include "manual/manual_entry_screen.h"

#include "dialogs/confirm_box.h"
#include "dialogs/kept_note.h"
#include "dialogs/key_guard.h"
#include "dialogs/message_box.h"
#include "dialogs/screen_look.h"
#include "dialogs/write_wait.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/punch_journal.h"
#include "files/working_hours.h"
#include "manual/pickers.h"
#include "punch/reason_boxes.h"
#include "record/vocabulary.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include <cerrno>
#include <exception>
#include <utility>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// In the order of kManualKinds.
constexpr std::array<const char*, kManualKinds.size()> kKindRadioNames = {
    "clockInRadio", "clockOutRadio", "goingOutRadio", "returnRadio", "midDayAbsenceRadio"};

}  // namespace

ManualEntryScreen::ManualEntryScreen(const std::filesystem::path& appFolder, JournalWriter& writer,
                                     Clock clock, QWidget* parent)
    : QDialog(parent), appFolder_(appFolder), writer_(writer), clock_(std::move(clock)) {
    setObjectName(QStringLiteral("manualEntryScreen"));
    setWindowTitle(QStringLiteral("Form6"));
    setFont(look::pixelFont(font(), 16));
    setFixedSize(760, 560);
    look::centreOnScreen(*this);
    buildControls();
    connectHandlers();
    setPickersToClock();
    timePicker_->show();
    new KeyGuard(this);
}

void ManualEntryScreen::buildControls() {
    auto* heading = look::named(new QLabel(u"手動による入力"_s, this), "headingLabel");
    heading->setFont(look::pixelFont(font(), 28, true));
    heading->setGeometry(24, 16, 400, 40);

    look::named(new QLabel(u"誰の？"_s, this), "personLabel")->setGeometry(24, 72, 200, 24);
    personPicker_ = look::named(new DropDownComboBox(this), "personPicker");
    personPicker_->setEditable(false);
    personPicker_->setMaxVisibleItems(25);
    // Styles that open a non-editable list as a menu show every entry at once.
    personPicker_->setStyleSheet(QStringLiteral("combobox-popup: 0;"));
    personPicker_->setGeometry(24, 98, 320, 36);

    look::named(new QLabel(u"いつの？"_s, this), "dateLabel")->setGeometry(24, 148, 200, 24);
    datePicker_ = look::named(new QDateEdit(this), "datePicker");
    datePicker_->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    datePicker_->setDisplayFormat(u"yyyy年M月d日(ddd)"_s);
    datePicker_->setCalendarPopup(true);
    datePicker_->setGeometry(24, 174, 320, 36);

    nowButton_ = look::named(new QPushButton(u"時間と日付を今に"_s, this), "nowButton");
    nowButton_->setGeometry(364, 174, 200, 36);

    look::named(new QLabel(u"時間は？"_s, this), "timeLabel")->setGeometry(24, 224, 200, 24);
    timePicker_ = look::named(new StepTimePicker(this), "timePicker");
    timePicker_->setGeometry(24, 250, 160, 36);
    absenceHoursPicker_ = look::named(new QComboBox(this), "absenceHoursPicker");
    absenceHoursPicker_->setEditable(false);
    absenceHoursPicker_->setGeometry(24, 250, 220, 36);
    absenceHoursPicker_->hide();

    afterMidnightBox_ = look::named(new QCheckBox(u"午前様の退勤です"_s, this), "afterMidnightBox");
    afterMidnightBox_->setGeometry(24, 298, 320, 28);
    afterMidnightBox_->hide();
    afterMidnightHint_ =
        look::named(new QLabel(u"午前零時を過ぎ退勤は前日の日付で"_s, this), "afterMidnightHint");
    afterMidnightHint_->setGeometry(24, 328, 400, 24);
    afterMidnightHint_->hide();
    timeRefusedHint_ = look::named(
        new QLabel(u"24時より後の時刻は入れられません。午前零時を過ぎ退勤は前日の日付で"_s, this),
        "timeRefusedHint");
    timeRefusedHint_->setGeometry(200, 250, 540, 36);
    timeRefusedHint_->setWordWrap(true);
    timeRefusedHint_->hide();

    kindGroup_ = new QButtonGroup(this);
    kindGroup_->setExclusive(true);
    for (std::size_t i = 0; i < kManualKinds.size(); ++i) {
        auto* radio =
            look::named(new QRadioButton(QString::fromUtf16(kManualKinds[i].caption), this),
                        kKindRadioNames[i]);
        radio->setFont(look::pixelFont(font(), 20));
        radio->setGeometry(600, 98 + int(i) * 44, 140, 36);
        kindGroup_->addButton(radio, int(i));
        kindRadios_[i] = radio;
    }

    leaveReasonBox_ =
        look::named(new QCheckBox(u"早帰りなどの理由を記す"_s, this), "leaveReasonBox");
    leaveReasonBox_->setGeometry(24, 370, 320, 28);

    reasonPanel_ = look::named(new QWidget(this), "reasonPanel");
    look::fill(reasonPanel_, look::kCream);
    reasonPanel_->setGeometry(24, 402, 712, 44);
    reasonBoxes_ = addReasonBoxes(reasonPanel_, {.left = 10, .top = 8, .height = 28, .gap = 6});
    reasonPanel_->hide();

    recordButton_ = look::named(new QPushButton(u"この時間で記録"_s, this), "recordButton");
    recordButton_->setFont(look::pixelFont(font(), 22, true));
    recordButton_->setGeometry(24, 472, 344, 64);
    closeButton_ = look::named(new QPushButton(u"このフォームを閉じる"_s, this), "closeButton");
    closeButton_->setFont(look::pixelFont(font(), 22));
    closeButton_->setGeometry(392, 472, 344, 64);
    // Enter must not record by accident.
    for (QPushButton* button : {recordButton_, closeButton_, nowButton_}) {
        button->setAutoDefault(false);
    }
}

void ManualEntryScreen::connectHandlers() {
    connect(personPicker_, &DropDownComboBox::aboutToShowPopup, this,
            &ManualEntryScreen::onPersonListOpening);
    connect(timePicker_, &StepTimePicker::clicked, this, &ManualEntryScreen::onTimePickerClicked);
    connect(timePicker_, &QTimeEdit::timeChanged, this, &ManualEntryScreen::updateAfterMidnightBox);
    // A refused hour past 23: the hint says where a time after midnight goes, until the
    // screen opens again.
    connect(timePicker_, &StepTimePicker::timeRefused, timeRefusedHint_, &QWidget::show);
    connect(nowButton_, &QPushButton::clicked, this, &ManualEntryScreen::onNowClicked);
    connect(recordButton_, &QPushButton::clicked, this, &ManualEntryScreen::onRecordClicked);
    connect(closeButton_, &QPushButton::clicked, this, &ManualEntryScreen::resetAndClose);

    // A kind's handler runs when its button becomes checked, by the user or by code.
    for (const ManualKindCaption& kindCaption : kManualKinds) {
        connect(kindRadio(kindCaption.kind), &QRadioButton::toggled, this,
                [this, kind = kindCaption.kind](bool checked) {
                    if (!checked) {
                        return;
                    }
                    if (kind == RecordKind::MidDayAbsence) {
                        onMidDayAbsenceChosen();
                    } else {
                        onClockKindChosen();
                    }
                });
    }
    // Either box changing state clears the reasons.
    connect(leaveReasonBox_, &QCheckBox::toggled, this, &ManualEntryScreen::resetReasonPanel);
    connect(afterMidnightBox_, &QCheckBox::toggled, this, &ManualEntryScreen::resetReasonPanel);
}

void ManualEntryScreen::setPickersToClock() {
    const QDateTime now = clock_();
    datePicker_->setDate(now.date());
    timePicker_->setTime(now.time());
}

void ManualEntryScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        timeRefusedHint_->hide();
        updateAfterMidnightBox();
    }
}

void ManualEntryScreen::onPersonListOpening() {
    try {
        personPicker_->clear();
        loadPersonList();
    } catch (const std::exception& e) {
        reportError(this, e);
    }
}

void ManualEntryScreen::loadPersonList() {
    personTable_.reload(appFolder_);
    // A teacher who holds two cards (a spare, one reported lost) is one person to choose.
    QStringList names;
    for (const QString& name : personTable_.names()) {
        if (name.trimmed().isEmpty() || !names.contains(name)) {
            names.append(name);
        }
    }
    personPicker_->addItems(names);
    // Filling an empty list would choose its first name; the user chooses.
    personPicker_->setCurrentIndex(-1);
}

void ManualEntryScreen::onNowClicked() {
    timePicker_->setMinuteStep(1);
    setPickersToClock();
}

void ManualEntryScreen::onTimePickerClicked() {
    timePicker_->setMinuteStep(5);
}

void ManualEntryScreen::onClockKindChosen() {
    absenceHoursPicker_->hide();
    timePicker_->show();
    updateAfterMidnightBox();
}

void ManualEntryScreen::onMidDayAbsenceChosen() {
    leaveReasonBox_->setChecked(true);
    absenceHoursPicker_->show();
    absenceHoursPicker_->clear();
    absenceHoursPicker_->addItems(hoursList());
    absenceHoursPicker_->setCurrentIndex(0);
    timePicker_->hide();
}

void ManualEntryScreen::resetReasonPanel() {
    reasonPanel_->setVisible(leaveReasonBox_->isChecked());
    for (QCheckBox* box : reasonBoxes_) {
        box->setChecked(false);
    }
}

void ManualEntryScreen::updateAfterMidnightBox() {
    if (offersAfterMidnight(kindRadio(RecordKind::ClockOut)->isChecked(), timePicker_->time())) {
        afterMidnightBox_->show();
        afterMidnightHint_->show();
    } else {
        afterMidnightBox_->hide();
        afterMidnightBox_->setChecked(false);
        afterMidnightHint_->hide();
    }
}

QRadioButton* ManualEntryScreen::kindRadio(RecordKind kind) const {
    return kindRadios_.at(static_cast<std::size_t>(kind));
}

std::optional<RecordKind> ManualEntryScreen::checkedKind() const {
    const int id = kindGroup_->checkedId();
    if (id < 0) {
        return std::nullopt;
    }
    return kManualKinds.at(static_cast<std::size_t>(id)).kind;
}

void ManualEntryScreen::uncheckKind(RecordKind kind) {
    QRadioButton* button = kindRadio(kind);
    // An exclusive group keeps one button checked; lift that for the moment.
    if (button->isChecked()) {
        kindGroup_->setExclusive(false);
        button->setChecked(false);
        kindGroup_->setExclusive(true);
    }
}

ManualEntry ManualEntryScreen::entryFromControls() const {
    ManualEntry entry;
    entry.person = personPicker_->currentText();
    entry.date = datePicker_->date();
    entry.kind = checkedKind();
    entry.time = timePicker_->time();
    entry.afterMidnight = afterMidnightBox_->isChecked();
    entry.hoursEntry = absenceHoursPicker_->currentIndex();
    for (std::size_t i = 0; i < reasonBoxes_.size(); ++i) {
        entry.reasons[i] = reasonBoxes_[i]->isChecked();
    }
    return entry;
}

void ManualEntryScreen::onRecordClicked() {
    try {
        const ManualEntry entry = entryFromControls();
        if (const std::optional<PunchRecord> record = buildManualRecord(entry)) {
            writeRecord(entry, *record);
        } else {
            showConfirmation(QString::fromUtf16(kManualMissingValuesMessage));
        }
        clearAfterRecording();
    } catch (const std::exception& e) {
        // A file error before the record is written stops the handler where it is:
        // the resets do not run.
        reportError(this, e);
    }
}

void ManualEntryScreen::writeRecord(const ManualEntry& entry, const PunchRecord& record) {
    // The working hours of the record's date are made sure of on the writer's thread too,
    // right after the record: the share may hang there as well.
    const WriteResult result = writeFromScreen(
        writer_, {record.line(), WriteOrder::CheckingJournalFirst, entry.date, clock_()}, this);
    switch (result.kind) {
        case WriteResult::Kind::Failed:
            std::rethrow_exception(result.error);  // reported by the handler, as before
        case WriteResult::Kind::Busy:
            showConfirmation(QString::fromUtf16(kManualBusyMessage));
            break;
        case WriteResult::Kind::JournalMissing:
            showConfirmation(QString::fromUtf16(kManualJournalMissingMessage));
            break;
        case WriteResult::Kind::Kept:
            // The date's hours follow when the record is sent.
            showConfirmation(manualSuccessMessage(entry.person, entry.date) +
                             QString::fromUtf16(kKeptOnThisPcNote));
            break;
        case WriteResult::Kind::Written:
            // The record is on disk: a working-hours failure is reported, and the
            // success still is, or the record would be made a second time.
            if (result.hoursError) {
                reportError(this, result.hoursError);
            } else if (result.hours) {
                showWorkingHoursOutcome(*result.hours);
            }
            showConfirmation(manualSuccessMessage(entry.person, entry.date));
            break;
    }
}

void ManualEntryScreen::showWorkingHoursOutcome(DerivationOutcome outcome) {
    switch (outcome) {
        case DerivationOutcome::AlreadyPresent:
        case DerivationOutcome::Appended:
            break;
        case DerivationOutcome::NoWorkingHours:
            showConfirmation(QString::fromUtf16(kRecordDateNoWorkingHoursMessage));
            break;
        case DerivationOutcome::FileMissing:
            // Deleted while the program runs: the date's hours cannot be kept, and
            // the user must hear of it like of any other file that fails.
            reportError(this, FileError(dataFilePath(appFolder_, kWorkingHoursFile),
                                        "cannot open for appending", ENOENT));
            break;
    }
}

void ManualEntryScreen::showConfirmation(const QString& message) {
    if (confirmBox_ != nullptr) {
        confirmBox_->showMessage(message);
    }
}

void ManualEntryScreen::clearAfterRecording() {
    // The person must be chosen again; a clock kind stays for the next teacher.
    personPicker_->clear();
    absenceHoursPicker_->clear();
    absenceHoursPicker_->hide();
    uncheckKind(RecordKind::MidDayAbsence);
}

void ManualEntryScreen::resetAndClose() {
    personPicker_->clear();
    for (const ManualKindCaption& kindCaption : kManualKinds) {
        uncheckKind(kindCaption.kind);
    }
    leaveReasonBox_->setChecked(false);
    absenceHoursPicker_->clear();
    absenceHoursPicker_->hide();
    timePicker_->show();
    // Not reject(): Esc arrives there, and it comes back here.
    QDialog::done(QDialog::Rejected);
}

void ManualEntryScreen::closeEvent(QCloseEvent* event) {
    resetAndClose();
    event->accept();
}

void ManualEntryScreen::reject() {
    resetAndClose();
}

}  // namespace tavomi
