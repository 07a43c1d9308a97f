#pragma once
// The row of leave-reason check boxes that the punch, mid-day absence and manual entry
// screens share.

#include "record/vocabulary.h"

#include <array>
#include <cstddef>
#include <tuple>

class QCheckBox;
class QWidget;

namespace tavomi {

using ReasonBoxes = std::array<QCheckBox*, std::tuple_size_v<decltype(kReasons)>>;

// Where the row sits in its panel: each box as wide as its caption needs, `gap` apart.
struct ReasonRow {
    int left;
    int top;
    int height;
    int gap;
};

// The punch and mid-day absence screens' row, in their 80 px high panel.
inline constexpr ReasonRow kCardScreenReasonRow{.left = 14, .top = 24, .height = 32, .gap = 14};

// Adds one box per reason to `panel`, in code order, each named reasonBox<n> after
// its box number.
ReasonBoxes addReasonBoxes(QWidget* panel, const ReasonRow& row);

// The box of reason box number `box` (24..32).
inline QCheckBox* reasonBox(const ReasonBoxes& boxes, int box) {
    return boxes.at(static_cast<std::size_t>(box - kFirstReasonBox));
}

}  // namespace tavomi
