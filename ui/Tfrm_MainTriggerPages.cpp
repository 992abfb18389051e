// The main window's pages "Frame trigger settings" and "Data triggers": the window's
// own copies of the start and stop trigger and of the data trigger list, the length
// of the data field, and the grid that counts data trigger matches.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "Tfrm_BufEditor.h"
#include "Tfrm_Main.h"
#include "Tfrm_StringEditor.h"
#include "ZChecksum.h"
#include "ZControls.h"

namespace {

constexpr int CountColumnWidth = 70;
constexpr int GridRowHeight = 24;
// Bytes a frame can span: the filter's buffer and a trigger.
constexpr int MaxFrameNumber = 65535;

// Trigger texts are bytes shown one character each.
QString Q(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A trigger's text; long triggers are cut off by the label's width, the hint shows them whole.
// Its accessible name stays its text, so that a screen reader reads the trigger.
QLabel* TriggerLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(420);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

// The field takes typed digits as well as the spin's arrows.
QSpinBox* SpinField(const char* spinName, const char* fieldName, int minimum, int maximum, int value,
                    const QString& accessibleName, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(spinName));
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->setAccessibleName(accessibleName);
    if (auto* field = spin->findChild<QLineEdit*>()) {
        field->setObjectName(QString::fromLatin1(fieldName));
    }
    spin->setMinimumWidth(spin->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 40);
    return spin;
}

void ShowTrigger(const TTriggerSequence& trigger, QLabel* hex, QLabel* text) {
    hex->setText(Q(TriggerToHex(trigger)));
    hex->setToolTip(hex->text());
    text->setText(Q(TriggerToAscii(trigger)));
    text->setToolTip(text->text());
}

}  // namespace

// ---------------------------------------------------------------------------------
// Layout

QGroupBox* Tfrm_Main::BuildTriggerGroup(const QString& caption, bool start) {
    auto* group = new QGroupBox(caption);
    group->setObjectName(start ? QStringLiteral("grp_StartTrigger") : QStringLiteral("grp_StopTrigger"));
    auto* layout = new QGridLayout(group);
    // Whole sentences for each trigger: another language need not build them alike.
    auto* setSize = ZMakeButton(
        start ? "btn_SetStartTriggerSize" : "btn_SetStopTriggerSize",
        start ? tr("Set the size of the start trigger sequence in bytes to: (old trigger will be cleared!)")
              : tr("Set the size of the stop trigger sequence in bytes to: (old trigger will be cleared!)"),
        group);
    auto* size = SpinField(start ? "ud_StartTriggerSize" : "ud_StopTriggerSize",
                           start ? "ed_StartTriggerSize" : "ed_StopTriggerSize", 0, 100, 0,
                           start ? tr("Size of the start trigger sequence in bytes")
                                 : tr("Size of the stop trigger sequence in bytes"),
                           group);
    auto* editHex = ZMakeButton(start ? "btn_StartEditHEX" : "btn_StopEditHEX", tr("Edit"), group);
    editHex->setAccessibleName(start ? tr("Edit start trigger as HEX") : tr("Edit stop trigger as HEX"));
    auto* hex = TriggerLabel(start ? "lbl_StartTriggerHex" : "lbl_StopTriggerHex", group);
    auto* editString = ZMakeButton(start ? "btn_StartEditString" : "btn_StopEditString", tr("Edit"), group);
    editString->setAccessibleName(start ? tr("Edit start trigger as string")
                                        : tr("Edit stop trigger as string"));
    auto* text = TriggerLabel(start ? "lbl_StartTriggerString" : "lbl_StopTriggerString", group);
    auto* hexCaption = ZMakeBoldLabel(tr("HEX:"), group);
    hexCaption->setBuddy(hex);
    auto* textCaption = ZMakeBoldLabel(tr("String:"), group);
    textCaption->setBuddy(text);
    setSize->setEnabled(false);
    layout->addWidget(setSize, 0, 0, 1, 3);
    layout->addWidget(size, 0, 3);
    layout->addWidget(editHex, 1, 0);
    layout->addWidget(hexCaption, 1, 1);
    layout->addWidget(hex, 1, 2, 1, 2);
    layout->addWidget(editString, 2, 0);
    layout->addWidget(textCaption, 2, 1);
    layout->addWidget(text, 2, 2, 1, 2);
    layout->setColumnStretch(2, 1);

    if (start) {
        btn_SetStartTriggerSize = setSize;
        ud_StartTriggerSize = size;
        btn_StartEditHEX = editHex;
        lbl_StartTriggerHex = hex;
        btn_StartEditString = editString;
        lbl_StartTriggerString = text;
        connect(size, &QSpinBox::valueChanged, this, [this] { ud_StartTriggerSizeChanging(); });
        connect(setSize, &QPushButton::clicked, this, [this] { btn_SetStartTriggerSizeClick(); });
        connect(editHex, &QPushButton::clicked, this, [this] { btn_StartEditHEXClick(); });
        connect(editString, &QPushButton::clicked, this, [this] { btn_StartEditStringClick(); });
    } else {
        btn_SetStopTriggerSize = setSize;
        ud_StopTriggerSize = size;
        btn_StopEditHEX = editHex;
        lbl_StopTriggerHex = hex;
        btn_StopEditString = editString;
        lbl_StopTriggerString = text;
        connect(size, &QSpinBox::valueChanged, this, [this] { ud_StopTriggerSizeChanging(); });
        connect(setSize, &QPushButton::clicked, this, [this] { btn_SetStopTriggerSizeClick(); });
        connect(editHex, &QPushButton::clicked, this, [this] { btn_StopEditHEXClick(); });
        connect(editString, &QPushButton::clicked, this, [this] { btn_StopEditStringClick(); });
    }
    return group;
}

QWidget* Tfrm_Main::BuildTriggerPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tab_FrameTriggerSettings"));
    auto* layout = new QVBoxLayout(page);
    grp_StartTrigger = BuildTriggerGroup(tr("Start trigger"), true);
    layout->addWidget(grp_StartTrigger);

    grp_FixedFrameSize = new QGroupBox(tr("Amount of data bytes (fixed size)"), page);
    grp_FixedFrameSize->setObjectName(QStringLiteral("grp_FixedFrameSize"));
    auto* fixed = new QHBoxLayout(grp_FixedFrameSize);
    auto* fixedCaption = new QLabel(tr("Data sequence is always"), grp_FixedFrameSize);
    ud_FixedDataSize = SpinField("ud_FixedDataSize", "ed_FixedDataSize", 0, 300, 0,
                                 tr("Data sequence length in bytes"), grp_FixedFrameSize);
    fixedCaption->setBuddy(ud_FixedDataSize);
    fixed->addWidget(fixedCaption);
    fixed->addWidget(ud_FixedDataSize);
    fixed->addWidget(new QLabel(tr("bytes long..."), grp_FixedFrameSize));
    fixed->addStretch();
    layout->addWidget(grp_FixedFrameSize);

    auto* dynamicGroup = new QGroupBox(tr("Amount of data bytes (dynamic)"), page);
    dynamicGroup->setObjectName(QStringLiteral("grp_DynamicFrameSize"));
    auto* dynamic = new QHBoxLayout(dynamicGroup);
    auto* startCaption = new QLabel(tr("Defined in start trigger at index"), dynamicGroup);
    ud_DataSizeStart = SpinField("ud_DataSizeStart", "ed_DataSizeStart", 0, 300, 0,
                                 tr("Index of the length field in the start trigger"), dynamicGroup);
    startCaption->setBuddy(ud_DataSizeStart);
    auto* widthCaption = new QLabel(tr("The width is"), dynamicGroup);
    ud_DataSizeWidth = SpinField("ud_DataSizeWidth", "ed_DataSizeWidth", 1, 300, 1,
                                 tr("Width of the length field in bytes"), dynamicGroup);
    widthCaption->setBuddy(ud_DataSizeWidth);
    chk_DataMSBFirst = new QCheckBox(tr("MSB first"), dynamicGroup);
    chk_DataMSBFirst->setObjectName(QStringLiteral("chk_DataMSBFirst"));
    chk_DataMSBFirst->setLayoutDirection(Qt::RightToLeft);  // caption left of the box
    dynamic->addWidget(startCaption);
    dynamic->addWidget(ud_DataSizeStart);
    dynamic->addSpacing(12);
    dynamic->addWidget(widthCaption);
    dynamic->addWidget(ud_DataSizeWidth);
    dynamic->addWidget(new QLabel(tr("bytes, "), dynamicGroup));
    dynamic->addWidget(chk_DataMSBFirst);
    dynamic->addSpacing(12);
    auto* adjustCaption = new QLabel(tr("Length adjust"), dynamicGroup);
    ud_LengthAdjust = SpinField("ud_LengthAdjust", "ed_LengthAdjust", -MaxFrameNumber, MaxFrameNumber, 0,
                                tr("Bytes added to the value of the length field"), dynamicGroup);
    adjustCaption->setBuddy(ud_LengthAdjust);
    dynamic->addWidget(adjustCaption);
    dynamic->addWidget(ud_LengthAdjust);
    dynamic->addStretch();
    layout->addWidget(dynamicGroup);
    connect(ud_DataSizeStart, &QSpinBox::valueChanged, this,
            [this](int value) { ud_DataSizeStartChangingEx(value); });

    grp_StopTrigger = BuildTriggerGroup(tr("Stop trigger"), false);
    layout->addWidget(grp_StopTrigger);
    layout->addWidget(BuildChecksumGroup());
    layout->addStretch();
    return page;
}

QGroupBox* Tfrm_Main::BuildChecksumGroup() {
    grp_Checksum = new QGroupBox(tr("Checksum"));
    grp_Checksum->setObjectName(QStringLiteral("grp_Checksum"));
    auto* layout = new QHBoxLayout(grp_Checksum);
    auto* algorithmCaption = new QLabel(tr("Algorithm"), grp_Checksum);
    cb_ChecksumAlgorithm = new QComboBox(grp_Checksum);
    cb_ChecksumAlgorithm->setObjectName(QStringLiteral("cb_ChecksumAlgorithm"));
    cb_ChecksumAlgorithm->setAccessibleName(tr("Checksum algorithm"));
    // The item index is the stored algorithm number.
    for (int32_t algorithm = 0; algorithm < ChecksumAlgorithmCount; ++algorithm)
        cb_ChecksumAlgorithm->addItem(algorithm == caNone ? tr("none")
                                                          : QString::fromLatin1(ZChecksum::Name(algorithm)));
    algorithmCaption->setBuddy(cb_ChecksumAlgorithm);
    layout->addWidget(algorithmCaption);
    layout->addWidget(cb_ChecksumAlgorithm);
    const struct {
        const char* spin;
        const char* field;
        const char* caption;
        QSpinBox** target;
    } numbers[] = {
        {"ud_ChecksumSkipStart", "ed_ChecksumSkipStart", QT_TRANSLATE_NOOP("Tfrm_Main", "Skip start"),
         &ud_ChecksumSkipStart},
        {"ud_ChecksumGap", "ed_ChecksumGap", QT_TRANSLATE_NOOP("Tfrm_Main", "Gap"), &ud_ChecksumGap},
        {"ud_ChecksumSkipEnd", "ed_ChecksumSkipEnd", QT_TRANSLATE_NOOP("Tfrm_Main", "Skip end"),
         &ud_ChecksumSkipEnd}};
    for (const auto& number : numbers) {
        auto* caption = new QLabel(tr(number.caption), grp_Checksum);
        *number.target = SpinField(number.spin, number.field, 0, MaxFrameNumber, 0,
                                   tr("%1 (bytes)").arg(caption->text()), grp_Checksum);
        caption->setBuddy(*number.target);
        layout->addSpacing(8);
        layout->addWidget(caption);
        layout->addWidget(*number.target);
    }
    chk_ChecksumMSBFirst = new QCheckBox(tr("MSB first"), grp_Checksum);
    chk_ChecksumMSBFirst->setObjectName(QStringLiteral("chk_ChecksumMSBFirst"));
    chk_ChecksumMSBFirst->setChecked(true);
    chk_DropBadFrames = new QCheckBox(tr("Drop bad frames"), grp_Checksum);
    chk_DropBadFrames->setObjectName(QStringLiteral("chk_DropBadFrames"));
    chk_DropBadFrames->setToolTip(tr("Frames with a wrong checksum are counted but not logged"));
    layout->addSpacing(8);
    layout->addWidget(chk_ChecksumMSBFirst);
    layout->addWidget(chk_DropBadFrames);
    layout->addStretch();
    return grp_Checksum;
}

void Tfrm_Main::ShowFrameSettings(const ZFrameSettings& frames) {
    // An algorithm this window does not know shows as none, so the next capture checks nothing.
    cb_ChecksumAlgorithm->setCurrentIndex(
        ZChecksum::IsActive(frames.ChecksumAlgorithm) ? frames.ChecksumAlgorithm : caNone);
    ud_ChecksumSkipStart->setValue(frames.ChecksumSkipStart);
    ud_ChecksumGap->setValue(frames.ChecksumGap);
    ud_ChecksumSkipEnd->setValue(frames.ChecksumSkipEnd);
    chk_ChecksumMSBFirst->setChecked(frames.ChecksumMSBFirst);
    chk_DropBadFrames->setChecked(frames.DropBadFrames);
    ud_LengthAdjust->setValue(frames.LengthAdjust);
}

void Tfrm_Main::CollectFrameSettings(ZFrameSettings& frames) const {
    frames.ChecksumAlgorithm = cb_ChecksumAlgorithm->currentIndex();
    frames.ChecksumSkipStart = ud_ChecksumSkipStart->value();
    frames.ChecksumGap = ud_ChecksumGap->value();
    frames.ChecksumSkipEnd = ud_ChecksumSkipEnd->value();
    frames.ChecksumMSBFirst = chk_ChecksumMSBFirst->isChecked();
    frames.DropBadFrames = chk_DropBadFrames->isChecked();
    frames.LengthAdjust = ud_LengthAdjust->value();
}

QWidget* Tfrm_Main::BuildDataTriggerPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tab_DataTriggers"));
    auto* layout = new QHBoxLayout(page);
    auto* column = new QVBoxLayout;

    grp_DTShowAs = new QGroupBox(tr("Show as"), page);
    grp_DTShowAs->setObjectName(QStringLiteral("grp_DTShowAs"));
    showAsItems_ = ZMakeRadioItems(grp_DTShowAs, {QStringLiteral("ASCII"), tr("both"), QStringLiteral("HEX")},
                                   QStringLiteral("grp_DTShowAs"));
    connect(showAsItems_, &QButtonGroup::idClicked, this, [this] { grp_DTShowAsClick(); });
    column->addWidget(grp_DTShowAs);

    auto* add = new QGroupBox(tr("Add a data trigger"), page);
    add->setObjectName(QStringLiteral("grp_AddDT"));
    auto* addLayout = new QGridLayout(add);
    auto* sizeCaption = new QLabel(tr("Size in bytes:"), add);
    ud_DTSize = SpinField("ud_DTSize", "ed_DTSize", 1, 300, 1, sizeCaption->text(), add);
    sizeCaption->setBuddy(ud_DTSize);
    btn_AddDTASCII = ZMakeButton("btn_AddDTASCII", QStringLiteral("ASCII"), add);
    btn_AddDTASCII->setAccessibleName(tr("Add an ASCII data trigger"));
    btn_AddDTHEX = ZMakeButton("btn_AddDTHEX", QStringLiteral("HEX"), add);
    btn_AddDTHEX->setAccessibleName(tr("Add a HEX data trigger"));
    addLayout->addWidget(sizeCaption, 0, 0);
    addLayout->addWidget(ud_DTSize, 0, 1);
    addLayout->addWidget(btn_AddDTASCII, 1, 0);
    addLayout->addWidget(btn_AddDTHEX, 1, 1);
    column->addWidget(add);
    connect(btn_AddDTASCII, &QPushButton::clicked, this, [this] { btn_AddDataTriggerClick(true); });
    connect(btn_AddDTHEX, &QPushButton::clicked, this, [this] { btn_AddDataTriggerClick(false); });

    auto* remove = new QGroupBox(tr("Remove data trigger"), page);
    remove->setObjectName(QStringLiteral("grp_RemoveDT"));
    auto* removeLayout = new QVBoxLayout(remove);
    btn_RemoveSelDT = ZMakeButton("btn_RemoveSelDT", tr("Remove selected"), remove);
    btn_RemoveAllDT = ZMakeButton("btn_RemoveAllDT", tr("Remove all"), remove);
    removeLayout->addWidget(btn_RemoveSelDT);
    removeLayout->addWidget(btn_RemoveAllDT);
    column->addWidget(remove);
    connect(btn_RemoveSelDT, &QPushButton::clicked, this, [this] { btn_RemoveSelDTClick(); });
    connect(btn_RemoveAllDT, &QPushButton::clicked, this, [this] { btn_RemoveAllDTClick(); });

    auto* reset = new QGroupBox(tr("Reset data trigger"), page);
    reset->setObjectName(QStringLiteral("grp_ResetDT"));
    auto* resetLayout = new QVBoxLayout(reset);
    btn_ResetSelDT = ZMakeButton("btn_ResetSelDT", tr("Reset selected"), reset);
    btn_ResetAllDT = ZMakeButton("btn_ResetAllDT", tr("Reset all"), reset);
    resetLayout->addWidget(btn_ResetSelDT);
    resetLayout->addWidget(btn_ResetAllDT);
    column->addWidget(reset);
    column->addStretch();
    connect(btn_ResetSelDT, &QPushButton::clicked, this, [this] { btn_ResetSelDTClick(); });
    connect(btn_ResetAllDT, &QPushButton::clicked, this, [this] { btn_ResetAllDTClick(); });
    layout->addLayout(column);

    DTrgList = new QTableWidget(1, 2, page);
    DTrgList->setObjectName(QStringLiteral("DTrgList"));
    DTrgList->setAccessibleName(tr("Data triggers and their counts"));
    DTrgList->horizontalHeader()->hide();
    DTrgList->verticalHeader()->hide();
    DTrgList->verticalHeader()->setDefaultSectionSize(GridRowHeight);
    DTrgList->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    DTrgList->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    DTrgList->setColumnWidth(1, CountColumnWidth);
    DTrgList->setSelectionBehavior(QAbstractItemView::SelectRows);
    DTrgList->setSelectionMode(QAbstractItemView::SingleSelection);
    DTrgList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DTrgList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DTrgList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DTrgList->setTabKeyNavigation(false);
    QPalette palette = DTrgList->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    palette.setColor(QPalette::Text, palette.color(QPalette::ToolTipText));
    DTrgList->setPalette(palette);
    DTrgList->setMinimumWidth(360);
    layout->addWidget(DTrgList, 1);
    return page;
}

// ---------------------------------------------------------------------------------
// Frame triggers

void Tfrm_Main::ud_StartTriggerSizeChanging() {
    btn_SetStartTriggerSize->setEnabled(true);
}

void Tfrm_Main::ud_StopTriggerSizeChanging() {
    btn_SetStopTriggerSize->setEnabled(true);
}

void Tfrm_Main::SetTriggerSize(TTriggerSequence& trigger, int size) {
    // Growing keeps the beginning and pads with AnyByte; shrinking keeps the beginning.
    trigger.resize(static_cast<size_t>(std::max(size, 0)), AnyByte);
}

void Tfrm_Main::btn_SetStartTriggerSizeClick() {
    btn_SetStartTriggerSize->setEnabled(false);
    SetTriggerSize(StartTrigger, ud_StartTriggerSize->value());
    ShowStartTrigger();
}

void Tfrm_Main::btn_SetStopTriggerSizeClick() {
    btn_SetStopTriggerSize->setEnabled(false);
    SetTriggerSize(StopTrigger, ud_StopTriggerSize->value());
    ShowStopTrigger();
}

void Tfrm_Main::ShowStartTrigger() {
    ShowTrigger(StartTrigger, lbl_StartTriggerHex, lbl_StartTriggerString);
    RecheckDynamicLimits();
}

void Tfrm_Main::ShowStopTrigger() {
    ShowTrigger(StopTrigger, lbl_StopTriggerHex, lbl_StopTriggerString);
}

void Tfrm_Main::RecheckDynamicLimits() {
    // A start trigger that shrank by more than one byte would otherwise leave the index
    // beyond its end; lowering the maximum lowers the index, which re-runs the change check.
    const int size = static_cast<int>(StartTrigger.size());
    ud_DataSizeStart->setMaximum(std::max(size - 1, 0));
    ud_DataSizeStartChangingEx(ud_DataSizeStart->value());
}

void Tfrm_Main::ShowTriggersOfMode(uint8_t mode) {
    const bool delimited = ZFrameCodecOfMode(mode) != nullptr;
    const bool noStart = delimited || mode == cmUntilStopTrigger;
    // The triggers stay as they are: another mode may use them again.
    grp_StartTrigger->setEnabled(!noStart);
    grp_StartTrigger->setToolTip(noStart ? tr("Frames of this capture mode have no start trigger.")
                                         : QString());
    grp_StopTrigger->setEnabled(!delimited);
    grp_StopTrigger->setToolTip(delimited ? tr("SLIP and COBS frames end at their own delimiter byte.")
                                          : QString());
}

void Tfrm_Main::ud_DataSizeStartChangingEx(int value) {
    const int size = static_cast<int>(StartTrigger.size());
    ud_DataSizeStart->setMaximum(std::max(size - 1, 0));
    // Lowering the maximum lowers a larger width with it.
    ud_DataSizeWidth->setMaximum(std::max(size - value, 1));
    ud_DataSizeWidth->setEnabled(true);
}

void Tfrm_Main::EditTriggerHex(TTriggerSequence& trigger, const QString& caption) {
    const int count = static_cast<int>(trigger.size());
    Tfrm_BufEditor editor(this, caption, count, trigger.data());
    if (editor.exec() == QDialog::Accepted) {
        const std::vector<int32_t>& buffer = editor.Buffer();
        std::copy_n(buffer.begin(), std::min<size_t>(buffer.size(), trigger.size()), trigger.begin());
    }
}

void Tfrm_Main::EditTriggerString(TTriggerSequence& trigger, const QString& caption,
                                  const QString& shownText) {
    Tfrm_StringEditor editor(this, caption, shownText.toLatin1().toStdString(), trigger);
    if (editor.exec() == QDialog::Accepted) {
        const std::vector<int32_t>& buffer = editor.Buffer();
        std::copy_n(buffer.begin(), std::min<size_t>(buffer.size(), trigger.size()), trigger.begin());
    }
}

void Tfrm_Main::btn_StartEditHEXClick() {
    if (StartTrigger.empty()) return;
    EditTriggerHex(StartTrigger, tr("Start trigger \u2014 HEX editor"));
    ShowStartTrigger();
}

void Tfrm_Main::btn_StartEditStringClick() {
    if (StartTrigger.empty()) return;
    EditTriggerString(StartTrigger, tr("Start trigger:"), lbl_StartTriggerString->text());
    ShowStartTrigger();
}

void Tfrm_Main::btn_StopEditHEXClick() {
    if (StopTrigger.empty()) return;
    EditTriggerHex(StopTrigger, tr("Stop trigger \u2014 HEX editor"));
    ShowStopTrigger();
}

void Tfrm_Main::btn_StopEditStringClick() {
    if (StopTrigger.empty()) return;
    EditTriggerString(StopTrigger, tr("Stop trigger:"), lbl_StopTriggerString->text());
    ShowStopTrigger();
}

// ---------------------------------------------------------------------------------
// Data triggers

void Tfrm_Main::btn_AddDataTriggerClick(bool ascii) {
    const int count = ud_DTSize->value();
    TTriggerSequence trigger;
    if (ascii) {
        Tfrm_StringEditor editor(this, tr("Data trigger:"), std::string(static_cast<size_t>(count), '.'));
        if (editor.exec() != QDialog::Accepted) return;
        trigger.assign(editor.Buffer().begin(), editor.Buffer().end());
    } else {
        // The hex editor starts from zeros, which the user overwrites byte by byte.
        const TTriggerSequence initial(static_cast<size_t>(count), 0);
        Tfrm_BufEditor editor(this, tr("Data trigger \u2014 HEX editor"), count, initial.data());
        if (editor.exec() != QDialog::Accepted) return;
        trigger.assign(editor.Buffer().begin(), editor.Buffer().end());
    }
    trigger.resize(static_cast<size_t>(count), 0);
    DataTriggers.Add(trigger);
    FillDataTriggerGrid();
}

QString Tfrm_Main::DataTriggerText(const TTriggerSequence& trigger) const {
    switch (showAsItems_->checkedId()) {
        case 1:
            return Q(TriggerToAscii(trigger)) + QStringLiteral(" (") + Q(TriggerToHex(trigger)) + u')';
        case 2:
            return Q(TriggerToHex(trigger));
        default:
            return Q(TriggerToAscii(trigger));
    }
}

void Tfrm_Main::FillDataTriggerGrid() {
    const int selected = DTrgList->currentRow();
    DTrgList->clearContents();
    const int count = DataTriggers.GetCount();
    DTrgList->setRowCount(std::max(count, 1));
    for (int row = 0; row < count; ++row) {
        TTriggerSequence trigger;
        DataTriggers.Get(row, trigger);
        DTrgList->setItem(row, 0, new QTableWidgetItem(DataTriggerText(trigger)));
        auto* counter = new QTableWidgetItem(QStringLiteral("0"));
        counter->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        DTrgList->setItem(row, 1, counter);
    }
    // Like any grid, one row is always the selected one.
    DTrgList->setCurrentCell(std::clamp(selected, 0, DTrgList->rowCount() - 1), 0);
}

void Tfrm_Main::DeleteGridRow(int row) {
    if (row < 0 || row >= DTrgList->rowCount()) return;
    DTrgList->setUpdatesEnabled(false);
    if (DTrgList->rowCount() > 1) {
        DTrgList->removeRow(row);
    } else {
        DTrgList->setItem(row, 0, nullptr);
        DTrgList->setItem(row, 1, nullptr);
    }
    DTrgList->setUpdatesEnabled(true);
    DTrgList->viewport()->update();
}

int Tfrm_Main::SelectedGridRow() const {
    const QList<QTableWidgetSelectionRange> ranges = DTrgList->selectedRanges();
    if (!ranges.isEmpty()) return ranges.constFirst().topRow();
    return DTrgList->currentRow();
}

void Tfrm_Main::btn_RemoveSelDTClick() {
    const int row = SelectedGridRow();
    DeleteGridRow(row);
    DataTriggers.Delete(row);
}

void Tfrm_Main::btn_RemoveAllDTClick() {
    while (DataTriggers.GetCount() > 0) {
        DataTriggers.Delete(0);
        DeleteGridRow(0);
    }
}

void Tfrm_Main::btn_ResetSelDTClick() {
    const int row = SelectedGridRow();
    if (QTableWidgetItem* cell = row >= 0 ? DTrgList->item(row, 1) : nullptr)
        cell->setText(QStringLiteral("0"));
}

void Tfrm_Main::btn_ResetAllDTClick() {
    for (int row = 0; row < DTrgList->rowCount(); ++row)
        if (QTableWidgetItem* cell = DTrgList->item(row, 1)) cell->setText(QStringLiteral("0"));
}

void Tfrm_Main::grp_DTShowAsClick() {
    FillDataTriggerGrid();
}
