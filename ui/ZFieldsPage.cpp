#include "ZFieldsPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <utility>

#include "ZControls.h"
#include "ZEngineText.h"
#include "ZFieldDecoder.h"
#include "ZFieldText.h"
#include "ZMessageBox.h"
#include "ZSendSequence.h"

namespace {

// The columns' titles; "column" tells the title "Add" (the number added) from the button.
struct ColumnTitle {
    const char* Source;
    const char* Comment;
};
constexpr ColumnTitle ColumnTitles[ZFieldsPage::ColumnCount] = {
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Name", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Type", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Offset", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Byte order", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Bits", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Scale", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Add", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Unit", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Match", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Separator", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Index", "column"),
    QT_TRANSLATE_NOOP3("ZFieldsPage", "Prefix", "column"),
};
const char* const TextMSBFirst = QT_TRANSLATE_NOOP("ZFieldsPage", "MSB first");
const char* const TextLSBFirst = QT_TRANSLATE_NOOP("ZFieldsPage", "LSB first");

constexpr QAbstractItemView::EditTriggers CellEditTriggers =
    QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed;

QTableWidget* MakeTable(const char* name, const QString& accessibleName, QWidget* parent) {
    auto* table = new QTableWidget(parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setAccessibleName(accessibleName);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    // Tab leaves the table, the arrows move within it.
    table->setTabKeyNavigation(false);
    return table;
}

// A name no field has yet: "field1", "field2", ...
std::string FreeName(const ZFieldList& list) {
    for (size_t n = list.Items.size() + 1;; ++n) {
        std::string name = "field";
        name += std::to_string(n);
        const bool taken = std::any_of(list.Items.begin(), list.Items.end(),
                                       [&name](const ZFieldDefinition& field) { return field.Name == name; });
        if (!taken) return name;
    }
}

}  // namespace

ZFieldsPage::ZFieldsPage(std::function<bool(std::vector<uint8_t>&)> lastDataBlock, QWidget* parent)
    : QWidget(parent), lastDataBlock_(std::move(lastDataBlock)) {
    setObjectName(QStringLiteral("pg_Fields"));
    BuildPage();
}

void ZFieldsPage::BuildPage() {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    grd_Fields = MakeTable("grd_Fields", tr("Fields decoded from every data block"), this);
    grd_Fields->setColumnCount(ColumnCount);
    QStringList titles;
    for (const ColumnTitle& title : ColumnTitles) titles << tr(title.Source, title.Comment);
    grd_Fields->setHorizontalHeaderLabels(titles);
    grd_Fields->setSelectionBehavior(QAbstractItemView::SelectItems);
    grd_Fields->setEditTriggers(CellEditTriggers);
    grd_Fields->setToolTip(
        tr("Type: u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, f32, f64 or text. "
           "Bits: START,LENGTH. Match: OFFSET:HEX, ?? for any byte. F2 edits a cell."));
    top->addWidget(grd_Fields, 1);
    auto* buttons = new QVBoxLayout;
    btn_AddField = ZMakeButton("btn_AddField", tr("Add"), this);
    btn_AddField->setAccessibleName(tr("Add a field"));
    btn_RemoveField = ZMakeButton("btn_RemoveField", tr("Remove"), this);
    btn_RemoveField->setAccessibleName(tr("Remove the selected field"));
    btn_FieldUp = ZMakeButton("btn_FieldUp", tr("Up"), this);
    btn_FieldUp->setAccessibleName(tr("Move the selected field up"));
    btn_FieldDown = ZMakeButton("btn_FieldDown", tr("Down"), this);
    btn_FieldDown->setAccessibleName(tr("Move the selected field down"));
    for (QPushButton* button : {btn_AddField, btn_RemoveField, btn_FieldUp, btn_FieldDown})
        buttons->addWidget(button);
    buttons->addStretch(1);
    top->addLayout(buttons);
    layout->addLayout(top, 2);
    chk_LogFields = new QCheckBox(tr("Write the values into the log files"), this);
    chk_LogFields->setObjectName(QStringLiteral("chk_LogFields"));
    chk_LogFields->setAccessibleName(tr("Write the values into the log files"));
    chk_LogFields->setToolTip(tr("A line \"Values: name=value, ...\" after every data block with values"));
    layout->addWidget(chk_LogFields);

    auto* tryGroup = new QGroupBox(tr("Try the fields"), this);
    tryGroup->setObjectName(QStringLiteral("grp_TryFields"));
    auto* tryLayout = new QVBoxLayout(tryGroup);
    auto* tryRow = new QHBoxLayout;
    btn_TryLastFrame = ZMakeButton("btn_TryLastFrame", tr("Try on the last frame"), tryGroup);
    auto* bytesCaption = new QLabel(tr("or on these HEX bytes:"), tryGroup);
    ed_TryBytes = new QLineEdit(tryGroup);
    ed_TryBytes->setObjectName(QStringLiteral("ed_TryBytes"));
    ed_TryBytes->setAccessibleName(tr("HEX bytes to try the fields on"));
    ed_TryBytes->setPlaceholderText(tr("e.g. 24 01 7F 00"));
    bytesCaption->setBuddy(ed_TryBytes);
    btn_TryBytes = ZMakeButton("btn_TryBytes", tr("Try these bytes"), tryGroup);
    tryRow->addWidget(btn_TryLastFrame);
    tryRow->addWidget(bytesCaption);
    tryRow->addWidget(ed_TryBytes, 1);
    tryRow->addWidget(btn_TryBytes);
    tryLayout->addLayout(tryRow);
    lbl_TryResult = new QLabel(tryGroup);
    lbl_TryResult->setObjectName(QStringLiteral("lbl_TryResult"));
    lbl_TryResult->setWordWrap(true);
    tryLayout->addWidget(lbl_TryResult);
    grd_TryResult = MakeTable("grd_TryResult", tr("The values tried"), tryGroup);
    grd_TryResult->setColumnCount(2);
    grd_TryResult->setHorizontalHeaderLabels({tr("Field"), tr("Value, or why it is absent")});
    grd_TryResult->horizontalHeader()->setStretchLastSection(true);
    grd_TryResult->setSelectionBehavior(QAbstractItemView::SelectRows);
    grd_TryResult->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tryLayout->addWidget(grd_TryResult);
    layout->addWidget(tryGroup, 1);

    connect(grd_Fields, &QTableWidget::itemChanged, this, &ZFieldsPage::CellCommitted);
    connect(btn_AddField, &QPushButton::clicked, this, &ZFieldsPage::AddField);
    connect(btn_RemoveField, &QPushButton::clicked, this, &ZFieldsPage::RemoveField);
    connect(btn_FieldUp, &QPushButton::clicked, this, [this] { MoveField(-1); });
    connect(btn_FieldDown, &QPushButton::clicked, this, [this] { MoveField(1); });
    connect(chk_LogFields, &QCheckBox::toggled, this, [this](bool checked) {
        if (!filling_) fields_.LogFields = checked;
    });
    connect(btn_TryLastFrame, &QPushButton::clicked, this, &ZFieldsPage::TryLastFrame);
    connect(btn_TryBytes, &QPushButton::clicked, this, &ZFieldsPage::TryTypedBytes);
    connect(ed_TryBytes, &QLineEdit::returnPressed, this, &ZFieldsPage::TryTypedBytes);
}

QList<QWidget*> ZFieldsPage::TabOrder() const {
    return {grd_Fields,    btn_AddField,     btn_RemoveField, btn_FieldUp,  btn_FieldDown,
            chk_LogFields, btn_TryLastFrame, ed_TryBytes,     btn_TryBytes, grd_TryResult};
}

// ---------------------------------------------------------------------------------
// The table

void ZFieldsPage::ShowFields(const ZFieldList& fields) {
    fields_ = fields;
    filling_ = true;
    chk_LogFields->setChecked(fields_.LogFields);
    filling_ = false;
    FillTable();
}

void ZFieldsPage::SetCaptureState(bool running) {
    running_ = running;
    grd_Fields->setEditTriggers(running ? QAbstractItemView::NoEditTriggers : CellEditTriggers);
    for (QPushButton* button : {btn_AddField, btn_RemoveField, btn_FieldUp, btn_FieldDown})
        button->setEnabled(!running);
    chk_LogFields->setEnabled(!running);
}

void ZFieldsPage::FillTable() {
    filling_ = true;
    grd_Fields->setRowCount(static_cast<int>(fields_.Items.size()));
    filling_ = false;
    for (int row = 0; row < grd_Fields->rowCount(); ++row) ShowRow(row);
    grd_Fields->resizeColumnsToContents();
}

QString ZFieldsPage::CellText(const ZFieldDefinition& field, TFieldKey key) const {
    if (!field.UsesKey(key)) return {};
    if (key == fkMSBFirst) return tr(field.MSBFirst ? TextMSBFirst : TextLSBFirst);
    return QString::fromStdString(field.KeyText(key));
}

void ZFieldsPage::ShowRow(int row) {
    const ZFieldDefinition& field = fields_.Items[static_cast<size_t>(row)];
    filling_ = true;
    for (int column = 0; column < ColumnCount; ++column) {
        const TFieldKey key = Columns[column];
        QTableWidgetItem* item = grd_Fields->item(row, column);
        if (item == nullptr) {
            item = new QTableWidgetItem;
            grd_Fields->setItem(row, column, item);
        }
        const QString text = CellText(field, key);
        item->setText(text);
        const bool used = field.UsesKey(key);
        item->setFlags(used ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                            : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        // A key the type does not read is greyed like a face, so the eye skips it.
        item->setBackground(used ? QBrush() : palette().brush(QPalette::Window));
        // A screen reader hears which key a cell holds, and that an empty one is not set.
        const QString shown =
            !used            ? tr("not read by type %1").arg(QString::fromLatin1(field.TypeName(field.Type)))
            : text.isEmpty() ? tr("not set")
                             : text;
        item->setData(Qt::AccessibleTextRole, tr(ColumnTitles[column].Source, ColumnTitles[column].Comment) +
                                                  QStringLiteral(": ") + shown);
    }
    filling_ = false;
}

void ZFieldsPage::CellCommitted(QTableWidgetItem* item) {
    if (filling_ || item == nullptr) return;
    const int row = item->row();
    const int column = item->column();
    if (row < 0 || row >= static_cast<int>(fields_.Items.size()) || column < 0 || column >= ColumnCount)
        return;
    ZFieldList candidate = fields_;
    std::string reason;
    if (ApplyCell(candidate, row, Columns[column], item->text(), reason)) {
        fields_ = std::move(candidate);
        ShowRow(row);
        grd_Fields->resizeColumnToContents(column);
        return;
    }
    // The old value is back at once; the box waits until the editor has closed, whose
    // loss of the focus would otherwise commit the refused text a second time.
    ShowRow(row);
    QMetaObject::invokeMethod(
        this, [this, text = ZEngineText(reason)] { ZMessageBox::Error(this, text); }, Qt::QueuedConnection);
}

bool ZFieldsPage::ApplyCell(ZFieldList& list, int row, TFieldKey key, const QString& shown,
                            std::string& reason) const {
    std::string text = shown.trimmed().toStdString();
    if (key == fkMSBFirst) {
        // One character, not a literal: GCC 12 at -O3 takes the copy of a literal here for
        // an overlap (a false -Wrestrict).
        if (shown.trimmed().compare(tr(TextMSBFirst), Qt::CaseInsensitive) == 0) text.assign(1, '1');
        if (shown.trimmed().compare(tr(TextLSBFirst), Qt::CaseInsensitive) == 0) text.assign(1, '0');
    }
    std::string keyName = ZFieldDefinition::KeyName(key);
    keyName += '_';
    keyName += std::to_string(row);
    ZFieldDefinition& field = list.Items[static_cast<size_t>(row)];
    if (!field.SetKeyText(key, text, keyName, reason)) return false;
    if (key == fkType) {
        // A new type reads other keys: the ones it needs start at 0, bits it cannot have go.
        if (field.Type == ftText && !field.HasIndex) {
            field.HasIndex = true;
            field.Index = 0;
        }
        if (field.Type != ftText && !field.HasOffset) {
            field.HasOffset = true;
            field.Offset = 0;
        }
        if (!ZFieldDefinition::IsInteger(field.Type)) field.HasBits = false;
    }
    return list.Check(reason);
}

void ZFieldsPage::AddField() {
    ZFieldList candidate = fields_;
    ZFieldDefinition field;
    field.Name = FreeName(candidate);
    field.HasOffset = true;
    candidate.Items.push_back(std::move(field));
    if (std::string reason; !candidate.Check(reason)) {
        ZMessageBox::Error(this, ZEngineText(reason));
        return;
    }
    fields_ = std::move(candidate);
    FillTable();
    SelectRow(grd_Fields->rowCount() - 1);
}

void ZFieldsPage::RemoveField() {
    const int row = CurrentRow();
    if (row < 0) return;
    fields_.Items.erase(fields_.Items.begin() + row);
    FillTable();
    SelectRow(std::min(row, grd_Fields->rowCount() - 1));
}

void ZFieldsPage::MoveField(int step) {
    const int row = CurrentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= grd_Fields->rowCount()) return;
    std::swap(fields_.Items[static_cast<size_t>(row)], fields_.Items[static_cast<size_t>(target)]);
    FillTable();
    SelectRow(target);
}

void ZFieldsPage::SelectRow(int row) {
    if (row < 0) return;
    const int column = std::max(grd_Fields->currentColumn(), 0);
    grd_Fields->setCurrentCell(row, column);
}

int ZFieldsPage::CurrentRow() const {
    const int row = grd_Fields->currentRow();
    return row < static_cast<int>(fields_.Items.size()) ? row : -1;
}

// ---------------------------------------------------------------------------------
// Trying the fields

void ZFieldsPage::TryLastFrame() {
    std::vector<uint8_t> bytes;
    if (!lastDataBlock_ || !lastDataBlock_(bytes)) {
        ShowTryMessage(tr("The capture window has received no data block yet."));
        return;
    }
    ShowTry(bytes);
}

void ZFieldsPage::TryTypedBytes() {
    const std::string typed = ed_TryBytes->text().toStdString();
    std::vector<uint8_t> bytes;
    std::string error;
    if (ZTrimBlanks(typed).empty()) {
        ShowTryMessage(tr("Type the bytes of a data block in HEX first."));
        return;
    }
    if (!ParseSendHex(typed, bytes, error)) {
        ShowTryMessage(ZEngineText(error));
        return;
    }
    ShowTry(bytes);
}

void ZFieldsPage::ShowTry(const std::vector<uint8_t>& bytes) {
    if (fields_.Items.empty()) {
        ShowTryMessage(tr("No field is defined: add one first."));
        return;
    }
    const ZFieldDecoder decoder(fields_);
    const std::vector<ZFieldTry> results = decoder.Try(bytes.data(), static_cast<int>(bytes.size()));
    lbl_TryResult->setText(tr("Tried on a data block of %1 bytes:").arg(bytes.size()));
    grd_TryResult->setRowCount(static_cast<int>(results.size()));
    for (size_t i = 0; i < results.size(); ++i) {
        const ZFieldDefinition& field = fields_.Items[i];
        const ZFieldTry& result = results[i];
        std::string shown = result.Why;
        if (result.Present) {
            shown = ZFieldNumberText(result.Value);
            if (!field.Unit.empty()) shown.append(1, ' ').append(field.Unit);
        }
        const int row = static_cast<int>(i);
        grd_TryResult->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(field.Name)));
        grd_TryResult->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(shown)));
    }
    grd_TryResult->resizeColumnToContents(0);
}

void ZFieldsPage::ShowTryMessage(const QString& text) {
    lbl_TryResult->setText(text);
    grd_TryResult->setRowCount(0);
}
