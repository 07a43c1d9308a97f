#pragma once
// The office's question for a record a line of the things to check is missing: the time,
// the after-midnight tick of a clock-out, and the leave reasons, as the manual entry asks.

#include "manual/manual_record.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QTimeEdit;

namespace tavomi {

class CorrectionDialog : public QDialog {
    Q_OBJECT
  public:
    CorrectionDialog(const QString& person, const QDate& date, RecordKind kind,
                     QWidget* parent = nullptr);

    // What the office chose, as the manual entry's controls hold it.
    ManualEntry entry() const;

  private:
    ManualEntry entry_;
    QTimeEdit* timeEdit_;
    QCheckBox* afterMidnightBox_;
    std::array<QCheckBox*, kReasons.size()> reasonBoxes_{};
};

}  // namespace tavomi
