#include "ZSendPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "TriggerSequence.h"
#include "ZChecksum.h"
#include "ZControls.h"
#include "ZEngineText.h"
#include "ZLogger.h"
#include "ZScriptPane.h"

namespace {

constexpr int LinesIntervalMs = 100;
constexpr int BreakMs = 250;
constexpr int ShortcutCount = 9;
const char* const NoPortText =
    QT_TRANSLATE_NOOP("ZSendPage", "Nothing can be sent: no COM port is open. Start a capture first.");

QString Q(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// Named for the tests and for the accessibility tree.
template <typename T>
T* Named(T* widget, const char* name, const QString& accessibleName) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessibleName);
    return widget;
}

// Whether bytes read as text: printable ASCII, with \r, \n and \t as escapes.
bool IsText(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return false;
    for (const uint8_t byte : bytes)
        if ((byte < 0x20 || byte > 0x7E) && byte != '\r' && byte != '\n' && byte != '\t') return false;
    return true;
}

// "SLIP", "COBS": as the encodings are written, not as the command line takes them.
QString EncodingName(int32_t encoding) {
    return QString::fromLatin1(ZFrameEncodingName(encoding)).toUpper();
}

QString ListText(const ZSendSequence& item, int row) {
    // The key as the user's language names it ("Strg+1" in German).
    QString text = row < ShortcutCount ? QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + row))
                                                 .toString(QKeySequence::NativeText) +
                                             QStringLiteral("  ")
                                       : QStringLiteral("        ");
    text += Q(item.Name) + QStringLiteral(": ") +
            QString::fromLatin1(BytesToHex(item.Data.data(), static_cast<int>(item.Data.size())));
    if (ZChecksum::IsActive(item.Checksum))
        text += QStringLiteral(" + ") + QString::fromLatin1(ZChecksum::Name(item.Checksum));
    if (item.Encode != feNone) text += ZSendPage::tr(", as %1").arg(EncodingName(item.Encode));
    if (item.Every > 0) text += ZSendPage::tr(", every %1 ms").arg(item.Every);
    return text;
}

}  // namespace

ZSendPage::ZSendPage(std::function<ZLogger*()> engine, QWidget* parent)
    : QWidget(parent), engine_(std::move(engine)) {
    setObjectName(QStringLiteral("SendPage"));
    BuildPage();
    AttachEngine();
    SetPortOpen(false);
    ShowEntryBytes();
}

void ZSendPage::BuildPage() {
    auto* layout = new QVBoxLayout(this);

    auto* entry = new QGroupBox(tr("Sequence"), this);
    auto* grid = new QGridLayout(entry);
    cb_SendFormat = Named(new QComboBox(entry), "cb_SendFormat", tr("Entry format"));
    cb_SendFormat->addItems({QStringLiteral("HEX"), tr("Text with escapes")});
    ed_SendData = Named(new QLineEdit(entry), "ed_SendData", tr("Bytes to send"));
    ed_SendData->setPlaceholderText(QStringLiteral("01 03 00 6B 00 03"));
    lbl_SendBytes = Named(new QLabel(entry), "lbl_SendBytes", tr("Bytes that will be sent"));
    lbl_SendBytes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbl_SendBytes->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    cb_SendChecksum = Named(new QComboBox(entry), "cb_SendChecksum", tr("Checksum appended"));
    for (int32_t i = 0; i < ChecksumAlgorithmCount; ++i)
        cb_SendChecksum->addItem(i == caNone ? tr("none") : QString::fromLatin1(ZChecksum::Name(i)));
    chk_SendLSBFirst =
        Named(new QCheckBox(tr("low byte first"), entry), "chk_SendLSBFirst", tr("Checksum low byte first"));
    ud_ChecksumSkip = Named(new QSpinBox(entry), "ud_ChecksumSkip", tr("Leading bytes the checksum leaves out"));
    ud_ChecksumSkip->setRange(ZSendSequence::ProtocolSkip, static_cast<int>(MaxSendBytes));
    // A new sequence starts as its protocol reads it: an NMEA sentence leaves its '$' out.
    ud_ChecksumSkip->setValue(ZSendSequence::ProtocolSkip);
    ud_ChecksumSkip->setSpecialValueText(tr("as the protocol says"));
    ud_ChecksumSkip->setSuffix(tr(" bytes"));
    ud_ChecksumSkip->setToolTip(tr("NMEA leaves out the leading $, UBX the sync characters B5 62"));
    cb_SendLineEnd = Named(new QComboBox(entry), "cb_SendLineEnd", tr("Line end appended"));
    cb_SendLineEnd->addItems(
        {tr("none"), QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")});
    cb_SendEncode = Named(new QComboBox(entry), "cb_SendEncode", tr("Frame encoding"));
    for (int32_t encoding = feNone; encoding <= feCobs; ++encoding)
        cb_SendEncode->addItem(encoding == feNone ? tr("none") : EncodingName(encoding));
    btn_Send = Named(ZMakeButton("btn_Send", tr("Send"), entry), "btn_Send", tr("Send"));
    ud_SendEvery = Named(new QSpinBox(entry), "ud_SendEvery", tr("Repeat interval in ms"));
    // 0 is a sequence's own "no repeat", shown when such a sequence is chosen.
    ud_SendEvery->setRange(0, MaxSendEveryMs);
    ud_SendEvery->setSpecialValueText(tr("none"));
    ud_SendEvery->setValue(1000);
    ud_SendEvery->setSuffix(QStringLiteral(" ms"));
    btn_SendRepeat = Named(ZMakeButton("btn_SendRepeat", tr("Start repeat"), entry), "btn_SendRepeat",
                           tr("Start or stop the repeat"));
    ud_SendWaitAnswer = Named(new QSpinBox(entry), "ud_SendWaitAnswer",
                              tr("Wait for an answer before the next send, in ms"));
    ud_SendWaitAnswer->setRange(0, MaxWaitAnswerMs);
    ud_SendWaitAnswer->setSpecialValueText(tr("no wait"));
    ud_SendWaitAnswer->setSuffix(QStringLiteral(" ms"));
    ud_SendGap = Named(new QSpinBox(entry), "ud_SendGap", tr("Least gap between two frames sent, in ms"));
    ud_SendGap->setRange(0, MaxSendGapMs);
    ud_SendGap->setSpecialValueText(tr("the line's least"));
    ud_SendGap->setSuffix(QStringLiteral(" ms"));
    lbl_SendCount = Named(new QLabel(entry), "lbl_SendCount", tr("Sends"));
    lbl_SendState = Named(new QLabel(entry), "lbl_SendState", tr("Why nothing can be sent"));
    QPalette alarm = lbl_SendState->palette();
    alarm.setColor(QPalette::WindowText, Qt::darkRed);
    lbl_SendState->setPalette(alarm);
    auto* formatCaption = new QLabel(tr("&Format:"), entry);
    formatCaption->setBuddy(cb_SendFormat);
    auto* dataCaption = new QLabel(tr("&Data:"), entry);
    dataCaption->setBuddy(ed_SendData);
    auto* checksumCaption = new QLabel(tr("&Checksum:"), entry);
    checksumCaption->setBuddy(cb_SendChecksum);
    auto* lineEndCaption = new QLabel(tr("&Line end:"), entry);
    lineEndCaption->setBuddy(cb_SendLineEnd);
    auto* encodeCaption = new QLabel(tr("Enc&ode as:"), entry);
    encodeCaption->setBuddy(cb_SendEncode);
    auto* everyCaption = new QLabel(tr("Repeat &every"), entry);
    everyCaption->setBuddy(ud_SendEvery);
    auto* skipCaption = new QLabel(tr("Checksum s&kips:"), entry);
    skipCaption->setBuddy(ud_ChecksumSkip);
    auto* waitCaption = new QLabel(tr("&Wait for an answer:"), entry);
    waitCaption->setBuddy(ud_SendWaitAnswer);
    auto* gapCaption = new QLabel(tr("&Gap between frames:"), entry);
    gapCaption->setBuddy(ud_SendGap);
    grid->addWidget(formatCaption, 0, 0);
    grid->addWidget(cb_SendFormat, 0, 1);
    grid->addWidget(dataCaption, 1, 0);
    grid->addWidget(ed_SendData, 1, 1, 1, 6);
    grid->addWidget(lbl_SendBytes, 2, 1, 1, 6);
    grid->addWidget(checksumCaption, 3, 0);
    grid->addWidget(cb_SendChecksum, 3, 1);
    grid->addWidget(chk_SendLSBFirst, 3, 2);
    grid->addWidget(lineEndCaption, 3, 3);
    grid->addWidget(cb_SendLineEnd, 3, 4);
    grid->addWidget(encodeCaption, 3, 5);
    grid->addWidget(cb_SendEncode, 3, 6);
    grid->addWidget(skipCaption, 4, 0);
    grid->addWidget(ud_ChecksumSkip, 4, 1);
    grid->addWidget(waitCaption, 4, 2);
    grid->addWidget(ud_SendWaitAnswer, 4, 3);
    grid->addWidget(btn_Send, 5, 1);
    grid->addWidget(everyCaption, 5, 2);
    grid->addWidget(ud_SendEvery, 5, 3);
    grid->addWidget(btn_SendRepeat, 5, 4);
    grid->addWidget(gapCaption, 6, 0);
    grid->addWidget(ud_SendGap, 6, 1);
    grid->addWidget(lbl_SendCount, 7, 1, 1, 4);
    grid->addWidget(lbl_SendState, 8, 0, 1, 5);
    layout->addWidget(entry);

    auto* list = new QGroupBox(tr("Saved sequences"), this);
    auto* listLayout = new QGridLayout(list);
    ed_SequenceName = Named(new QLineEdit(list), "ed_SequenceName", tr("Sequence name"));
    ed_SequenceName->setPlaceholderText(tr("Name"));
    lst_Sequences = Named(new QListWidget(list), "lst_Sequences", tr("Saved sequences"));
    lst_Sequences->setMinimumHeight(90);
    btn_AddSequence = ZMakeButton("btn_AddSequence", tr("Add"), list);
    btn_UpdateSequence = ZMakeButton("btn_UpdateSequence", tr("Update"), list);
    btn_RemoveSequence = ZMakeButton("btn_RemoveSequence", tr("Remove"), list);
    btn_SequenceUp = ZMakeButton("btn_SequenceUp", tr("Up"), list);
    btn_SequenceDown = ZMakeButton("btn_SequenceDown", tr("Down"), list);
    btn_SendSequence = ZMakeButton("btn_SendSequence", tr("Send selected"), list);
    auto* nameCaption = new QLabel(tr("&Name:"), list);
    nameCaption->setBuddy(ed_SequenceName);
    listLayout->addWidget(nameCaption, 0, 0);
    listLayout->addWidget(ed_SequenceName, 0, 1, 1, 5);
    listLayout->addWidget(lst_Sequences, 1, 0, 1, 6);
    int column = 0;
    for (QPushButton* button : {btn_AddSequence, btn_UpdateSequence, btn_RemoveSequence, btn_SequenceUp,
                                btn_SequenceDown, btn_SendSequence})
        listLayout->addWidget(button, 2, column++);
    layout->addWidget(list);

    auto* lines = new QGroupBox(tr("Modem lines"), this);
    auto* linesLayout = new QHBoxLayout(lines);
    chk_DTR = Named(new QCheckBox(QStringLiteral("DTR"), lines), "chk_DTR", tr("DTR output line"));
    chk_RTS = Named(new QCheckBox(QStringLiteral("RTS"), lines), "chk_RTS", tr("RTS output line"));
    btn_Break = ZMakeButton("btn_Break", QStringLiteral("Break"), lines);
    btn_Break->setToolTip(tr("Holds the line in break for 250 ms"));
    lbl_CTS = Named(new QLabel(lines), "lbl_CTS", tr("CTS input line"));
    lbl_DSR = Named(new QLabel(lines), "lbl_DSR", tr("DSR input line"));
    lbl_RI = Named(new QLabel(lines), "lbl_RI", tr("RI input line"));
    lbl_DCD = Named(new QLabel(lines), "lbl_DCD", tr("DCD input line"));
    for (QWidget* widget :
         std::initializer_list<QWidget*>{chk_DTR, chk_RTS, btn_Break, lbl_CTS, lbl_DSR, lbl_RI, lbl_DCD})
        linesLayout->addWidget(widget);
    linesLayout->addStretch();
    layout->addWidget(lines);
    pane_Script = new ZScriptPane(engine_, this);
    layout->addWidget(pane_Script, 1);

    tmr_Pace = new QTimer(this);
    tmr_Pace->setObjectName(QStringLiteral("tmr_Pace"));
    tmr_Pace->setTimerType(Qt::PreciseTimer);
    tmr_Pace->setSingleShot(true);
    tmr_Lines = new QTimer(this);
    tmr_Lines->setObjectName(QStringLiteral("tmr_Lines"));
    tmr_Lines->setInterval(LinesIntervalMs);

    connect(ed_SendData, &QLineEdit::textChanged, this, [this] { ShowEntryBytes(); });
    connect(cb_SendFormat, &QComboBox::currentIndexChanged, this, [this] { ShowEntryBytes(); });
    connect(cb_SendChecksum, &QComboBox::currentIndexChanged, this, [this](int algorithm) {
        chk_SendLSBFirst->setChecked(ZSendSequence::DefaultLSBFirst(algorithm));
        ShowEntryBytes();
    });
    connect(chk_SendLSBFirst, &QCheckBox::toggled, this, [this] { ShowEntryBytes(); });
    connect(cb_SendLineEnd, &QComboBox::currentIndexChanged, this, [this] { ShowEntryBytes(); });
    connect(ud_ChecksumSkip, &QSpinBox::valueChanged, this, [this] { ShowEntryBytes(); });
    connect(ud_SendGap, &QSpinBox::valueChanged, this, [this](int gapMs) {
        if (ZLogger* current = engine_(); current != nullptr && portOpen_)
            pacer_.SetLine(current->GetLineTiming(), gapMs);
    });
    connect(cb_SendEncode, &QComboBox::currentIndexChanged, this, [this](int encoding) {
        // An encoded frame ends at its delimiter: no line end follows it.
        cb_SendLineEnd->setEnabled(encoding == feNone);
        ShowEntryBytes();
    });
    connect(ed_SendData, &QLineEdit::returnPressed, btn_Send, &QPushButton::click);
    connect(btn_Send, &QPushButton::clicked, this, [this] {
        ZSendSequence sequence;
        if (EntrySequence(sequence)) SendSequence(sequence);
    });
    connect(btn_SendRepeat, &QPushButton::clicked, this, [this] { ToggleRepeat(); });
    connect(tmr_Pace, &QTimer::timeout, this, [this] { PumpSends(); });
    connect(btn_AddSequence, &QPushButton::clicked, this, [this] { AddSequence(); });
    connect(btn_UpdateSequence, &QPushButton::clicked, this, [this] { UpdateSequence(); });
    connect(btn_RemoveSequence, &QPushButton::clicked, this, [this] { RemoveSequence(); });
    connect(btn_SequenceUp, &QPushButton::clicked, this, [this] { MoveSequence(-1); });
    connect(btn_SequenceDown, &QPushButton::clicked, this, [this] { MoveSequence(1); });
    connect(lst_Sequences, &QListWidget::currentRowChanged, this,
            [this](int row) { ShowSequenceInEntry(row); });
    auto sendRow = [this](int row) {
        if (row < 0 || row >= static_cast<int>(items_.size())) return;
        ZSendSequence once = items_[static_cast<size_t>(row)];
        once.Every = 0;
        SendSequence(once);
    };
    connect(btn_SendSequence, &QPushButton::clicked, this,
            [this, sendRow] { sendRow(lst_Sequences->currentRow()); });
    connect(lst_Sequences, &QListWidget::itemActivated, this,
            [this, sendRow](QListWidgetItem* item) { sendRow(lst_Sequences->row(item)); });
    for (int i = 0; i < ShortcutCount; ++i) {
        auto* key = new QShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + i)), this);
        connect(key, &QShortcut::activated, this, [sendRow, i] { sendRow(i); });
    }
    connect(chk_DTR, &QCheckBox::toggled, this, [this](bool on) { SetOutputLine(on, SETDTR, CLRDTR); });
    connect(chk_RTS, &QCheckBox::toggled, this, [this](bool on) { SetOutputLine(on, SETRTS, CLRRTS); });
    connect(btn_Break, &QPushButton::clicked, this, [this] { Break(); });
    connect(tmr_Lines, &QTimer::timeout, this, [this] { ShowLines(); });
}

void ZSendPage::AttachEngine() {
    ZLogger* current = engine_();
    if (current == nullptr) return;
    // Told of every block, so a sequence that waits for its answer sees it come.
    current->AddBlockObserver(&pacer_);
    pane_Script->AttachEngine();
}

void ZSendPage::SetPortOpen(bool open) {
    portOpen_ = open;
    if (!open) {
        StopRepeat();
        pacer_.Stop();
        tmr_Pace->stop();
    }
    for (QWidget* widget : std::initializer_list<QWidget*>{btn_Send, btn_SendRepeat, btn_SendSequence,
                                                           chk_DTR, chk_RTS, btn_Break})
        widget->setEnabled(open);
    pane_Script->SetPortOpen(open);
    lbl_SendState->setText(open ? QString() : ZSendPage::tr(NoPortText));
    if (open) {
        pacer_.Clear();
        if (ZLogger* engine = engine_()) pacer_.SetLine(engine->GetLineTiming(), ud_SendGap->value());
        // The port opens with the lines its settings give; the boxes follow them.
        if (ZLogger* engine = engine_()) {
            const QSignalBlocker dtr(chk_DTR);
            const QSignalBlocker rts(chk_RTS);
            chk_DTR->setChecked(engine->GetPort().GetDTRActive());
            chk_RTS->setChecked(engine->GetPort().GetRTSActive());
        }
        tmr_Lines->start();
    } else {
        tmr_Lines->stop();
    }
    ShowSendCount();
    ShowLines();
}

bool ZSendPage::EntrySequence(ZSendSequence& sequence) {
    const std::string text = ed_SendData->text().toStdString();
    std::string error;
    const bool hex = cb_SendFormat->currentIndex() == 0;
    if (!(hex ? ParseSendHex(text, sequence.Data, error) : ParseSendText(text, sequence.Data, error))) {
        lbl_SendBytes->setText(ZEngineText(error));
        return false;
    }
    sequence.Name = ed_SequenceName->text().toStdString();
    sequence.Checksum = cb_SendChecksum->currentIndex();
    sequence.ChecksumLSBFirst = chk_SendLSBFirst->isChecked();
    sequence.LineEnd = cb_SendLineEnd->currentIndex();
    sequence.ChecksumSkip = ud_ChecksumSkip->value();
    sequence.WaitAnswerMs = ud_SendWaitAnswer->value();
    sequence.Encode = cb_SendEncode->currentIndex();
    sequence.Every = 0;
    return true;
}

void ZSendPage::ShowEntryBytes() {
    ZSendSequence sequence;
    if (!EntrySequence(sequence)) return;
    const std::vector<uint8_t> bytes = sequence.BuildBytes();
    lbl_SendBytes->setText(tr("%1 bytes: ").arg(bytes.size()) +
                           QString::fromLatin1(BytesToHex(bytes.data(), static_cast<int>(bytes.size()))));
}

void ZSendPage::ShowSequenceInEntry(int row) {
    if (row < 0 || row >= static_cast<int>(items_.size())) return;
    const ZSendSequence& item = items_[static_cast<size_t>(row)];
    ed_SequenceName->setText(Q(item.Name));
    const bool text = IsText(item.Data);
    cb_SendFormat->setCurrentIndex(text ? 1 : 0);
    cb_SendChecksum->setCurrentIndex(item.Checksum);
    chk_SendLSBFirst->setChecked(item.ChecksumLSBFirst);
    cb_SendLineEnd->setCurrentIndex(item.LineEnd);
    ud_ChecksumSkip->setValue(item.ChecksumSkip);
    ud_SendWaitAnswer->setValue(item.WaitAnswerMs);
    cb_SendEncode->setCurrentIndex(item.Encode);
    ed_SendData->setText(
        text ? QString::fromLatin1(SendBytesToText(item.Data))
             : QString::fromLatin1(BytesToHex(item.Data.data(), static_cast<int>(item.Data.size()))));
    ud_SendEvery->setValue(item.Every);
}

void ZSendPage::SendSequence(const ZSendSequence& sequence) {
    if (!portOpen_ || engine_() == nullptr) {
        lbl_SendState->setText(ZSendPage::tr(NoPortText));
        return;
    }
    pacer_.Enqueue(sequence);
    PumpSends();
}

void ZSendPage::PumpSends() {
    ZLogger* engine = engine_();
    if (!portOpen_ || engine == nullptr) return;
    std::string error;
    const uint64_t sentBefore = pacer_.Sent();
    const bool ok =
        pacer_.SendDue([engine](const std::vector<uint8_t>& bytes, bool repeat,
                                std::string& why) { return engine->SendBytes(bytes, repeat, why); },
                       ZSendPacer::Clock::now(), error);
    if (!ok) {
        StopRepeat();
        lbl_SendState->setText(ZEngineText(error));
    } else if (pacer_.Sent() != sentBefore) {
        lbl_SendState->clear();
    }
    ShowSendCount();
    const auto now = ZSendPacer::Clock::now();
    const auto next = pacer_.NextDue(now);
    if (next == ZSendPacer::Clock::time_point::max()) {
        tmr_Pace->stop();
        return;
    }
    // Rounded up: a timer that fires early would find nothing due and wait again.
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(std::max(next - now, ZSendPacer::Clock::duration{}));
    tmr_Pace->start(static_cast<int>(std::min<int64_t>(wait.count(), MaxSendEveryMs)));
}

void ZSendPage::ToggleRepeat() {
    if (repeating_) {
        StopRepeat();
        return;
    }
    if (ud_SendEvery->value() <= 0) {
        lbl_SendState->setText(tr("Choose how often to repeat first: the interval says none."));
        return;
    }
    ZSendSequence sequence;
    if (!EntrySequence(sequence)) return;
    sequence.Every = ud_SendEvery->value();
    SendSequence(sequence);
    if (!portOpen_) return;
    repeating_ = true;
    btn_SendRepeat->setText(tr("Stop repeat"));
}

void ZSendPage::StopRepeat() {
    pacer_.EndRepeats();
    repeating_ = false;
    btn_SendRepeat->setText(tr("Start repeat"));
}

void ZSendPage::ShowSendCount() {
    lbl_SendCount->setText(tr("Sends: %1, skipped: %2").arg(pacer_.Sent()).arg(pacer_.Skipped()));
}

void ZSendPage::AddSequence() {
    ZSendSequence sequence;
    if (!EntrySequence(sequence)) return;
    if (sequence.Name.empty()) sequence.Name = tr("Sequence %1").arg(items_.size() + 1).toStdString();
    items_.push_back(std::move(sequence));
    FillList();
    lst_Sequences->setCurrentRow(static_cast<int>(items_.size()) - 1);
}

void ZSendPage::UpdateSequence() {
    const int row = lst_Sequences->currentRow();
    ZSendSequence sequence;
    if (row < 0 || row >= static_cast<int>(items_.size()) || !EntrySequence(sequence)) return;
    sequence.Every = items_[static_cast<size_t>(row)].Every;
    items_[static_cast<size_t>(row)] = std::move(sequence);
    FillList();
    lst_Sequences->setCurrentRow(row);
}

void ZSendPage::RemoveSequence() {
    const int row = lst_Sequences->currentRow();
    if (row < 0 || row >= static_cast<int>(items_.size())) return;
    items_.erase(items_.begin() + row);
    FillList();
    lst_Sequences->setCurrentRow(std::min(row, static_cast<int>(items_.size()) - 1));
}

void ZSendPage::MoveSequence(int step) {
    const int row = lst_Sequences->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= static_cast<int>(items_.size())) return;
    std::swap(items_[static_cast<size_t>(row)], items_[static_cast<size_t>(target)]);
    FillList();
    lst_Sequences->setCurrentRow(target);
}

void ZSendPage::FillList() {
    const QSignalBlocker blocker(lst_Sequences);
    lst_Sequences->clear();
    for (size_t i = 0; i < items_.size(); ++i)
        lst_Sequences->addItem(ListText(items_[i], static_cast<int>(i)));
}

void ZSendPage::ShowList(const ZSendList& list) {
    items_ = list.Items;
    ud_SendGap->setValue(list.GapMs);
    pane_Script->SetScriptFile(list.ScriptFile);
    FillList();
}

ZSendList ZSendPage::List() const {
    ZSendList list;
    list.Items = items_;
    list.GapMs = ud_SendGap->value();
    list.ScriptFile = pane_Script->ScriptFile();
    return list;
}

void ZSendPage::ShowLines() {
    uint32_t status = 0;
    ZLogger* engine = engine_();
    const bool known = portOpen_ && engine != nullptr && engine->GetInputLines(status);
    const struct {
        QLabel* label;
        const char* name;
        uint32_t bit;
    } lines[] = {{lbl_CTS, "CTS", MS_CTS_ON},
                 {lbl_DSR, "DSR", MS_DSR_ON},
                 {lbl_RI, "RI", MS_RING_ON},
                 {lbl_DCD, "DCD", MS_RLSD_ON}};
    for (const auto& line : lines) {
        const QString state = !known ? QStringLiteral("-") : (status & line.bit) ? tr("on") : tr("off");
        line.label->setText(QString::fromLatin1(line.name) + QStringLiteral(": ") + state);
    }
}

void ZSendPage::SetOutputLine(bool on, uint32_t set, uint32_t clear) {
    ZLogger* engine = engine_();
    if (engine == nullptr || !engine->SetOutputLine(on ? set : clear))
        lbl_SendState->setText(
            tr("The line could not be changed: no COM port is open, or the device has no such line."));
}

void ZSendPage::Break() {
    ZLogger* engine = engine_();
    if (engine == nullptr || !engine->SetOutputLine(SETBREAK)) {
        lbl_SendState->setText(tr("No break was sent: no COM port is open, or the device refused it."));
        return;
    }
    btn_Break->setEnabled(false);
    QTimer::singleShot(BreakMs, this, [this] {
        if (ZLogger* current = engine_()) current->SetOutputLine(CLRBREAK);
        btn_Break->setEnabled(portOpen_);
    });
}
