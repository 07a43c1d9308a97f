#include "punch/reason_boxes.h"

#include <QCheckBox>
#include <QString>

namespace tavomi {

ReasonBoxes addReasonBoxes(QWidget* panel, const ReasonRow& row) {
    ReasonBoxes boxes{};
    int x = row.left;
    for (std::size_t i = 0; i < kReasons.size(); ++i) {
        auto* box = new QCheckBox(QString::fromUtf16(kReasons[i].caption), panel);
        box->setObjectName(QStringLiteral("reasonBox%1").arg(kReasons[i].box));
        const int width = box->sizeHint().width();
        box->setGeometry(x, row.top, width, row.height);
        x += width + row.gap;
        boxes[i] = box;
    }
    return boxes;
}

}  // namespace tavomi
