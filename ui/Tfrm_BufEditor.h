#pragma once
// The hex editor of a trigger sequence: one grid row per element, "index [n]" beside
// the element's low byte as two hexadecimal digits, or "??" for AnyByte. Shown modally;
// the caller reads Buffer after OK. The caller's elements are never written.

#include <QDialog>
#include <QString>
#include <cstdint>
#include <vector>

class QPushButton;
class QTableWidget;
class ZHexCellDelegate;

class Tfrm_BufEditor : public QDialog {
    Q_OBJECT

public:
    static constexpr int IndexColumn = 0;
    static constexpr int ValueColumn = 1;

    // Copies count elements (count >= 1; a smaller count gives one element 0).
    Tfrm_BufEditor(QWidget* owner, const QString& caption, int count, const int32_t* elements);
    ~Tfrm_BufEditor() override;

    // The elements as committed so far; after OK, the edited sequence (count elements).
    const std::vector<int32_t>& Buffer() const { return buffer_; }

    // Reads the value cell of row into its element. A cell that still reads as its
    // element is shown keeps the element, even one that its low byte only stands for
    // (-28 shown as E4, 266 as 0A). Otherwise a "?" anywhere gives AnyByte and the cell
    // "??"; one or two hexadecimal digits give their value and the cell keeps the text
    // as typed; anything else (an empty cell too) is refused with an error box, and the
    // cell shows the element it had.
    void CommitRow(int row);

    // The cell editor's mask: "cc" (two optional characters of any kind) for a value
    // cell, none for the index column.
    QString GridGetEditMask(int col, int row) const;
    // The user moves to (col, row): a cell editor still open on another cell is
    // closed and its row committed. False for the index column, which cannot be selected.
    bool GridSelectCell(int col, int row);
    // The cell editor hands its text over as it closes: the cell takes it and its row is committed.
    void GridSetEditText(int col, int row, const QString& value);

    // Commits a cell editor that is still open, so that Enter or OK right after
    // typing does not lose the edit.
    void accept() override;

    // "??" for AnyByte, otherwise the low byte as two upper-case hexadecimal digits.
    static QString ElementText(int32_t element);

private:
    void ShowRow(int row);
    int IndexLabelWidth(int rows) const;

    std::vector<int32_t> buffer_;
    QTableWidget* Grid = nullptr;
    QPushButton* btn_OK = nullptr;
    QPushButton* btn_Cancel = nullptr;
    ZHexCellDelegate* delegate_ = nullptr;
    bool commitRefused_ = false;  // the last CommitRow refused its cell
};
