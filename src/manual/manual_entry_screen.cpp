// Unit6: the manual entry screen.
#include "manual/manual_entry_screen.h"

#include "dialogs/confirm_box.h"
#include "dialogs/message_box.h"
#include "dialogs/screen_look.h"
#include "files/punch_journal.h"
#include "files/working_hours.h"
#include "manual/manual_record.h"
#include "manual/pickers.h"
#include "punch/reason_boxes.h"
#include "punch/vocabulary.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include <exception>
#include <optional>
#include <utility>

namespace tavomi {

namespace {

QString u16(const char16_t* text) {
    return QString::fromUtf16(text);
}

}  // namespace

ManualEntryScreen::ManualEntryScreen(const std::filesystem::path& appFolder, Clock clock,
                                     QWidget* parent)
    : QDialog(parent), appFolder_(appFolder), clock_(std::move(clock)) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Form6"));
    setFont(look::pixelFont(font(), 16));
    setFixedSize(760, 560);
    look::centreOnScreen(*this);
    buildControls();
    connectHandlers();
    FormCreate();
}

void ManualEntryScreen::buildControls() {
    Label1 = look::named(new QLabel(u16(u"手動による入力"), this), "Label1");
    Label1->setFont(look::pixelFont(font(), 28, true));
    Label1->setGeometry(24, 16, 400, 40);

    Label2 = look::named(new QLabel(u16(u"誰の？"), this), "Label2");
    Label2->setGeometry(24, 72, 200, 24);
    ComboBox1 = look::named(new DropDownComboBox(this), "ComboBox1");
    ComboBox1->setEditable(false);
    ComboBox1->setMaxVisibleItems(25);
    // Styles that open a non-editable list as a menu show every entry at once.
    ComboBox1->setStyleSheet(QStringLiteral("combobox-popup: 0;"));
    ComboBox1->setGeometry(24, 98, 320, 36);

    Label3 = look::named(new QLabel(u16(u"いつの？"), this), "Label3");
    Label3->setGeometry(24, 148, 200, 24);
    DateTimePicker1 = look::named(new QDateEdit(this), "DateTimePicker1");
    DateTimePicker1->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    DateTimePicker1->setDisplayFormat(u16(u"yyyy年M月d日(ddd)"));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setGeometry(24, 174, 320, 36);

    Button3 = look::named(new QPushButton(u16(u"時間と日付を今に"), this), "Button3");
    Button3->setGeometry(364, 174, 200, 36);

    Label4 = look::named(new QLabel(u16(u"時間は？"), this), "Label4");
    Label4->setGeometry(24, 224, 200, 24);
    TimePicker1 = look::named(new StepTimePicker(this), "TimePicker1");
    TimePicker1->setGeometry(24, 250, 160, 36);
    // The hours of 中抜け take the time picker's place.
    ComboBox2 = look::named(new QComboBox(this), "ComboBox2");
    ComboBox2->setEditable(false);
    ComboBox2->setGeometry(24, 250, 220, 36);
    ComboBox2->hide();

    CheckBox2 = look::named(new QCheckBox(u16(u"午前様の退勤です"), this), "CheckBox2");
    CheckBox2->setGeometry(24, 298, 320, 28);
    CheckBox2->hide();
    Label7 = look::named(new QLabel(u16(u"午前零時を過ぎ退勤は前日の日付で"), this), "Label7");
    Label7->setGeometry(24, 328, 400, 24);
    Label7->hide();

    kindGroup_ = new QButtonGroup(this);
    kindGroup_->setExclusive(true);
    std::array<QRadioButton**, 5> radios = {&RadioButton1, &RadioButton2, &RadioButton3,
                                            &RadioButton4, &RadioButton5};
    for (std::size_t i = 0; i < radios.size(); ++i) {
        auto* radio = new QRadioButton(u16(kManualKindCaptions[i]), this);
        radio->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        radio->setFont(look::pixelFont(font(), 20));
        radio->setGeometry(600, 98 + int(i) * 44, 140, 36);
        kindGroup_->addButton(radio, int(i));
        *radios[i] = radio;
    }

    CheckBox1 = look::named(new QCheckBox(u16(u"早帰りなどの理由を記す"), this), "CheckBox1");
    CheckBox1->setGeometry(24, 370, 320, 28);

    Panel6 = look::named(new QWidget(this), "Panel6");
    look::fill(Panel6, look::kCream);
    Panel6->setGeometry(24, 402, 712, 44);
    reasonBoxes = addReasonBoxes(Panel6, {.left = 10, .top = 8, .height = 28, .gap = 6});
    Panel6->hide();

    Button2 = look::named(new QPushButton(u16(u"この時間で記録"), this), "Button2");
    Button2->setFont(look::pixelFont(font(), 22, true));
    Button2->setGeometry(24, 472, 344, 64);
    Button1 = look::named(new QPushButton(u16(u"このフォームを閉じる"), this), "Button1");
    Button1->setFont(look::pixelFont(font(), 22));
    Button1->setGeometry(392, 472, 344, 64);
    // Enter must not record by accident.
    Button2->setAutoDefault(false);
    Button1->setAutoDefault(false);
    Button3->setAutoDefault(false);
}

void ManualEntryScreen::connectHandlers() {
    ComboBox1->setDropDownHandler([this] { ComboBox1DropDown(); });
    TimePicker1->setClickHandler([this] { TimePicker1Click(); });
    connect(TimePicker1, &QTimeEdit::timeChanged, this, &ManualEntryScreen::TimePicker1Change);
    connect(Button1, &QPushButton::clicked, this, &ManualEntryScreen::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &ManualEntryScreen::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &ManualEntryScreen::Button3Click);

    // A radio button's handler runs when it becomes checked, by the user or by code.
    const std::array<std::pair<QRadioButton*, void (ManualEntryScreen::*)()>, 5> radios = {{
        {RadioButton1, &ManualEntryScreen::RadioButton1Click},
        {RadioButton2, &ManualEntryScreen::RadioButton2Click},
        {RadioButton3, &ManualEntryScreen::RadioButton3Click},
        {RadioButton4, &ManualEntryScreen::RadioButton4Click},
        {RadioButton5, &ManualEntryScreen::RadioButton5Click},
    }};
    for (const auto& [radio, handler] : radios) {
        connect(radio, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked) {
                (this->*handler)();
            }
        });
    }
    // Either box changing state clears the reasons.
    connect(CheckBox1, &QCheckBox::toggled, this, &ManualEntryScreen::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::toggled, this, &ManualEntryScreen::CheckBox1Click);
}

void ManualEntryScreen::FormCreate() {
    const QDateTime now = clock_();
    DateTimePicker1->setDate(now.date());
    TimePicker1->setTime(now.time());
    TimePicker1->show();
}

void ManualEntryScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void ManualEntryScreen::FormShow() {
    Button7Click();
}

void ManualEntryScreen::ComboBox1DropDown() {
    try {
        ComboBox1->clear();
        Button6Click();
    } catch (const std::exception& e) {
        reportError(this, e);
    }
}

void ManualEntryScreen::Button6Click() {
    StringGrid1.reload(appFolder_);
    ComboBox1->addItems(StringGrid1.names());
    // Filling an empty list would choose its first name; the user chooses.
    ComboBox1->setCurrentIndex(-1);
}

void ManualEntryScreen::Button3Click() {
    const QDateTime now = clock_();
    DateTimePicker1->setDate(now.date());
    TimePicker1->setMinuteStep(1);
    TimePicker1->setTime(now.time());
}

void ManualEntryScreen::TimePicker1Click() {
    TimePicker1->setMinuteStep(5);
}

void ManualEntryScreen::TimePicker1Change() {
    Button7Click();
}

void ManualEntryScreen::clockKindSelected() {
    ComboBox2->hide();
    TimePicker1->show();
    Button7Click();
}

void ManualEntryScreen::RadioButton1Click() {
    clockKindSelected();
}
void ManualEntryScreen::RadioButton2Click() {
    clockKindSelected();
}
void ManualEntryScreen::RadioButton3Click() {
    clockKindSelected();
}
void ManualEntryScreen::RadioButton4Click() {
    clockKindSelected();
}

void ManualEntryScreen::RadioButton5Click() {
    CheckBox1->setChecked(true);
    ComboBox2->show();
    ComboBox2->clear();
    ComboBox2->addItems(hoursList());
    ComboBox2->setCurrentIndex(0);
    TimePicker1->hide();
}

void ManualEntryScreen::CheckBox1Click() {
    Panel6->setVisible(CheckBox1->isChecked());
    for (QCheckBox* box : reasonBoxes) {
        box->setChecked(false);
    }
}

void ManualEntryScreen::Button7Click() {
    if (offersAfterMidnight(RadioButton2->isChecked(), TimePicker1->time())) {
        CheckBox2->show();
        Label7->show();
    } else {
        CheckBox2->hide();
        CheckBox2->setChecked(false);
        Label7->hide();
    }
}

int ManualEntryScreen::checkedKind() const {
    return kindGroup_->checkedId();
}

void ManualEntryScreen::uncheckKind(QRadioButton* button) {
    // An exclusive group keeps one button checked; lift that for the moment.
    if (button->isChecked()) {
        kindGroup_->setExclusive(false);
        button->setChecked(false);
        kindGroup_->setExclusive(true);
    }
}

void ManualEntryScreen::Button2Click() {
    try {
        ManualEntry entry;
        entry.person = ComboBox1->currentText();
        entry.date = DateTimePicker1->date();
        entry.kind = checkedKind();
        entry.time = TimePicker1->time();
        entry.afterMidnight = CheckBox2->isChecked();
        entry.hoursEntry = ComboBox2->currentIndex();
        for (std::size_t i = 0; i < reasonBoxes.size(); ++i) {
            entry.reasons[i] = reasonBoxes[i]->isChecked();
        }
        str_date = manualDateText(entry.date);

        if (const std::optional<PunchRecord> record = buildManualRecord(entry); !record) {
            str_message = u16(kManualMissingValuesMessage);
            Button5Click();
        } else {
            switch (writeRecordCheckingJournalFirst(appFolder_, record->line())) {
                case WriteOutcome::Busy:
                    str_message = u16(kManualBusyMessage);
                    Button5Click();
                    break;
                case WriteOutcome::JournalMissing:
                    str_message = u16(kManualJournalMissingMessage);
                    Button5Click();
                    break;
                case WriteOutcome::Written:
                    Button4Click();
                    str_message = manualSuccessMessage(entry.person, str_date);
                    Button5Click();
                    break;
            }
        }

        // The person must be chosen again; a clock kind stays for the next teacher.
        ComboBox1->clear();
        ComboBox2->clear();
        ComboBox2->hide();
        uncheckKind(RadioButton5);
    } catch (const std::exception& e) {
        // A file error stops the handler where it is: the resets above do not run.
        reportError(this, e);
    }
}

void ManualEntryScreen::Button4Click() {
    const QDate date = QDate::fromString(str_date, QString::fromLatin1(kRecordDateFormat));
    if (deriveWorkingHours(appFolder_, date) == DerivationOutcome::NoWorkingHours) {
        str_message = u16(kRecordDateNoWorkingHoursMessage);
        Button5Click();
    }
}

void ManualEntryScreen::Button5Click() {
    if (confirmBox_ != nullptr) {
        confirmBox_->showMessage(str_message);
    }
}

void ManualEntryScreen::Button1Click() {
    ComboBox1->clear();
    for (QRadioButton* radio :
         {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5}) {
        uncheckKind(radio);
    }
    CheckBox1->setChecked(false);
    ComboBox2->clear();
    ComboBox2->hide();
    TimePicker1->show();
    // Not reject(): that is how Esc reaches FormClose, which comes back here.
    QDialog::done(QDialog::Rejected);
}

void ManualEntryScreen::FormClose() {
    Button1Click();
}

void ManualEntryScreen::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void ManualEntryScreen::reject() {
    FormClose();
}

}  // namespace tavomi
