#pragma once
// A pair of up and down arrows that steps a position within Min..Max without
// wrapping, for a value shown in an edit of its own. A position handed in from
// outside is kept as it is, even outside the range; the first step brings it back
// into the range (a step away from the range does nothing).

#include <QAbstractSpinBox>

class TUpDown : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    int Min() const { return min_; }
    int Max() const { return max_; }
    void SetRange(int min, int max);
    int Position() const { return position_; }
    // Sets the position without Click.
    void SetPosition(int position) { position_ = position; }

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

signals:
    // The user moved the position (by arrow, key or wheel); up tells the direction.
    void Click(bool up);

protected:
    StepEnabled stepEnabled() const override;

private:
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};
