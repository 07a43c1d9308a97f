#include "office_window/correction_dialog.h"

#include "dialogs/screen_look.h"
#include "record/punch_record.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace tavomi {

CorrectionDialog::CorrectionDialog(const QString& person, const QDate& date, RecordKind kind,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName("correctionDialog");
    setWindowTitle(u"記録を加える"_s);
    entry_.person = person;
    entry_.date = date;
    entry_.kind = kind;

    timeEdit_ = look::named(new QTimeEdit(QTime(kind == RecordKind::ClockOut ? 17 : 8, 0), this),
                            "timeEdit");
    timeEdit_->setDisplayFormat(u"HH:mm"_s);
    afterMidnightBox_ = look::named(new QCheckBox(u"午前様の退勤です"_s, this), "afterMidnightBox");
    afterMidnightBox_->setVisible(kind == RecordKind::ClockOut);

    auto* reasons = new QWidget(this);
    auto* reasonGrid = new QGridLayout(reasons);
    reasonGrid->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < kReasons.size(); ++i) {
        reasonBoxes_[i] = new QCheckBox(QString::fromUtf16(kReasons[i].caption), reasons);
        reasonBoxes_[i]->setObjectName(QStringLiteral("reasonBox%1").arg(kReasons[i].box));
        reasonGrid->addWidget(reasonBoxes_[i], static_cast<int>(i / 5), static_cast<int>(i % 5));
    }

    auto* form = new QFormLayout;
    form->addRow(u"氏名"_s, new QLabel(person, this));
    form->addRow(u"日付"_s, new QLabel(date.toString(u"yyyy/MM/dd"_s), this));
    form->addRow(u"区分"_s, new QLabel(recordKindWord(kind) + u"（手動記録）"_s, this));
    form->addRow(u"時刻"_s, timeEdit_);
    form->addRow(QString(), afterMidnightBox_);
    form->addRow(u"事由"_s, reasons);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(u"この時間で記録"_s);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("recordButton");
    buttons->button(QDialogButtonBox::Cancel)->setText(u"やめる"_s);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

ManualEntry CorrectionDialog::entry() const {
    ManualEntry entry = entry_;
    entry.time = timeEdit_->time();
    entry.afterMidnight = entry.kind == RecordKind::ClockOut && afterMidnightBox_->isChecked();
    for (std::size_t i = 0; i < reasonBoxes_.size(); ++i) {
        entry.reasons[i] = reasonBoxes_[i]->isChecked();
    }
    return entry;
}

}  // namespace tavomi
