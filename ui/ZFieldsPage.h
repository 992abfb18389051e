#pragma once
// The "Fields" page of the main window: the fields a capture decodes from every data
// block, one table row a field, each cell one key of the settings file's section
// "[_fields]". A cell is checked as it is committed, by the engine's own check of the
// key and of the whole list: a value refused is named in an error box and the cell
// shows the old value again. A type that needs an offset or a token index it lacks
// gets 0; bits go with a type that has none. "Try on the last frame" decodes the
// fields from the newest data block of the capture window, "Try these bytes" from
// HEX bytes typed into the box, and the result list shows each value or why it is
// absent. While a capture runs the fields cannot be changed: the capture decodes
// what it took at its start, and so can the switch that writes the values into the log
// files. Window thread only.

#include <QList>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "ZFieldList.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

class ZFieldsPage : public QWidget {
    Q_OBJECT

public:
    // lastDataBlock fills in the newest data block the capture window received and
    // says whether there is one.
    explicit ZFieldsPage(std::function<bool(std::vector<uint8_t>&)> lastDataBlock, QWidget* parent = nullptr);

    // The fields and the log switch of a settings record; the CSV switch is the
    // General page's and passes through unchanged.
    void ShowFields(const ZFieldList& fields);
    const ZFieldList& Fields() const { return fields_; }
    void SetCaptureState(bool running);
    // The page's controls in the order the Tab key visits them.
    QList<QWidget*> TabOrder() const;

    // The table's columns, in the order the issue lists a field's keys.
    static constexpr TFieldKey Columns[] = {fkName, fkType, fkOffset, fkMSBFirst,  fkBits,  fkScale,
                                            fkAdd,  fkUnit, fkMatch,  fkSeparator, fkIndex, fkPrefix};
    static constexpr int ColumnCount = static_cast<int>(sizeof Columns / sizeof Columns[0]);

private:
    void BuildPage();
    void FillTable();
    void ShowRow(int row);
    QString CellText(const ZFieldDefinition& field, TFieldKey key) const;
    // A cell the user committed: taken when the engine accepts it, else refused.
    void CellCommitted(QTableWidgetItem* item);
    bool ApplyCell(ZFieldList& list, int row, TFieldKey key, const QString& shown, std::string& reason) const;
    void AddField();
    void RemoveField();
    void MoveField(int step);
    void SelectRow(int row);
    int CurrentRow() const;
    void TryLastFrame();
    void TryTypedBytes();
    void ShowTry(const std::vector<uint8_t>& bytes);
    void ShowTryMessage(const QString& text);

    std::function<bool(std::vector<uint8_t>&)> lastDataBlock_;
    ZFieldList fields_;
    bool filling_ = false;  // the page writes the cells: no commit of the user's
    bool running_ = false;

    QTableWidget* grd_Fields = nullptr;
    QPushButton* btn_AddField = nullptr;
    QPushButton* btn_RemoveField = nullptr;
    QPushButton* btn_FieldUp = nullptr;
    QPushButton* btn_FieldDown = nullptr;
    QCheckBox* chk_LogFields = nullptr;
    QPushButton* btn_TryLastFrame = nullptr;
    QLineEdit* ed_TryBytes = nullptr;
    QPushButton* btn_TryBytes = nullptr;
    QLabel* lbl_TryResult = nullptr;
    QTableWidget* grd_TryResult = nullptr;
};
