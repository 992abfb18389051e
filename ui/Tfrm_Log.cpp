#include "Tfrm_Log.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "TriggerSequence.h"
#include "ZFieldText.h"
#include "ZFieldValues.h"
#include "ZFilter.h"
#include "ZGridCellDelegate.h"
#include "ZGridView.h"

namespace {

constexpr int ResumeCount = 40;
constexpr signed char EntryPriority = 2;
constexpr int OverflowIntervalMs = 500;
constexpr int ResizeDelayMs = 50;
constexpr int LayoutWidths[Tfrm_Log::ColumnCount] = {112, 445, 115, 110, 64};

const char* const TextRunning = QT_TRANSLATE_NOOP("Tfrm_Log", "Live data view in progress...");
const char* const TextPaused = QT_TRANSLATE_NOOP("Tfrm_Log", "Live data view paused!");
const char* const TextOverflow = QT_TRANSLATE_NOOP("Tfrm_Log", "Live view buffer overflow!");
const char* const TextOverflowLatched =
    QT_TRANSLATE_NOOP("Tfrm_Log", "Live data view in progress... (buffer overflow occured)");
const char* const TextHistoryFull = QT_TRANSLATE_NOOP(
    "Tfrm_Log",
    "Live data view in progress... (the view keeps the last %1 rows: HistoryEntries in [_view] "
    "of the settings file sets how many)");

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

const char* const TextNotFollowing = QT_TRANSLATE_NOOP("Tfrm_Log", "Following stopped \u2014 End to follow");
const char* const TextStopped = QT_TRANSLATE_NOOP("Tfrm_Log", "Capture stopped");
// The HEX and ASCII texts of the history are made when a row is shown; a cell
// never shows more than this many bytes of a long block.
constexpr int ShownBytes = 1024;
// What the columns are made wide enough for at first.
constexpr int InitialRowBytes = 32;
constexpr int LongestCount = 99999;

// The entry kinds in toolbar order. A kind with a button is shown while its
// button is down; one without is shown whenever the view runs. "%1" in a text is
// the block's byte count; WrongText is the text when the frame's checksum was
// wrong (none: the kind shows no verdict).
struct KindRow {
    uint8_t Kind;
    const char* Button;
    const char* Hint;
    bool Down;
    Image Picture;
    const char* Text;
    const char* WrongText;
};
constexpr KindRow Kinds[] = {
    {bkTrash, "tb_Trash",
     QT_TRANSLATE_NOOP("Tfrm_Log", "Show trash data or not \u2014 filters the live view"), false, imTrash,
     QT_TRANSLATE_NOOP("Tfrm_Log", "Trash (%1 bytes)"), nullptr},
    {bkStartTrigger, "tb_StartTrigger",
     QT_TRANSLATE_NOOP("Tfrm_Log", "Show start trigger data or not \u2014 filters the live view"), true,
     imStartTrigger, QT_TRANSLATE_NOOP("Tfrm_Log", "Start trigger"),
     QT_TRANSLATE_NOOP("Tfrm_Log", "Start trigger (checksum wrong)")},
    {bkData, "tb_Data", QT_TRANSLATE_NOOP("Tfrm_Log", "Show data bytes or not \u2014 filters the live view"),
     true, imData, QT_TRANSLATE_NOOP("Tfrm_Log", "Data (%1 bytes)"),
     QT_TRANSLATE_NOOP("Tfrm_Log", "Data (%1 bytes, checksum wrong)")},
    {bkStopTrigger, "tb_StopTrigger",
     QT_TRANSLATE_NOOP("Tfrm_Log", "Show stop trigger data or not \u2014 filters the live view"), false,
     imStopTrigger, QT_TRANSLATE_NOOP("Tfrm_Log", "Stop trigger"),
     QT_TRANSLATE_NOOP("Tfrm_Log", "Stop trigger (checksum wrong)")},
    {bkSent, "tb_Sent", QT_TRANSLATE_NOOP("Tfrm_Log", "Show sent data or not \u2014 filters the live view"),
     true, imSent, QT_TRANSLATE_NOOP("Tfrm_Log", "Sent: %1 bytes"), nullptr},
    {bkFlush, nullptr, nullptr, true, imData, QT_TRANSLATE_NOOP("Tfrm_Log", "Flushed (%1 bytes)"), nullptr},
};

// The text colour of the rows of bytes sent, and of their button's picture.
QColor SentColour() {
    return QColor(176, 78, 0);
}
// The text colour of a row whose frame has a wrong checksum.
QColor WrongChecksumColour() {
    return QColor(200, 0, 0);
}

int NearestFractionDigits(int digits) {
    return digits <= 1 ? 0 : (digits <= 4 ? 3 : 6);
}

const KindRow* KindOf(uint8_t kind) {
    for (const KindRow& row : Kinds)
        if (row.Kind == kind) return &row;
    return nullptr;
}

QString InformationalText(uint8_t kind, int size, uint8_t verdict) {
    const KindRow* row = KindOf(kind);
    if (row == nullptr) return {};
    const char* text = verdict == fvBad && row->WrongText != nullptr ? row->WrongText : row->Text;
    QString result = Tfrm_Log::tr(text);
    return result.contains(QLatin1String("%1")) ? result.arg(size) : result;
}

// The values after the description: "Data (21 bytes) · temperature 31.5 °C".
QString ValuesText(std::string_view values) {
    if (values.empty()) return {};
    return QStringLiteral(" \u00B7 ") +
           QString::fromUtf8(values.data(), static_cast<qsizetype>(values.size()));
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
            p.setPen(QPen(SentColour(), 1));
            p.setBrush(QColor(255, 236, 214));
            p.drawRect(QRectF(0.5, 2.5, 15, 11));
            DrawGlyphs(p, QStringLiteral("Tx"), SentColour());
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

// The grid's rows: the history's entries, oldest first, their texts made only for
// the rows a view asks for. The header row is the view's header.
class Tfrm_Log::GridModel : public QAbstractTableModel {
public:
    GridModel(const ZViewHistory& history, const int& fractionDigits, QObject* parent)
        : QAbstractTableModel(parent), history_(history), fractionDigits_(fractionDigits) {}

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : (lineNames_.isEmpty() ? ColumnCount : ColumnCount + 1);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= history_.Count()) return {};
        // With two lines each row has its line's tint, in every column.
        if (role == Qt::BackgroundRole) {
            const int line = lineNames_.isEmpty() ? -1 : history_.At(index.row()).Line;
            return line == 0 || line == 1 ? QVariant(tints_[line]) : QVariant();
        }
        if (role == Qt::DisplayRole && index.column() == LineColumn) return LineText(history_.At(index.row()));
        // Rows of bytes sent, and frames with a wrong checksum, are told apart by their colour.
        if (role == Qt::ForegroundRole) {
            const ZViewHistory::Entry entry = history_.At(index.row());
            if (entry.Kind == bkSent) return SentColour();
            if (entry.Verdict == fvBad) return WrongChecksumColour();
            return {};
        }
        // A row's values may run past its column's edge: the tooltip shows all of them.
        if (role == Qt::ToolTipRole && index.column() == TextColumns - 1) {
            const ZViewHistory::Entry entry = history_.At(index.row());
            return entry.Values.empty() ? QVariant()
                                        : QVariant(CellText(entry, index.column(), fractionDigits_));
        }
        if (role != Qt::DisplayRole || index.column() >= TextColumns) return {};
        return CellText(history_.At(index.row()), index.column(), fractionDigits_);
    }

    // What column of a row shows; the find bar searches the same texts.
    static QString CellText(const ZViewHistory::Entry& entry, int column, int fractionDigits) {
        const int shown = std::min(entry.Kept, ShownBytes);
        switch (column) {
            case 0:
                return TimeText(entry.Time, fractionDigits);
            case 1:
                return QString::fromLatin1(BytesToHex(entry.Bytes, shown));
            case 2:
                return QString::fromLatin1(BytesToAscii(entry.Bytes, shown));
            default:
                return InformationalText(entry.Kind, entry.Size, entry.Verdict) + ValuesText(entry.Values);
        }
    }
    static constexpr int TextColumns = 4;  // the filler column is never written

    // The name of the entry's line; "" with one line.
    QString LineText(const ZViewHistory::Entry& entry) const {
        return entry.Line >= 0 && entry.Line < lineNames_.size() ? lineNames_[entry.Line] : QString();
    }

    // Two names and tints add the line column; none takes it away.
    void SetLines(const QStringList& names, const QColor& first, const QColor& second) {
        const bool had = !lineNames_.isEmpty();
        const bool has = !names.isEmpty();
        if (has && !had) beginInsertColumns({}, LineColumn, LineColumn);
        if (had && !has) beginRemoveColumns({}, LineColumn, LineColumn);
        lineNames_ = names;
        tints_[0] = first;
        tints_[1] = second;
        if (has && !had) endInsertColumns();
        if (had && !has) endRemoveColumns();
        if (has) emit headerDataChanged(Qt::Horizontal, LineColumn, LineColumn);
        if (rows_ > 0)
            emit dataChanged(index(0, 0), index(rows_ - 1, columnCount({}) - 1),
                             {Qt::DisplayRole, Qt::BackgroundRole});
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const titles[ColumnCount] = {QT_TRANSLATE_NOOP("Tfrm_Log", "Timestamp"),
                                                        QT_TRANSLATE_NOOP("Tfrm_Log", "Hex-Format"),
                                                        QT_TRANSLATE_NOOP("Tfrm_Log", "ASCII-Format"),
                                                        QT_TRANSLATE_NOOP("Tfrm_Log", "Informational"), ""};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
            return *titles[section] != '\0' ? Tfrm_Log::tr(titles[section]) : QString();
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == LineColumn &&
            !lineNames_.isEmpty())
            return Tfrm_Log::tr("Line");
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    // After the history changed: rows come or go at the end, and every row's texts
    // may have moved (a full history shifts them up), in one update.
    void HistoryChanged() {
        const int count = history_.Count();
        if (count > rows_) {
            beginInsertRows({}, rows_, count - 1);
            rows_ = count;
            endInsertRows();
        } else if (count < rows_) {
            beginRemoveRows({}, count, rows_ - 1);
            rows_ = count;
            endRemoveRows();
        }
        if (rows_ > 0)
            emit dataChanged(index(0, 0), index(rows_ - 1, columnCount({}) - 1),
                             {Qt::DisplayRole, Qt::BackgroundRole});
    }

private:
    const ZViewHistory& history_;
    const int& fractionDigits_;
    int rows_ = 0;
    QStringList lineNames_;  // two, or none with one line
    QColor tints_[2];
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
    setWindowTitle(tr("Live data view (Kestrun)"));
    resize(800, 600);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->addSeparator();
    tb_LiveView = AddToolButton("tb_LiveView", tr("Start/Stop data live view"), true, imLiveView);
    toolBar_->addSeparator();
    tb_ShowTimeStamps = AddToolButton("tb_ShowTimeStamps", tr("Show or hide timestamps"), true, imTimeStamps);
    tb_ShowHEXData = AddToolButton("tb_ShowHEXData", tr("Show HEX data or not"), true, imHex);
    tb_ShowASCIIData = AddToolButton("tb_ShowASCIIData", tr("Show ASCII data or not"), true, imAscii);
    tb_Informational =
        AddToolButton("tb_Informational", tr("Show data information or not"), true, imInformational);
    tb_Milliseconds = AddToolButton("tb_Milliseconds", tr("Show milliseconds in the timestamps or not"),
                                    false, imTimeStamps);
    tb_Milliseconds->setText(QStringLiteral(".ms"));
    tb_Milliseconds->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolBar_->addSeparator();
    for (const KindRow& row : Kinds) {
        kindShown_[row.Kind].store(row.Down);
        if (row.Button == nullptr) continue;
        QToolButton* button = AddToolButton(row.Button, tr(row.Hint), row.Down, row.Picture);
        kindButtons_[row.Kind] = button;
        const uint8_t kind = row.Kind;
        connect(button, &QToolButton::toggled, this,
                [this, kind](bool down) { kindShown_[kind].store(down); });
    }
    tb_Trash = kindButtons_[bkTrash];
    tb_StartTrigger = kindButtons_[bkStartTrigger];
    tb_Data = kindButtons_[bkData];
    tb_StopTrigger = kindButtons_[bkStopTrigger];
    tb_Sent = kindButtons_[bkSent];
    toolBar_->addSeparator();
    cb_LineFilter = new QComboBox(toolBar_);
    cb_LineFilter->setObjectName(QStringLiteral("cb_LineFilter"));
    cb_LineFilter->setAccessibleName(tr("Show the blocks of the line"));
    cb_LineFilter->setToolTip(tr("Show the blocks of both lines or of one \u2014 filters the live view"));
    cb_LineFilter->setFocusPolicy(Qt::TabFocus);
    lineFilterAction_ = toolBar_->addWidget(cb_LineFilter);
    lineFilterAction_->setVisible(false);
    connect(cb_LineFilter, &QComboBox::currentIndexChanged, this, [this] { TakeLineFilter(); });
    for (QToolButton* button : toolBar_->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        if (!button->toolTip().isEmpty()) button->setAccessibleName(button->toolTip());
    layout->addWidget(toolBar_);

    Panel = new QWidget(this);
    Panel->setObjectName(QStringLiteral("Panel"));
    auto* panelLayout = new QVBoxLayout(Panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    Grid = new ZGridView(Panel);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setAccessibleName(tr("Live data view"));
    gridModel_ = new GridModel(history_, fractionDigits_, Grid);
    Grid->setModel(gridModel_);
    Grid->setItemDelegate(new ZGridCellDelegate(Grid));
    Grid->setFont(GridFont(RowHeight));
    QPalette gridPalette = Grid->palette();
    gridPalette.setColor(QPalette::Base, gridPalette.color(QPalette::ToolTipBase));
    gridPalette.setColor(QPalette::Text, gridPalette.color(QPalette::ToolTipText));
    Grid->setPalette(gridPalette);
    Grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Rows are counted by the scroll bar, so a row the user looks at can be kept in
    // place by moving the bar as older rows leave.
    Grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
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
    FitColumnsToContents();
    panelLayout->addWidget(Grid);
    layout->addWidget(Panel, 1);

    FindBar = new QWidget(this);
    FindBar->setObjectName(QStringLiteral("FindBar"));
    auto* findLayout = new QHBoxLayout(FindBar);
    findLayout->setContentsMargins(4, 2, 4, 2);
    auto* findCaption = new QLabel(tr("Find:"), FindBar);
    ed_Find = new QLineEdit(FindBar);
    ed_Find->setObjectName(QStringLiteral("ed_Find"));
    findCaption->setBuddy(ed_Find);
    rb_FindHex = new QRadioButton(tr("&HEX"), FindBar);
    rb_FindHex->setObjectName(QStringLiteral("rb_FindHex"));
    rb_FindHex->setChecked(true);
    auto* findText = new QRadioButton(tr("&Text"), FindBar);
    findText->setObjectName(QStringLiteral("rb_FindText"));
    auto* findOlder = new QPushButton(tr("&Previous"), FindBar);
    findOlder->setObjectName(QStringLiteral("btn_FindPrevious"));
    findOlder->setToolTip(tr("Find an older entry (Enter)"));
    auto* findNewer = new QPushButton(tr("&Next"), FindBar);
    findNewer->setObjectName(QStringLiteral("btn_FindNext"));
    findNewer->setToolTip(tr("Find a newer entry (Shift+Enter)"));
    lbl_FindResult = new QLabel(FindBar);
    lbl_FindResult->setObjectName(QStringLiteral("lbl_FindResult"));
    for (QWidget* w : std::initializer_list<QWidget*>{findCaption, ed_Find, rb_FindHex, findText, findOlder,
                                                      findNewer, lbl_FindResult})
        findLayout->addWidget(w, w == ed_Find || w == lbl_FindResult ? 1 : 0);
    FindBar->hide();
    layout->addWidget(FindBar);
    const auto find = [this](bool towardsNewest) {
        FindEntry(ed_Find->text(), rb_FindHex->isChecked(), towardsNewest);
    };
    connect(findOlder, &QPushButton::clicked, this, [find] { find(false); });
    connect(findNewer, &QPushButton::clicked, this, [find] { find(true); });
    ed_Find->installEventFilter(this);
    auto* findShortcut = new QShortcut(QKeySequence::Find, this);
    connect(findShortcut, &QShortcut::activated, this, &Tfrm_Log::ShowFindBar);

    Status = new QLabel(tr(TextRunning), this);
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
    connect(tb_Milliseconds, &QToolButton::clicked, this, &Tfrm_Log::tb_MillisecondsClick);
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
        if (!autoScrolling_) SetFollowing(NewestRowInView());
    });
    connect(bar, &QScrollBar::rangeChanged, this, &Tfrm_Log::FollowNewestRow);

    // The grid's width changes with the panel and when its scroll bar comes or goes;
    // a column dragged wider is followed by the filler once the mouse is let go.
    Panel->installEventFilter(this);
    Grid->installEventFilter(this);
    Grid->viewport()->installEventFilter(this);
    header->viewport()->installEventFilter(this);
}

bool Tfrm_Log::AddBlock(const sBlock& block) {
    const uint8_t* bytes = block.Bytes;
    const int length = block.Length;
    const uint8_t kind = block.Kind;
    if (!liveViewRunning_.load()) return false;
    if (kind >= KindSlots || KindOf(kind) == nullptr || !kindShown_[kind].load()) return false;
    if (const int shown = lineShown_.load(); shown >= 0 && block.Line >= 0 && block.Line != shown) return false;
    if (length < 0 || (length > 0 && bytes == nullptr)) return false;

    auto entry = std::make_unique<sVisualLogData>();
    if (length > 0) {
        entry->Data = std::make_unique<uint8_t[]>(static_cast<size_t>(length));
        std::memcpy(entry->Data.get(), bytes, static_cast<size_t>(length));
    }
    entry->Size = length;
    entry->Kind = kind;
    entry->TimeStamp = block.Time;
    entry->Verdict = block.Verdict;
    entry->Line = block.Line;
    if (block.Values != nullptr && block.Values->PresentCount() > 0)
        ZAppendFieldValues(entry->Values, *block.Values, ' ');
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
    if (static_cast<int>(arrived_.size()) > history_.Capacity()) {
        // Pushed out of the history by the newer ones before it got there.
        arrived_.pop_front();
        ++passedOver_;
    }
}

void Tfrm_Log::tmr_RepaintTimer() {
    StoreArrivals();
    FollowNewestRow();
}

void Tfrm_Log::StoreArrivals() {
    int shift = passedOver_;
    passedOver_ = 0;
    for (; !arrived_.empty(); arrived_.pop_front()) {
        const sVisualLogData& entry = *arrived_.front();
        shift += history_.Add(entry.Data.get(), entry.Size, entry.TimeStamp, entry.Kind, entry.Verdict,
                              entry.Values, entry.Line);
    }
    gridModel_->HistoryChanged();
    if (shift > 0) {
        KeepPlace(shift);
        HistoryDropped();
    }
}

void Tfrm_Log::HistoryDropped() {
    if (std::exchange(historyDropped_, true)) return;
    ShowStatusText();
}

void Tfrm_Log::KeepPlace(int shift) {
    // The rows moved up by shift; the bar and the selection follow them, so the
    // entries under the user's eyes stay there.
    if (!followNewest_) {
        QScrollBar* bar = Grid->verticalScrollBar();
        autoScrolling_ = true;
        bar->setValue(std::max(bar->value() - shift, 0));
        autoScrolling_ = false;
    }
    const int selected = SelectedRow();
    if (selected < 0) return;
    const int moved = selected - shift;
    if (moved < 0) {
        Grid->selectionModel()->clear();
        return;
    }
    Grid->selectionModel()->setCurrentIndex(gridModel_->index(moved, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool Tfrm_Log::LastDataBlock(std::vector<uint8_t>& bytes) const {
    const auto usable = [](uint8_t kind, uint8_t verdict) { return kind == bkData && verdict != fvBad; };
    for (auto it = arrived_.rbegin(); it != arrived_.rend(); ++it) {
        const sVisualLogData& entry = **it;
        if (!usable(entry.Kind, entry.Verdict)) continue;
        bytes.assign(entry.Data.get(), entry.Data.get() + entry.Size);
        return true;
    }
    const int found = history_.FindIf(
        history_.Count() - 1, false,
        [&usable](const ZViewHistory::Entry& entry) { return usable(entry.Kind, entry.Verdict); });
    if (found < 0) return false;
    const ZViewHistory::Entry entry = history_.At(found);
    bytes.assign(entry.Bytes, entry.Bytes + entry.Kept);
    return true;
}

int Tfrm_Log::SelectedRow() const {
    const QModelIndexList rows = Grid->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void Tfrm_Log::FollowNewestRow() {
    if (!followNewest_ || history_.Count() == 0) return;
    autoScrolling_ = true;
    Grid->scrollToBottom();
    autoScrolling_ = false;
}

bool Tfrm_Log::NewestRowInView() const {
    const QScrollBar* bar = Grid->verticalScrollBar();
    const int last = history_.Count() - 1;
    if (last < 0 || bar->value() >= bar->maximum()) return true;
    const int top = Grid->rowViewportPosition(last);
    return top >= 0 && top + Grid->rowHeight(last) <= Grid->viewport()->height();
}

void Tfrm_Log::SetFollowing(bool follow) {
    if (follow == followNewest_) return;
    followNewest_ = follow;
    if (follow) FollowNewestRow();
    ShowStatusText();
}

void Tfrm_Log::ShowStatusText() {
    // The overflow signal writes its own texts while it blinks or has latched.
    if (tmr_OverflowSignal->isActive()) return;
    QString text = tr(TextRunning);
    if (!tb_LiveView->isChecked())
        text = tr(TextPaused);
    else if (!followNewest_)
        text = tr(TextNotFollowing);
    else if (captureStopped_)
        text = tr(TextStopped);
    else if (historyDropped_)
        // Rows leave at the top: not lost data, the history's size.
        text = tr(TextHistoryFull).arg(history_.Capacity());
    Status->setText(text);
}

void Tfrm_Log::SetLineNames(const QStringList& names) {
    const bool two = names.size() == 2;
    {
        const QSignalBlocker blocker(cb_LineFilter);
        const int chosen = cb_LineFilter->currentIndex();
        cb_LineFilter->clear();
        if (two) {
            cb_LineFilter->addItems({tr("Both lines"), names[0], names[1]});
            // The line chosen for the last capture stays chosen for the next.
            cb_LineFilter->setCurrentIndex(chosen > 0 && chosen <= 2 ? chosen : 0);
        }
    }
    TakeLineFilter();
    lineFilterAction_->setVisible(two);
    const bool hadColumn = gridModel_->columnCount({}) > ColumnCount;
    gridModel_->SetLines(two ? names : QStringList(), LineTint(0), LineTint(1));
    if (two && !hadColumn) {
        QHeaderView* header = Grid->horizontalHeader();
        header->moveSection(header->visualIndex(LineColumn), 1);
        const QFontMetrics metrics(Grid->font());
        const int margin = 2 * (metrics.averageCharWidth() + 3);
        header->resizeSection(LineColumn, std::max({metrics.horizontalAdvance(names[0]),
                                                    metrics.horizontalAdvance(names[1]),
                                                    header->fontMetrics().horizontalAdvance(tr("Line"))}) +
                                              margin);
    }
    FitLastColumn();
}

void Tfrm_Log::TakeLineFilter() {
    // Item 0 is both lines; an empty list (one line) shows every block too.
    const int item = cb_LineFilter->currentIndex();
    lineShown_.store(item > 0 ? item - 1 : -1);
}

QColor Tfrm_Log::LineTint(int line) const {
    // Pale on a light grid, deep on a dark one: the text keeps its contrast either way.
    const bool dark = Grid->palette().color(QPalette::Base).lightness() < 128;
    if (line == 0) return dark ? QColor(28, 56, 96) : QColor(208, 226, 255);
    return dark ? QColor(92, 56, 20) : QColor(255, 224, 192);
}

void Tfrm_Log::CaptureStateChanged(bool running) {
    if (running == capturing_) return;
    capturing_ = running;
    captureStopped_ = !running;
    if (running) historyDropped_ = false;
    ShowStatusText();
}

QString Tfrm_Log::TimeText(TDateTime time, int digits) {
    return QString::fromLocal8Bit(ZULFormatLongTimeFraction(time, NearestFractionDigits(digits)));
}

void Tfrm_Log::SetTimeFractionDigits(int digits) {
    const int chosen = NearestFractionDigits(digits);
    tb_Milliseconds->setChecked(chosen != 0);
    if (chosen == fractionDigits_) return;
    fractionDigits_ = chosen;
    const QFontMetrics metrics(Grid->font());
    QHeaderView* header = Grid->horizontalHeader();
    const int wanted =
        metrics.horizontalAdvance(TimeText(0.5, chosen)) + 2 * (metrics.averageCharWidth() + 3);
    if (header->sectionSize(0) > 0 && header->sectionSize(0) < wanted) {
        header->resizeSection(0, wanted);
        FitLastColumn();
    }
    if (rememberedWidths_[0] < wanted) rememberedWidths_[0] = wanted;
    gridModel_->HistoryChanged();
}

void Tfrm_Log::tb_MillisecondsClick() {
    SetTimeFractionDigits(tb_Milliseconds->isChecked() ? ShownFractionDigits() : 0);
}

int Tfrm_Log::ShownFractionDigits() const {
    return preciseTime_ ? 6 : 3;
}

void Tfrm_Log::SetPreciseTime(bool precise) {
    preciseTime_ = precise;
    if (fractionDigits_ != 0) SetTimeFractionDigits(ShownFractionDigits());
}

void Tfrm_Log::SetViewSettings(const ZViewSettings& settings) {
    const int capacity = ZViewSettings::ClampHistoryEntries(settings.HistoryEntries);
    if (capacity != history_.Capacity()) {
        const int shift = history_.SetCapacity(capacity);
        gridModel_->HistoryChanged();
        if (shift > 0) {
            KeepPlace(shift);
            HistoryDropped();
        }
        FollowNewestRow();
    }
    SetTimeFractionDigits(settings.ShowMilliseconds ? ShownFractionDigits() : 0);
}

ZViewSettings Tfrm_Log::ViewSettings() const {
    ZViewSettings settings;
    settings.HistoryEntries = history_.Capacity();
    settings.ShowMilliseconds = tb_Milliseconds->isChecked();
    return settings;
}

void Tfrm_Log::FitColumnsToContents() {
    // Wide enough for a row of InitialRowBytes bytes and the longest description,
    // never narrower than the layout's widths.
    const QFontMetrics metrics(Grid->font());
    const int margin = 2 * (Grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Grid) + 1) + 2;
    const std::vector<uint8_t> row(InitialRowBytes, 0x4D);
    QString longest;
    for (const KindRow& kind : Kinds)
        for (const uint8_t verdict : {uint8_t(fvNone), uint8_t(fvBad)}) {
            const QString text = InformationalText(kind.Kind, LongestCount, verdict);
            if (metrics.horizontalAdvance(text) > metrics.horizontalAdvance(longest)) longest = text;
        }
    const QString texts[ColumnCount - 1] = {
        TimeText(0.5, 0), QString::fromLatin1(BytesToHex(row.data(), InitialRowBytes)),
        QString::fromLatin1(BytesToAscii(row.data(), InitialRowBytes)), longest};
    QHeaderView* header = Grid->horizontalHeader();
    int total = 0;
    for (int c = 0; c < ColumnCount - 1; ++c) {
        const int width = std::max(LayoutWidths[c], metrics.horizontalAdvance(texts[c]) + margin);
        header->resizeSection(c, width);
        rememberedWidths_[c] = width;
        total += width;
    }
    // The window takes the columns' width where the screen has room for it.
    const int frame = 2 * Grid->frameWidth() + Grid->verticalScrollBar()->sizeHint().width();
    int wanted = std::max(width(), total + frame);
    if (const QScreen* s = screen()) wanted = std::min(wanted, s->availableGeometry().width());
    resize(std::max(wanted, width()), height());
}

void Tfrm_Log::ShowFindBar() {
    FindBar->show();
    ed_Find->setFocus(Qt::ShortcutFocusReason);
    ed_Find->selectAll();
}

bool Tfrm_Log::FindEntry(const QString& text, bool hex, bool towardsNewest) {
    TTriggerSequence pattern;
    if (hex) {
        if (!ZViewHistory::ParseHexPattern(text.toStdString(), pattern)) {
            lbl_FindResult->setText(tr("Not a HEX sequence: pairs of hex digits or ??"));
            return false;
        }
    } else {
        const QByteArray bytes = text.toLatin1();
        if (text.isEmpty() || QString::fromLatin1(bytes) != text) {
            lbl_FindResult->setText(tr("Type a text of Latin-1 characters"));
            return false;
        }
        for (const char c : bytes) pattern.push_back(static_cast<uint8_t>(c));
    }
    StoreArrivals();  // what has arrived is searched too
    const int selected = SelectedRow();
    const int from =
        selected >= 0 ? selected + (towardsNewest ? 1 : -1) : (towardsNewest ? 0 : history_.Count() - 1);
    // A text is looked for in the bytes (those the ASCII column shows as dots included)
    // and in every column as it reads, whatever the case.
    const auto holdsText = [&](const ZViewHistory::Entry& entry) {
        if (FindTrigger(entry.Bytes, entry.Kept, pattern.data(), static_cast<int>(pattern.size())) >= 0)
            return true;
        for (int column = 0; column < GridModel::TextColumns; ++column)
            if (GridModel::CellText(entry, column, fractionDigits_).contains(text, Qt::CaseInsensitive))
                return true;
        return gridModel_->LineText(entry).contains(text, Qt::CaseInsensitive);
    };
    const int found =
        hex ? history_.Find(pattern, from, towardsNewest) : history_.FindIf(from, towardsNewest, holdsText);
    if (found < 0) {
        lbl_FindResult->setText(tr("Not found"));
        return false;
    }
    lbl_FindResult->setText(tr("Found entry %1 of %2").arg(found + 1).arg(history_.Count()));
    const QModelIndex index = gridModel_->index(found, 0);
    Grid->selectionModel()->setCurrentIndex(index,
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    autoScrolling_ = true;
    Grid->scrollTo(index, QAbstractItemView::PositionAtCenter);
    autoScrolling_ = false;
    SetFollowing(NewestRowInView() && found == history_.Count() - 1);
    return true;
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
    if (!tb_LiveView->isChecked()) StopOverflowSignal();
    ShowStatusText();
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
    for (int c = 0; c < header->count(); ++c)
        if (c != ColumnCount - 1) others += header->sectionSize(c);
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
        Status->setText(tr(TextOverflow));
    } else {
        SetStatusColour(QColor(Qt::yellow));
        Status->setText(tr(TextOverflowLatched));
        tmr_OverflowSignal->stop();
    }
}

void Tfrm_Log::SetStatusColour(const QColor& colour) {
    QPalette statusPalette = Status->palette();
    statusPalette.setColor(QPalette::Window, colour);
    Status->setPalette(statusPalette);
}

bool Tfrm_Log::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && Grid != nullptr) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == Grid && key->key() == Qt::Key_End) {
            Grid->selectionModel()->clear();
            SetFollowing(true);
            FollowNewestRow();
            return true;
        }
        if (watched == ed_Find && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            FindEntry(ed_Find->text(), rb_FindHex->isChecked(), (key->modifiers() & Qt::ShiftModifier) != 0);
            return true;
        }
        if (watched == ed_Find && key->key() == Qt::Key_Escape) {
            FindBar->hide();
            Grid->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
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
