#include "Tfrm_Plot.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <qcustomplot.h>

#include "ZControls.h"
#include "ZFieldCsv.h"
#include "ZFieldValues.h"
#include "ZFileDialog.h"
#include "ZMessageBox.h"
#include "ZULDateTime.h"

namespace {

// Colours of the fields' lines, field by field, repeating after the last.
const QColor LineColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
                              QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                              QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f)};

// A wheel notch zooms by this factor; a key press pans by this share of the span.
constexpr double ZoomStep = 0.8;
constexpr double PanStep = 0.1;

// How far a fixed Y range may reach either side of zero.
constexpr double RangeLimit = 1e12;

double Seconds(int64_t timeUs) { return static_cast<double>(timeUs) / 1e6; }

QString Number(double value) { return QLocale().toString(value, 'g', 6); }

// The layer the fields' lines draw on, buffered on its own: while the axes stay as they
// were, only the lines are drawn again, not the axes, their labels and the grid.
const QString LinesLayer = QStringLiteral("lines");

// The extremes in view widened outward to whole steps of about a twentieth to a tenth
// of their span, so values moving a little leave the axis as it was drawn.
QCPRange AutoRange(double low, double high) {
    if (!(high > low)) return QCPRange(low - 1, high + 1);
    const double step = std::pow(10.0, std::floor(std::log10(high - low))) / 2;
    return QCPRange(std::floor(low / step) * step, std::ceil(high / step) * step);
}

}  // namespace

Tfrm_Plot::Tfrm_Plot(QWidget* parent)
    : QWidget(parent, Qt::Window),
      model_(ZViewSettings::DefaultPlotPoints, ZViewSettings::DefaultPlotSeconds) {
    setObjectName(QStringLiteral("frm_Plot"));
    setWindowTitle(tr("Plot"));
    setAccessibleName(tr("Plot"));
    BuildControls();
    resize(900, 600);
}

Tfrm_Plot::~Tfrm_Plot() = default;

void Tfrm_Plot::BuildControls() {
    lst_Fields = new QListWidget;
    lst_Fields->setObjectName(QStringLiteral("lst_Fields"));
    lst_Fields->setAccessibleName(tr("Fields to plot"));
    connect(lst_Fields, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) { FieldTicked(item); });
    connect(lst_Fields, &QListWidget::currentRowChanged, this, [this] { ShowRangeOfCurrentField(); });

    chk_FixedRange = new QCheckBox(tr("Fixed &Y range"));
    chk_FixedRange->setObjectName(QStringLiteral("chk_FixedRange"));
    chk_FixedRange->setAccessibleName(tr("Fixed Y range of the selected field"));
    connect(chk_FixedRange, &QCheckBox::toggled, this, [this](bool fixed) {
        if (fixed && !(ud_RangeMin->value() < ud_RangeMax->value())) SuggestRange(lst_Fields->currentRow());
        RangeEdited();
    });
    ud_RangeMin = new QDoubleSpinBox;
    ud_RangeMin->setObjectName(QStringLiteral("ud_RangeMin"));
    ud_RangeMin->setAccessibleName(tr("Y range from"));
    ud_RangeMax = new QDoubleSpinBox;
    ud_RangeMax->setObjectName(QStringLiteral("ud_RangeMax"));
    ud_RangeMax->setAccessibleName(tr("Y range to"));
    for (QDoubleSpinBox* bound : {ud_RangeMin, ud_RangeMax}) {
        bound->setRange(-RangeLimit, RangeLimit);
        bound->setDecimals(3);
        bound->setKeyboardTracking(false);
        connect(bound, &QDoubleSpinBox::valueChanged, this, [this] { RangeEdited(); });
    }
    auto* rangeForm = new QFormLayout;
    rangeForm->addRow(chk_FixedRange);
    rangeForm->addRow(tr("fro&m:"), ud_RangeMin);
    rangeForm->addRow(tr("&to:"), ud_RangeMax);
    auto* fieldColumn = new QWidget;
    fieldColumn->setMaximumWidth(180);
    auto* fieldLayout = new QVBoxLayout(fieldColumn);
    fieldLayout->setContentsMargins(0, 0, 0, 0);
    fieldLayout->addWidget(lst_Fields, 1);
    fieldLayout->addLayout(rangeForm);

    btn_Pause = new QPushButton(tr("&Pause"));
    btn_Pause->setObjectName(QStringLiteral("btn_Pause"));
    btn_Pause->setCheckable(true);
    connect(btn_Pause, &QPushButton::toggled, this, [this](bool down) { SetPaused(down); });
    btn_Live = new QPushButton(tr("Back to &live"));
    btn_Live->setObjectName(QStringLiteral("btn_Live"));
    btn_Live->setEnabled(false);
    connect(btn_Live, &QPushButton::clicked, this, [this] { SetPaused(false); });
    chk_Shared = new QCheckBox(tr("One &shared axis"));
    chk_Shared->setObjectName(QStringLiteral("chk_Shared"));
    connect(chk_Shared, &QCheckBox::toggled, this, [this](bool shared) {
        shared_ = shared;
        BuildStrips();
    });
    ud_Seconds = new QSpinBox;
    ud_Seconds->setObjectName(QStringLiteral("ud_Seconds"));
    ud_Seconds->setRange(ZViewSettings::MinPlotSeconds, ZViewSettings::MaxPlotSeconds);
    ud_Seconds->setValue(ZViewSettings::DefaultPlotSeconds);
    ud_Seconds->setSuffix(tr(" s"));
    ud_Seconds->setAccessibleName(tr("Seconds shown"));
    connect(ud_Seconds, &QSpinBox::valueChanged, this, [this](int seconds) {
        model_.SetSeconds(seconds);
        Replot();
    });
    auto* secondsCaption = new QLabel(tr("Sho&w:"));
    secondsCaption->setBuddy(ud_Seconds);
    btn_SavePng = new QPushButton(tr("Save &picture..."));
    btn_SavePng->setObjectName(QStringLiteral("btn_SavePng"));
    connect(btn_SavePng, &QPushButton::clicked, this, [this] { SavePng(); });
    btn_SaveCsv = new QPushButton(tr("Save &values..."));
    btn_SaveCsv->setObjectName(QStringLiteral("btn_SaveCsv"));
    connect(btn_SaveCsv, &QPushButton::clicked, this, [this] { SaveCsv(); });
    lbl_Cursor = new QLabel;
    lbl_Cursor->setObjectName(QStringLiteral("lbl_Cursor"));
    lbl_Cursor->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);

    auto* bar = new QHBoxLayout;
    for (QWidget* control : std::initializer_list<QWidget*>{btn_Pause, btn_Live, chk_Shared, secondsCaption,
                                                            ud_Seconds, btn_SavePng, btn_SaveCsv})
        bar->addWidget(control);
    bar->addStretch();

    stripArea_ = new QWidget;
    stripLayout_ = new QVBoxLayout(stripArea_);
    stripLayout_->setContentsMargins(0, 0, 0, 0);
    stripLayout_->setSpacing(2);
    auto* body = new QHBoxLayout;
    body->addWidget(fieldColumn);
    body->addWidget(stripArea_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addLayout(body, 1);
    layout->addWidget(lbl_Cursor);

    tmr_Repaint = new QTimer(this);
    tmr_Repaint->setInterval(1000 / RepaintsPerSecond);
    connect(tmr_Repaint, &QTimer::timeout, this, [this] { TakeAndRepaint(); });
    tmr_Describe = new QTimer(this);
    tmr_Describe->setInterval(DescriptionIntervalMs);
    connect(tmr_Describe, &QTimer::timeout, this, [this] { DescribeStrips(); });
}

void Tfrm_Plot::SetFields(const ZFieldList& fields) {
    const auto sameNames = [&] {
        if (fields.Items.size() != fields_.Items.size()) return false;
        for (size_t i = 0; i < fields.Items.size(); ++i)
            if (fields.Items[i].Name != fields_.Items[i].Name || fields.Items[i].Unit != fields_.Items[i].Unit)
                return false;
        return true;
    };
    if (sameNames() && lst_Fields->count() == static_cast<int>(fields.Items.size())) return;
    fields_ = fields;
    model_.Reset(static_cast<int>(fields.Items.size()));
    const QSignalBlocker quiet(lst_Fields);
    lst_Fields->clear();
    for (size_t i = 0; i < fields.Items.size(); ++i) {
        auto* item = new QListWidgetItem(ZLocalText(fields.Items[i].Name), lst_Fields);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(i < MaxShownFields ? Qt::Checked : Qt::Unchecked);
    }
    if (lst_Fields->count() > 0) lst_Fields->setCurrentRow(0);
    ShowRangeOfCurrentField();
    BuildStrips();
}

void Tfrm_Plot::SetViewSettings(const ZViewSettings& view) {
    model_.SetPointsPerField(static_cast<size_t>(view.PlotPoints));
    ranges_ = view.PlotRanges;
    ShowRangeOfCurrentField();
    ForgetDrawn();
    const QSignalBlocker quietSeconds(ud_Seconds);
    ud_Seconds->setValue(view.PlotSeconds);
    model_.SetSeconds(ud_Seconds->value());
    if (view.PlotShared != shared_) {
        const QSignalBlocker quietShared(chk_Shared);
        chk_Shared->setChecked(view.PlotShared);
        shared_ = view.PlotShared;
        BuildStrips();
    }
    Replot();
}

void Tfrm_Plot::CollectViewSettings(ZViewSettings& view) const {
    view.PlotSeconds = model_.Seconds();
    view.PlotShared = shared_;
    view.PlotRanges = ranges_;
}

void Tfrm_Plot::CaptureStateChanged(bool running, bool replay) {
    if (running == running_) return;
    running_ = running;
    feed_.SetPatient(running && replay);
    if (!running) {
        tmr_Repaint->stop();
        tmr_Describe->stop();
        TakeAndRepaint();
        DescribeStrips();
        return;
    }
    sPlotBatch stale;
    feed_.Take(stale);
    model_.Reset(static_cast<int>(fields_.Items.size()));
    SetPaused(false);
    lbl_Cursor->clear();
    tmr_Repaint->start();
    tmr_Describe->start();
}

void Tfrm_Plot::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ForgetDrawn();
    Replot();
}

std::vector<int> Tfrm_Plot::ShownFields() const {
    std::vector<int> shown;
    for (int row = 0; row < lst_Fields->count(); ++row)
        if (lst_Fields->item(row)->checkState() == Qt::Checked) shown.push_back(row);
    return shown;
}

void Tfrm_Plot::FieldTicked(QListWidgetItem* item) {
    if (item->checkState() == Qt::Checked && static_cast<int>(ShownFields().size()) > MaxShownFields) {
        const QSignalBlocker quiet(lst_Fields);
        item->setCheckState(Qt::Unchecked);
        lbl_Cursor->setText(tr("At most %1 fields are plotted at once.").arg(MaxShownFields));
        return;
    }
    BuildStrips();
}

QCustomPlot* Tfrm_Plot::NewStrip(const QString& name) {
    auto* strip = new QCustomPlot;
    strip->setObjectName(QStringLiteral("plt_Strip"));
    strip->setAccessibleName(name);
    strip->setFocusPolicy(Qt::StrongFocus);
    strip->setMinimumHeight(60);
    strip->xAxis->setLabel(tr("Time (s)"));
    // Lines of at most four points a pixel column gain nothing from smoothing, which
    // costs most of a repaint.
    strip->setNotAntialiasedElements(QCP::aeAll);
    strip->setPlottingHint(QCP::phFastPolylines, true);
    strip->addLayer(LinesLayer, strip->layer(QStringLiteral("main")), QCustomPlot::limAbove);
    strip->layer(LinesLayer)->setMode(QCPLayer::lmBuffered);
    strip->setCurrentLayer(LinesLayer);
    strip->installEventFilter(this);
    return strip;
}

void Tfrm_Plot::BuildStrips() {
    for (QCustomPlot* strip : strips_) delete strip;
    strips_.clear();
    ForgetDrawn();
    stripFields_.clear();
    const std::vector<int> shown = ShownFields();
    if (shared_ && !shown.empty()) {
        strips_.push_back(NewStrip(tr("All fields")));
        stripFields_.push_back(shown);
    } else {
        for (int field : shown) {
            strips_.push_back(NewStrip(ZLocalText(fields_.Items[static_cast<size_t>(field)].Name)));
            stripFields_.push_back({field});
        }
    }
    for (size_t i = 0; i < strips_.size(); ++i) {
        QCustomPlot* strip = strips_[i];
        for (int field : stripFields_[i]) {
            QCPGraph* graph = strip->addGraph();
            graph->setPen(QPen(LineColours[static_cast<size_t>(field) % std::size(LineColours)], 1.5));
            const ZFieldDefinition& definition = fields_.Items[static_cast<size_t>(field)];
            graph->setName(ZLocalText(definition.Name));
        }
        if (stripFields_[i].size() == 1) {
            const ZFieldDefinition& definition = fields_.Items[static_cast<size_t>(stripFields_[i][0])];
            strip->yAxis->setLabel(definition.Unit.empty()
                                       ? ZLocalText(definition.Name)
                                       : ZLocalText(definition.Name) + QStringLiteral(" [") +
                                             ZLocalText(definition.Unit) + u']');
        } else {
            strip->legend->setVisible(true);
        }
        stripLayout_->addWidget(strip, 1);
    }
    Replot();
    DescribeStrips();
}

void Tfrm_Plot::TakeAndRepaint() {
    feed_.Take(batch_);
    if (batch_.Blocks() > 0 && batch_.FieldCount == static_cast<int>(fields_.Items.size())) model_.Add(batch_);
    if (isVisible() && (batch_.Blocks() > 0 || model_.Paused())) Replot();
}

bool Tfrm_Plot::RangeOf(int field, double& low, double& high) const {
    for (const ZViewSettings::sPlotRange& range : ranges_) {
        if (range.Field != field) continue;
        low = range.Min;
        high = range.Max;
        return true;
    }
    return false;
}

bool Tfrm_Plot::StripChanged(size_t index, int64_t fromUs, int64_t toUs, int columns) {
    if (drawn_.size() != strips_.size()) drawn_.assign(strips_.size(), sDrawn{});
    sDrawn& drawn = drawn_[index];
    const std::vector<int>& fields = stripFields_[index];
    bool changed = drawn.FromUs != fromUs || drawn.ToUs != toUs || drawn.Columns != columns ||
                   drawn.Stamps.size() != fields.size();
    drawn.FromUs = fromUs;
    drawn.ToUs = toUs;
    drawn.Columns = columns;
    drawn.Stamps.resize(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        const sPlotStamp stamp = model_.Series(fields[i]).Stamp(toUs);
        changed = changed || !(stamp == drawn.Stamps[i]);
        drawn.Stamps[i] = stamp;
    }
    return changed;
}

void Tfrm_Plot::ShowRangeOfCurrentField() {
    const int field = lst_Fields->currentRow();
    double low = 0, high = 0;
    const bool fixed = field >= 0 && RangeOf(field, low, high);
    const bool storable = field >= 0 && field < ZViewSettings::MaxPlotRanges;
    const QSignalBlocker quietFixed(chk_FixedRange);
    const QSignalBlocker quietMin(ud_RangeMin);
    const QSignalBlocker quietMax(ud_RangeMax);
    chk_FixedRange->setChecked(fixed);
    chk_FixedRange->setEnabled(storable);
    if (fixed) {
        ud_RangeMin->setValue(low);
        ud_RangeMax->setValue(high);
    }
    ud_RangeMin->setEnabled(fixed);
    ud_RangeMax->setEnabled(fixed);
}

void Tfrm_Plot::SuggestRange(int field) {
    if (field < 0 || field >= model_.FieldCount()) return;
    const sPlotSummary seen = model_.Series(field).Summarise(model_.FromUs(), model_.ToUs());
    if (!seen.Any) return;
    const QCPRange range = AutoRange(seen.Min, seen.Max);
    const QSignalBlocker quietMin(ud_RangeMin);
    const QSignalBlocker quietMax(ud_RangeMax);
    ud_RangeMin->setValue(range.lower);
    ud_RangeMax->setValue(range.upper);
}

void Tfrm_Plot::RangeEdited() {
    const int field = lst_Fields->currentRow();
    if (field < 0 || field >= ZViewSettings::MaxPlotRanges) return;
    const bool fixed = chk_FixedRange->isChecked();
    ud_RangeMin->setEnabled(fixed);
    ud_RangeMax->setEnabled(fixed);
    const double low = ud_RangeMin->value();
    const double high = ud_RangeMax->value();
    if (fixed && !(low < high)) {
        // The stored range stays as it was until the bounds make sense again.
        lbl_Cursor->setText(tr("The Y range needs its lower bound below its upper one."));
        return;
    }
    std::erase_if(ranges_, [field](const ZViewSettings::sPlotRange& range) { return range.Field == field; });
    if (fixed) {
        const auto after = std::find_if(ranges_.begin(), ranges_.end(),
                                        [field](const ZViewSettings::sPlotRange& range) { return range.Field > field; });
        ranges_.insert(after, {field, low, high});
    }
    lbl_Cursor->clear();
    ForgetDrawn();
    Replot();
}

void Tfrm_Plot::ShowStrip(size_t index) {
    QCustomPlot* strip = strips_[index];
    const std::vector<int>& fields = stripFields_[index];
    const int64_t from = model_.FromUs();
    const int64_t to = model_.ToUs();
    const int columns = std::max(strip->axisRect()->width(), 1);
    if (!StripChanged(index, from, to, columns)) return;

    bool fixed = fields.size() == 1;
    double low = 0, high = 0;
    fixed = fixed && RangeOf(fields[0], low, high);
    bool any = false;
    for (size_t i = 0; i < fields.size(); ++i) {
        model_.Series(fields[i]).Decimate(from, to, columns, decimated_);
        // Filled in place: the container keeps its storage from the last repaint.
        QCPGraphDataContainer& line = *strip->graph(static_cast<int>(i))->data();
        line.clear();
        for (const sPlotPoint& point : decimated_) {
            line.add(QCPGraphData(Seconds(point.TimeUs - from), point.Value));
            if (fixed || std::isnan(point.Value) || point.TimeUs < from || point.TimeUs > to) continue;
            low = any ? std::min(low, point.Value) : point.Value;
            high = any ? std::max(high, point.Value) : point.Value;
            any = true;
        }
    }
    const QCPRange x(0, Seconds(to - from));
    const QCPRange y = fixed ? QCPRange(low, high) : AutoRange(low, high);
    const bool axesKept = strip->xAxis->range() == x && strip->yAxis->range() == y;
    strip->xAxis->setRange(x);
    strip->yAxis->setRange(y);
    if (axesKept)
        strip->layer(LinesLayer)->replot();
    else
        strip->replot(QCustomPlot::rpQueuedReplot);
}

void Tfrm_Plot::Replot() {
    if (model_.FieldCount() != static_cast<int>(fields_.Items.size())) return;
    for (size_t i = 0; i < strips_.size(); ++i) ShowStrip(i);
}

QString Tfrm_Plot::StripDescription(int field) const {
    const ZFieldDefinition& definition = fields_.Items[static_cast<size_t>(field)];
    const QString name = ZLocalText(definition.Name);
    const int64_t newest = model_.NewestUs();
    const int seconds = model_.Seconds();
    const sPlotSummary summary =
        model_.FieldCount() > field
            ? model_.Series(field).Summarise(newest - int64_t{seconds} * ZPlotModel::MicrosPerSecond, newest)
            : sPlotSummary{};
    if (!summary.Any) return tr("%1: no value over the last %2 s").arg(name).arg(seconds);
    QString last = Number(summary.Last);
    if (!definition.Unit.empty()) last += u' ' + ZLocalText(definition.Unit);
    return tr("%1: last %2, minimum %3, maximum %4 over the last %5 s")
        .arg(name, last, Number(summary.Min), Number(summary.Max))
        .arg(seconds);
}

void Tfrm_Plot::DescribeStrips() {
    for (size_t i = 0; i < strips_.size(); ++i) {
        QStringList parts;
        for (int field : stripFields_[i]) parts.push_back(StripDescription(field));
        const QString description = parts.join(QStringLiteral("; "));
        if (strips_[i]->accessibleDescription() != description) strips_[i]->setAccessibleDescription(description);
    }
}

void Tfrm_Plot::SetPaused(bool paused) {
    if (paused) {
        model_.Pause();
    } else {
        model_.BackToLive();
        lbl_Cursor->clear();
    }
    const QSignalBlocker quiet(btn_Pause);
    btn_Pause->setChecked(paused);
    btn_Live->setEnabled(paused);
    Replot();
}

int64_t Tfrm_Plot::TimeAtPixel(const QCustomPlot* strip, double x) const {
    return model_.FromUs() + static_cast<int64_t>(std::llround(strip->xAxis->pixelToCoord(x) * 1e6));
}

void Tfrm_Plot::ShowCursorAt(int64_t timeUs) {
    QString text = tr("Time %1").arg(ZLocalText(ZULFormatIsoMicros(timeUs)));
    for (int field : ShownFields()) {
        const double value = model_.Series(field).ValueAt(timeUs);
        text += QStringLiteral(", ") + ZLocalText(fields_.Items[static_cast<size_t>(field)].Name) +
                QStringLiteral(" ") + (std::isnan(value) ? QStringLiteral("-") : Number(value));
    }
    lbl_Cursor->setText(text);
}

void Tfrm_Plot::StripWheel(QCustomPlot* strip, QWheelEvent* event) {
    const double width = std::max(strip->axisRect()->width(), 1);
    const double anchor = (event->position().x() - strip->axisRect()->left()) / width;
    model_.Zoom(event->angleDelta().y() > 0 ? ZoomStep : 1 / ZoomStep, anchor);
    SetPaused(true);
}

void Tfrm_Plot::StripMouse(QCustomPlot* strip, QMouseEvent* event) {
    const double x = event->position().x();
    if (event->type() == QEvent::MouseButtonPress && event->button() == Qt::LeftButton) {
        dragX_ = panX_ = x;
        return;
    }
    if (event->type() == QEvent::MouseMove) {
        if (model_.Paused()) ShowCursorAt(TimeAtPixel(strip, x));
        if (panX_ < 0 || (event->modifiers() & Qt::ControlModifier)) return;
        const double width = std::max(strip->axisRect()->width(), 1);
        model_.Pan((panX_ - x) / width);
        panX_ = x;
        SetPaused(true);
        return;
    }
    if (event->type() == QEvent::MouseButtonRelease && dragX_ >= 0) {
        if (event->modifiers() & Qt::ControlModifier) {
            const int64_t a = TimeAtPixel(strip, dragX_);
            const int64_t b = TimeAtPixel(strip, x);
            model_.ShowSpan(std::min(a, b), std::max(a, b));
            SetPaused(model_.Paused());
        }
        dragX_ = panX_ = -1;
    }
}

bool Tfrm_Plot::eventFilter(QObject* watched, QEvent* event) {
    auto* strip = qobject_cast<QCustomPlot*>(watched);
    if (strip == nullptr) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Wheel: StripWheel(strip, static_cast<QWheelEvent*>(event)); return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: StripMouse(strip, static_cast<QMouseEvent*>(event)); return true;
    default: return QWidget::eventFilter(watched, event);
    }
}

void Tfrm_Plot::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left: model_.Pan(-PanStep); break;
    case Qt::Key_Right: model_.Pan(PanStep); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: model_.Zoom(ZoomStep, 0.5); break;
    case Qt::Key_Minus: model_.Zoom(1 / ZoomStep, 0.5); break;
    case Qt::Key_C:
        // The keyboard's cursor: the middle of the span in view.
        model_.Pause();
        ShowCursorAt((model_.FromUs() + model_.ToUs()) / 2);
        break;
    case Qt::Key_End: SetPaused(false); return;
    default: QWidget::keyPressEvent(event); return;
    }
    SetPaused(true);
}

void Tfrm_Plot::SavePng() {
    const QString path = ZFileDialog::GetSaveFileName(this, tr("Save picture"), QString(),
                                                      tr("PNG picture (*.png)"), QStringLiteral("png"));
    if (path.isEmpty()) return;
    if (!stripArea_->grab().save(path, "PNG"))
        ZMessageBox::Error(this, tr("The picture could not be saved to \"%1\".").arg(path));
}

void Tfrm_Plot::SaveCsv() {
    const QString path = ZFileDialog::GetSaveFileName(this, tr("Save values"), QString(),
                                                      tr("Values as CSV (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty()) return;
    const std::vector<int> shown = ShownFields();
    ZFieldList list;
    std::vector<std::string> names, units;
    for (int field : shown) {
        list.Items.push_back(fields_.Items[static_cast<size_t>(field)]);
        names.push_back(list.Items.back().Name);
        units.push_back(list.Items.back().Unit);
    }
    // The dialog has asked about an existing file; the CSV writer only ever makes a new one.
    if (QFileInfo(path).isFile() && !QFileInfo(path).isSymLink()) QFile::remove(path);
    ZFieldCsv csv;
    std::string errorText;
    if (!csv.Create(ZLocalBytes(path), list, errorText)) {
        ZMessageBox::Error(this, ZLocalText(errorText));
        return;
    }
    const int64_t from = model_.FromUs();
    const int64_t to = model_.ToUs();
    std::vector<int64_t> times;
    for (int field : shown) {
        const ZPlotSeries& series = model_.Series(field);
        for (size_t i = 0; i < series.Count(); ++i)
            if (series.At(i).TimeUs >= from && series.At(i).TimeUs <= to && !std::isnan(series.At(i).Value))
                times.push_back(series.At(i).TimeUs);
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    ZFieldValues values(std::make_shared<const ZFieldLayout>(names, units));
    for (int64_t timeUs : times) {
        values.Clear();
        for (size_t i = 0; i < shown.size(); ++i) {
            // Only a point of this very time: the value the frame of that time had.
            const sPlotSummary at = model_.Series(shown[i]).Summarise(timeUs, timeUs);
            if (at.Any) values.Set(static_cast<int>(i), at.Last);
        }
        sBlock block(ZULFromUnixMicros(timeUs), nullptr, 0, bkData);
        block.Values = &values;
        csv.OnBlock(block);
    }
    if (!csv.Close(errorText)) ZMessageBox::Error(this, ZLocalText(errorText));
}
