#include "Tfrm_Log.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "TriggerSequence.h"
#include "ZFilter.h"
#include "ZGridCellDelegate.h"
#include "ZGridView.h"

namespace {

constexpr int ResumeCount = 40;
constexpr signed char EntryPriority = 2;
constexpr int OverflowIntervalMs = 500;
constexpr int ResizeDelayMs = 50;
constexpr int LayoutWidths[Tfrm_Log::ColumnCount] = {112, 445, 115, 110, 64};

const char* const TextRunning = "Live data view in progress...";
const char* const TextPaused = "Live data view paused!";
const char* const TextOverflow = "Live view buffer overflow!";
const char* const TextOverflowLatched = "Live data view in progress... (buffer overflow occured)";

enum Image {
    imLiveView,
    imTimeStamps,
    imHex,
    imAscii,
    imInformational,
    imTrash,
    imStartTrigger,
    imData,
    imStopTrigger,
    imSent
};

QString InformationalText(uint8_t kind, int size, uint8_t verdict) {
    const bool wrong = verdict == fvBad;
    switch (kind) {
        case bkStartTrigger:
            return wrong ? QStringLiteral("Start trigger (checksum wrong)") : QStringLiteral("Start trigger");
        case bkData:
            return wrong ? QStringLiteral("Data (%1 bytes, checksum wrong)").arg(size)
                         : QStringLiteral("Data (%1 bytes)").arg(size);
        case bkStopTrigger:
            return wrong ? QStringLiteral("Stop trigger (checksum wrong)") : QStringLiteral("Stop trigger");
        case bkTrash:
            return QStringLiteral("Trash (%1 bytes)").arg(size);
        case bkSent:
            return QStringLiteral("Sent: %1 bytes").arg(size);
        default:
            return QStringLiteral("Flushed (%1 bytes)").arg(size);
    }
}

void DrawGlyphs(QPainter& p, const QString& text, const QColor& colour) {
    QFont font = p.font();
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
}

// The toolbar's 16 x 16 images, drawn here so that they scale with no files to ship.
QIcon ToolbarImage(Image image) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor dark(40, 40, 48);
    switch (image) {
        case imLiveView: {  // a screen with a live trace
            p.setPen(QPen(dark, 1));
            p.setBrush(QColor(24, 40, 56));
            p.drawRoundedRect(QRectF(0.5, 1.5, 15, 12), 2, 2);
            p.setPen(QPen(QColor(80, 230, 90), 1.5));
            const QPointF trace[] = {{2.5, 8}, {5, 8}, {6.5, 4}, {8.5, 11}, {10.5, 6}, {11.5, 8}, {13.5, 8}};
            p.drawPolyline(trace, 7);
            break;
        }
        case imTimeStamps: {  // a clock face
            p.setPen(QPen(dark, 1.2));
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(1, 1, 14, 14));
            p.setPen(QPen(dark, 1.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8, 8), QPointF(8, 3.5));
            p.drawLine(QPointF(8, 8), QPointF(11.5, 9.5));
            break;
        }
        case imHex:
            p.setPen(QPen(QColor(30, 70, 160), 1));
            p.setBrush(QColor(225, 235, 255));
            p.drawRect(QRectF(0.5, 2.5, 15, 11));
            DrawGlyphs(p, QStringLiteral("0F"), QColor(30, 70, 160));
            break;
        case imAscii:
            p.setPen(QPen(QColor(20, 110, 40), 1));
            p.setBrush(QColor(225, 248, 228));
            p.drawRect(QRectF(0.5, 2.5, 15, 11));
            DrawGlyphs(p, QStringLiteral("Ab"), QColor(20, 110, 40));
            break;
        case imInformational:  // an "i" in a blue disc
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 100, 200));
            p.drawEllipse(QRectF(1, 1, 14, 14));
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(6.8, 3.2, 2.4, 2.4));
            p.drawRect(QRectF(6.9, 6.6, 2.2, 6));
            break;
        case imTrash: {  // a bin with its lid
            p.setPen(QPen(dark, 1));
            p.setBrush(QColor(170, 170, 176));
            p.drawRect(QRectF(2.5, 3.5, 11, 2));
            p.drawRect(QRectF(6.5, 1.5, 3, 2));
            QPainterPath body;
            body.moveTo(3.5, 5.5);
            body.lineTo(12.5, 5.5);
            body.lineTo(11.5, 14.5);
            body.lineTo(4.5, 14.5);
            body.closeSubpath();
            p.drawPath(body);
            p.drawLine(QPointF(6.5, 7.5), QPointF(6.5, 12.5));
            p.drawLine(QPointF(9.5, 7.5), QPointF(9.5, 12.5));
            break;
        }
        case imStartTrigger: {  // a bar and an arrow running into the frame
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(30, 150, 50));
            p.drawRect(QRectF(2, 2, 2.5, 12));
            const QPointF arrow[] = {{6, 3}, {14, 8}, {6, 13}};
            p.drawPolygon(arrow, 3);
            break;
        }
        case imData:  // bytes in a row, two rows
            p.setPen(QPen(QColor(30, 70, 160), 1));
            p.setBrush(QColor(120, 160, 230));
            for (int row = 0; row < 2; ++row)
                for (int col = 0; col < 3; ++col)
                    p.drawRect(QRectF(1.5 + col * 4.5, 3.5 + row * 5, 3.5, 3.5));
            break;
        case imSent:  // "Tx" in the colour of the rows sent
            p.setPen(QPen(QColor(176, 78, 0), 1));
            p.setBrush(QColor(255, 236, 214));
            p.drawRect(QRectF(0.5, 2.5, 15, 11));
            DrawGlyphs(p, QStringLiteral("Tx"), QColor(176, 78, 0));
            break;
        case imStopTrigger:  // a red stop square after a bar
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(200, 40, 40));
            p.drawRect(QRectF(2, 3, 9, 10));
            p.drawRect(QRectF(12, 2, 2.5, 12));
            break;
    }
    p.end();
    return QIcon(pixmap);
}

}  // namespace

// The grid's rows as a ring, so that scrolling by one row moves no text. Rows are
// the data rows 1 to 80; the header row is the view's header.
class Tfrm_Log::GridModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : MaxRows; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ForegroundRole && index.isValid() && sent_[Slot(index.row())]) return SentColour();
        if (role != Qt::DisplayRole || !index.isValid() || index.column() >= TextColumns) return {};
        return cells_[Slot(index.row())][index.column()];
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const titles[ColumnCount] = {"Timestamp", "Hex-Format", "ASCII-Format",
                                                        "Informational", ""};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
            return QString::fromLatin1(titles[section]);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    // ScrollUp and SetRow change the cells without telling the view, so that a
    // batch of entries costs one update (RowsChanged) instead of one per entry.

    // Every row takes the contents of the row below it; the last row keeps its own
    // until it is written.
    void ScrollUp() { first_ = (first_ + 1) % MaxRows; }

    void SetRow(int row, QString (&texts)[4]) {
        for (int c = 0; c < TextColumns; ++c) cells_[Slot(row)][c] = std::move(texts[c]);
    }
    // Rows of bytes sent are told apart from received ones by their colour.
    void SetSent(int row, bool sent) { sent_[Slot(row)] = sent; }
    static QColor SentColour() { return QColor(176, 78, 0); }

    void RowsChanged() {
        emit dataChanged(index(0, 0), index(MaxRows - 1, TextColumns - 1), {Qt::DisplayRole});
    }

private:
    static constexpr int TextColumns = 4;  // the filler column is never written
    int Slot(int row) const { return (first_ + row) % MaxRows; }

    QString cells_[MaxRows][TextColumns];
    bool sent_[MaxRows] = {};
    int first_ = 0;  // slot of row 1
};

Tfrm_Log::Tfrm_Log(QWidget* parent)
    : QWidget(parent, Qt::Window),
      EntryPump(
          true, 1, false,
          [this](std::vector<EntryPtr>& batch) {
              for (EntryPtr& entry : batch) EntryArrived(std::move(entry));
              if ((!arrived_.empty() || passedOver_ > 0) && !tmr_Repaint->isActive()) tmr_Repaint->start();
          },
          true, MaxRows, ResumeCount, &dispatcher_) {
    BuildControls();
    EntryPump.Resume();
}

Tfrm_Log::~Tfrm_Log() {
    EntryPump.Terminate();
    EntryPump.WaitFor();
}

QToolButton* Tfrm_Log::AddToolButton(const char* name, const QString& hint, bool down, int image) {
    auto* button = new QToolButton(toolBar_);
    button->setObjectName(QString::fromLatin1(name));
    button->setCheckable(true);
    button->setChecked(down);
    button->setAutoRaise(true);
    button->setIcon(ToolbarImage(static_cast<Image>(image)));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::TabFocus);
    toolBar_->addWidget(button);
    return button;
}

void Tfrm_Log::BuildControls() {
    setObjectName(QStringLiteral("frm_Log"));
    setWindowTitle(QStringLiteral("Live data view (Kestrun)"));
    resize(800, 600);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->addSeparator();
    tb_LiveView = AddToolButton("tb_LiveView", QStringLiteral("Start/Stop data live view"), true, imLiveView);
    toolBar_->addSeparator();
    tb_ShowTimeStamps =
        AddToolButton("tb_ShowTimeStamps", QStringLiteral("Show or hide timestamps"), true, imTimeStamps);
    tb_ShowHEXData = AddToolButton("tb_ShowHEXData", QStringLiteral("Show HEX data or not"), true, imHex);
    tb_ShowASCIIData =
        AddToolButton("tb_ShowASCIIData", QStringLiteral("Show ASCII data or not"), true, imAscii);
    tb_Informational = AddToolButton("tb_Informational", QStringLiteral("Show data information or not"), true,
                                     imInformational);
    toolBar_->addSeparator();
    tb_Trash = AddToolButton("tb_Trash", QString(), false, imTrash);
    tb_StartTrigger = AddToolButton("tb_StartTrigger", QStringLiteral("Show start trigger data or not"), true,
                                    imStartTrigger);
    tb_Data = AddToolButton("tb_Data", QStringLiteral("Show data bytes or not"), true, imData);
    tb_StopTrigger = AddToolButton("tb_StopTrigger", QStringLiteral("Show stop trigger data or not"), false,
                                   imStopTrigger);
    tb_Sent = AddToolButton("tb_Sent", QStringLiteral("Show sent data or not"), true, imSent);
    tb_Sent->setAccessibleName(tb_Sent->toolTip());
    toolBar_->addSeparator();
    for (QToolButton* button : {tb_LiveView, tb_ShowTimeStamps, tb_ShowHEXData, tb_ShowASCIIData,
                                tb_Informational, tb_StartTrigger, tb_Data, tb_StopTrigger})
        button->setAccessibleName(button->toolTip());
    // The trash button has no hint of its own; a screen reader still needs a name.
    tb_Trash->setAccessibleName(QStringLiteral("Show trash data or not"));
    layout->addWidget(toolBar_);

    Panel = new QWidget(this);
    Panel->setObjectName(QStringLiteral("Panel"));
    auto* panelLayout = new QVBoxLayout(Panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    Grid = new ZGridView(Panel);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setAccessibleName(QStringLiteral("Live data view"));
    gridModel_ = new GridModel(Grid);
    Grid->setModel(gridModel_);
    Grid->setItemDelegate(new ZGridCellDelegate(Grid));
    Grid->setFont(GridFont(RowHeight));
    QPalette gridPalette = Grid->palette();
    gridPalette.setColor(QPalette::Base, gridPalette.color(QPalette::ToolTipBase));
    gridPalette.setColor(QPalette::Text, gridPalette.color(QPalette::ToolTipText));
    Grid->setPalette(gridPalette);
    Grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setWordWrap(false);
    Grid->setTabKeyNavigation(false);  // Tab leaves the grid for the toolbar
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setMinimumSectionSize(1);
    Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid->verticalHeader()->setDefaultSectionSize(RowHeight);
    QHeaderView* header = Grid->horizontalHeader();
    header->setFont(font());
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (int c = 0; c < ColumnCount; ++c) {
        header->resizeSection(c, LayoutWidths[c]);
        if (c < ColumnCount - 1) rememberedWidths_[c] = LayoutWidths[c];
    }
    panelLayout->addWidget(Grid);
    layout->addWidget(Panel, 1);

    Status = new QLabel(QString::fromLatin1(TextRunning), this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setAutoFillBackground(true);
    Status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Status->setContentsMargins(4, 1, 4, 1);
    SetStatusColour(palette().color(QPalette::Button));
    layout->addWidget(Status);

    tmr_OverflowSignal = new QTimer(this);
    tmr_OverflowSignal->setObjectName(QStringLiteral("tmr_OverflowSignal"));
    tmr_OverflowSignal->setInterval(OverflowIntervalMs);
    tmr_Resize = new QTimer(this);
    tmr_Resize->setObjectName(QStringLiteral("tmr_Resize"));
    tmr_Resize->setInterval(ResizeDelayMs);
    tmr_Repaint = new QTimer(this);
    tmr_Repaint->setObjectName(QStringLiteral("tmr_Repaint"));
    tmr_Repaint->setSingleShot(true);
    tmr_Repaint->setInterval(RepaintIntervalMs);

    connect(tb_LiveView, &QToolButton::toggled, this, [this](bool down) { liveViewRunning_.store(down); });
    connect(tb_StartTrigger, &QToolButton::toggled, this,
            [this](bool down) { kindShown_[bkStartTrigger] = down; });
    connect(tb_Data, &QToolButton::toggled, this, [this](bool down) { kindShown_[bkData] = down; });
    connect(tb_StopTrigger, &QToolButton::toggled, this,
            [this](bool down) { kindShown_[bkStopTrigger] = down; });
    connect(tb_Trash, &QToolButton::toggled, this, [this](bool down) { kindShown_[bkTrash] = down; });
    connect(tb_Sent, &QToolButton::toggled, this, [this](bool down) { kindShown_[bkSent] = down; });
    connect(tb_LiveView, &QToolButton::clicked, this, &Tfrm_Log::tb_LiveViewClick);
    connect(tb_ShowTimeStamps, &QToolButton::clicked, this, &Tfrm_Log::tb_ShowTimeStampsClick);
    connect(tb_ShowHEXData, &QToolButton::clicked, this, &Tfrm_Log::tb_ShowHEXDataClick);
    connect(tb_ShowASCIIData, &QToolButton::clicked, this, &Tfrm_Log::tb_ShowASCIIDataClick);
    connect(tb_Informational, &QToolButton::clicked, this, &Tfrm_Log::tb_InformationalClick);
    connect(tmr_OverflowSignal, &QTimer::timeout, this, &Tfrm_Log::tmr_OverflowSignalTimer);
    connect(tmr_Resize, &QTimer::timeout, this, &Tfrm_Log::tmr_ResizeTimer);
    connect(tmr_Repaint, &QTimer::timeout, this, &Tfrm_Log::tmr_RepaintTimer);
    QScrollBar* bar = Grid->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this] {
        if (!autoScrolling_) followNewest_ = NewestRowInView();
    });
    connect(bar, &QScrollBar::rangeChanged, this, &Tfrm_Log::FollowNewestRow);

    // The grid's width changes with the panel and when its scroll bar comes or goes;
    // a column dragged wider is followed by the filler once the mouse is let go.
    Panel->installEventFilter(this);
    Grid->viewport()->installEventFilter(this);
    header->viewport()->installEventFilter(this);
}

bool Tfrm_Log::AddEntry(const uint8_t* bytes, int length, TDateTime time, uint8_t kind) {
    return AddCheckedEntry(bytes, length, time, kind, fvNone);
}

bool Tfrm_Log::AddCheckedEntry(const uint8_t* bytes, int length, TDateTime time, uint8_t kind,
                               TFrameVerdict verdict) {
    if (!liveViewRunning_.load()) return false;
    if (kind > bkSent || (kind != bkFlush && !kindShown_[kind].load())) return false;
    if (length < 0 || (length > 0 && bytes == nullptr)) return false;

    auto entry = std::make_unique<sVisualLogData>();
    if (length > 0) {
        entry->Data = std::make_unique<uint8_t[]>(static_cast<size_t>(length));
        std::memcpy(entry->Data.get(), bytes, static_cast<size_t>(length));
    }
    entry->Size = length;
    entry->Kind = kind;
    entry->TimeStamp = time;
    entry->Verdict = verdict;
    if (EntryPump.Post(entry, EntryPriority)) return true;
    droppedEntries_.fetch_add(1, std::memory_order_relaxed);
    RequestOverflowSignal();
    return false;  // the refused entry is released here
}

void Tfrm_Log::RequestOverflowSignal() {
    if (overflowRequested_.exchange(true)) return;
    dispatcher_.Post([this] {
        overflowRequested_.store(false);
        // A pause that came after the refusal has already put the signal to rest.
        if (tb_LiveView->isChecked()) StartOverflowSignal();
    });
}

void Tfrm_Log::EntryArrived(EntryPtr entry) {
    if (!tb_LiveView->isChecked()) return;
    arrived_.push_back(std::move(entry));
    if (static_cast<int>(arrived_.size()) > MaxRows) {
        // Scrolled out by the newer ones before the grid could show it: no texts needed.
        arrived_.pop_front();
        ++passedOver_;
    }
}

void Tfrm_Log::tmr_RepaintTimer() {
    for (; passedOver_ > 0; --passedOver_) NextRow();
    for (; !arrived_.empty(); arrived_.pop_front()) {
        const sVisualLogData& entry = *arrived_.front();
        const uint8_t* bytes = entry.Data.get();
        const int size = entry.Size;
        QString texts[4] = {QString::fromLocal8Bit(ZULFormatLongTime(entry.TimeStamp)),
                            QString::fromLatin1(BytesToHex(bytes, size)),
                            QString::fromLatin1(BytesToAscii(bytes, size)),
                            InformationalText(entry.Kind, size, entry.Verdict)};
        NextRow();
        gridModel_->SetRow(shownRows_ - 1, texts);
        gridModel_->SetSent(shownRows_ - 1, entry.Kind == bkSent);
    }
    gridModel_->RowsChanged();
    FollowNewestRow();
}

void Tfrm_Log::NextRow() {
    if (shownRows_ == MaxRows)
        ScrollEntries();
    else
        ++shownRows_;
}

void Tfrm_Log::ScrollEntries() {
    gridModel_->ScrollUp();
}

void Tfrm_Log::FollowNewestRow() {
    if (!followNewest_ || shownRows_ == 0) return;
    autoScrolling_ = true;
    Grid->scrollTo(gridModel_->index(shownRows_ - 1, 0), QAbstractItemView::EnsureVisible);
    autoScrolling_ = false;
}

bool Tfrm_Log::NewestRowInView() const {
    const QScrollBar* bar = Grid->verticalScrollBar();
    if (shownRows_ == 0 || bar->value() >= bar->maximum()) return true;
    const int top = Grid->rowViewportPosition(shownRows_ - 1);
    return top >= 0 && top + Grid->rowHeight(shownRows_ - 1) <= Grid->viewport()->height();
}

QFont Tfrm_Log::GridFont(int rowHeight) {
    // Named, with a monospace hint behind it: the system's fixed font may resolve to a
    // family whose pitch flag or line height does not suit a 15-pixel grid row.
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    const int room = rowHeight - 1;  // the grid line takes the row's last pixel
    for (int pixels = 11; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= room) break;
    }
    return font;
}

void Tfrm_Log::tb_LiveViewClick() {
    if (tb_LiveView->isChecked()) {
        Status->setText(QString::fromLatin1(TextRunning));
    } else {
        StopOverflowSignal();
        Status->setText(QString::fromLatin1(TextPaused));
    }
}

void Tfrm_Log::tb_ShowTimeStampsClick() {
    ToggleColumn(0, tb_ShowTimeStamps->isChecked());
}
void Tfrm_Log::tb_ShowHEXDataClick() {
    ToggleColumn(1, tb_ShowHEXData->isChecked());
}
void Tfrm_Log::tb_ShowASCIIDataClick() {
    ToggleColumn(2, tb_ShowASCIIData->isChecked());
}
void Tfrm_Log::tb_InformationalClick() {
    ToggleColumn(3, tb_Informational->isChecked());
}

void Tfrm_Log::ToggleColumn(int column, bool shown) {
    QHeaderView* header = Grid->horizontalHeader();
    if (shown) {
        header->resizeSection(column, rememberedWidths_[column]);
    } else {
        rememberedWidths_[column] = header->sectionSize(column);
        header->resizeSection(column, 0);
    }
    FitLastColumn();
}

void Tfrm_Log::FitLastColumn() {
    QHeaderView* header = Grid->horizontalHeader();
    int others = 0;
    for (int c = 0; c < ColumnCount - 1; ++c) others += header->sectionSize(c);
    header->resizeSection(ColumnCount - 1, std::max(Grid->viewport()->width() - others, 0));
}

void Tfrm_Log::PanelResize() {
    FitLastColumn();
}

void Tfrm_Log::GridMouseUp() {
    tmr_Resize->start();
}

void Tfrm_Log::tmr_ResizeTimer() {
    tmr_Resize->stop();
    FitLastColumn();
}

void Tfrm_Log::StartOverflowSignal() {
    overflowCountdown_ = OverflowTicks;
    // Restarting a running timer would put its next tick off again, and a steady
    // overflow would then never blink.
    if (!tmr_OverflowSignal->isActive()) tmr_OverflowSignal->start();
}

void Tfrm_Log::StopOverflowSignal() {
    tmr_OverflowSignal->stop();
    SetStatusColour(palette().color(QPalette::Button));
}

void Tfrm_Log::tmr_OverflowSignalTimer() {
    SetStatusColour(blink_ ? QColor(Qt::red) : palette().color(QPalette::Button));
    blink_ = !blink_;
    if (overflowCountdown_ > 0) {
        --overflowCountdown_;
        Status->setText(QString::fromLatin1(TextOverflow));
    } else {
        SetStatusColour(QColor(Qt::yellow));
        Status->setText(QString::fromLatin1(TextOverflowLatched));
        tmr_OverflowSignal->stop();
    }
}

void Tfrm_Log::SetStatusColour(const QColor& colour) {
    QPalette statusPalette = Status->palette();
    statusPalette.setColor(QPalette::Window, colour);
    Status->setPalette(statusPalette);
}

bool Tfrm_Log::eventFilter(QObject* watched, QEvent* event) {
    if (Grid != nullptr) {
        if (event->type() == QEvent::Resize && (watched == Panel || watched == Grid->viewport()))
            PanelResize();
        else if (event->type() == QEvent::MouseButtonRelease &&
                 (watched == Grid->viewport() || watched == Grid->horizontalHeader()->viewport()))
            GridMouseUp();
    }
    return QWidget::eventFilter(watched, event);
}

void Tfrm_Log::showEvent(QShowEvent* event) {
    if (!centred_) {
        centred_ = true;
        // Over the main window when there is one, else in the middle of the screen.
        QWidget* anchor = parentWidget() != nullptr ? parentWidget()->window() : QApplication::activeWindow();
        QRect area;
        if (anchor != nullptr && anchor != this)
            area = anchor->frameGeometry();
        else if (screen() != nullptr)
            area = screen()->availableGeometry();
        if (area.isValid()) {
            QRect frame = frameGeometry();
            frame.moveCenter(area.center());
            // Inside the screen's work area, its top left corner first: a main window
            // near an edge must not push the toolbar off the screen.
            const QScreen* target = QGuiApplication::screenAt(area.center());
            if (target == nullptr) target = screen();
            if (target != nullptr) {
                const QRect work = target->availableGeometry();
                frame.moveLeft(
                    std::max(std::min(frame.left(), work.right() + 1 - frame.width()), work.left()));
                frame.moveTop(
                    std::max(std::min(frame.top(), work.bottom() + 1 - frame.height()), work.top()));
            }
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}
