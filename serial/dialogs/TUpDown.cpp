#include "TUpDown.h"

#include <QLineEdit>
#include <algorithm>

TUpDown::TUpDown(QWidget* parent) : QAbstractSpinBox(parent) {
    setWrapping(false);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    // The value lives in the neighbouring edit; the arrows alone are the control.
    lineEdit()->clear();
}

void TUpDown::SetRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
}

void TUpDown::stepBy(int steps) {
    if (steps == 0) return;
    int target = position_;
    if (steps > 0 && position_ < max_) target = std::clamp(position_ + steps, min_, max_);
    if (steps < 0 && position_ > min_) target = std::clamp(position_ + steps, min_, max_);
    if (target == position_) return;
    position_ = target;
    emit Click(steps > 0);
}

QValidator::State TUpDown::validate(QString& input, int&) const {
    return input.isEmpty() ? QValidator::Acceptable : QValidator::Invalid;
}

QAbstractSpinBox::StepEnabled TUpDown::stepEnabled() const {
    StepEnabled enabled = StepNone;
    if (position_ < max_) enabled |= StepUpEnabled;
    if (position_ > min_) enabled |= StepDownEnabled;
    return enabled;
}
