#pragma once
// The plot window: the values of the fields ticked in its field list (all at first, at
// most MaxShownFields at once) against the time of their frame, live over the last
// PlotSeconds, each field on a strip of its own with its own Y axis and unit, or all on
// one shared axis. Y follows the points in view unless the view settings fix a field's
// range (the controls under the field list fix the range of the field in its current
// row, or leave it automatic). Pause freezes the picture while the capture goes on; paused, the wheel and the
// + and - keys zoom, a drag (or the arrow keys) pans, a drag with Ctrl held shows the
// dragged span, and the cursor reads the time and every value under the mouse; "Back to
// live" follows the newest frame again. The picture saves as PNG, the points in view as
// CSV (the form a capture's CSV file has).
//
// Values arrive from the capture's data thread through Feed(), which never makes that
// thread wait; while a capture or replay runs the window takes them RepaintsPerSecond
// times a second, whether shown or not, and draws what is in view (at most four points per pixel column and field).
// Each strip's accessible description says the field's newest value and its extremes
// over the span that ends at the newest frame, kept current at most once a second.
//
// Created hidden; closing it only hides it. Window thread, except Feed().

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "ZFieldList.h"
#include "ZPlotFeed.h"
#include "ZPlotModel.h"
#include "ZViewSettings.h"

class QCheckBox;
class QDoubleSpinBox;
class QCustomPlot;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMouseEvent;
class QPushButton;
class QSpinBox;
class QTimer;
class QVBoxLayout;
class QWheelEvent;

class Tfrm_Plot : public QWidget {
    Q_OBJECT

public:
    static constexpr int MaxShownFields = 16;
    static constexpr int RepaintsPerSecond = 30;
    static constexpr int DescriptionIntervalMs = 1000;

    explicit Tfrm_Plot(QWidget* parent = nullptr);
    ~Tfrm_Plot() override;

    // Add it to the capture's block observers (any thread may then call it).
    ZPlotFeed& Feed() { return feed_; }
    // The fields of the settings shown; other fields than before start the plot afresh.
    void SetFields(const ZFieldList& fields);
    // The plot's part of the view settings; the rest of view is kept as it was.
    void SetViewSettings(const ZViewSettings& view);
    void CollectViewSettings(ZViewSettings& view) const;
    // A capture or replay starts (the plot starts afresh and live, and takes values
    // RepaintsPerSecond times a second) or ends (the last values are drawn and
    // described, and nothing wakes the window until the next start). A replay's
    // values wait for the window rather than being dropped (ZPlotFeed::SetPatient).
    void CaptureStateChanged(bool running, bool replay = false);

    const ZPlotModel& Model() const { return model_; }
    // Takes what the feed holds and repaints; the repaint timer's work, public so a test
    // need not wait for it.
    void TakeAndRepaint();
    // Brings the strips' accessible descriptions up to date now.
    void DescribeStrips();
    // The description of field's strip for the span ending at the newest frame.
    QString StripDescription(int field) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void BuildStrips();
    QCustomPlot* NewStrip(const QString& name);
    // Redraws the strips whose picture changed since they were last drawn; after
    // ForgetDrawn, every strip.
    void Replot();
    void ForgetDrawn() { drawn_.clear(); }
    void ShowStrip(size_t index);
    // Whether strip index would now draw other than it last did; notes what it draws.
    bool StripChanged(size_t index, int64_t fromUs, int64_t toUs, int columns);
    std::vector<int> ShownFields() const;
    void FieldTicked(QListWidgetItem* item);
    void SetPaused(bool paused);
    void ShowCursorAt(int64_t timeUs);
    void StripMouse(QCustomPlot* strip, QMouseEvent* event);
    void StripWheel(QCustomPlot* strip, QWheelEvent* event);
    int64_t TimeAtPixel(const QCustomPlot* strip, double x) const;
    void SavePng();
    void SaveCsv();
    bool RangeOf(int field, double& low, double& high) const;
    // The Y range controls show the range of the field in the list's current row.
    void ShowRangeOfCurrentField();
    // The Y range controls changed: the current field's range is fixed or automatic again.
    void RangeEdited();
    // Bounds that hold the field's values in view, put in the Y range controls.
    void SuggestRange(int field);

    ZPlotFeed feed_;
    ZPlotModel model_;
    sPlotBatch batch_;  // reused batch by batch
    ZFieldList fields_;
    std::vector<ZViewSettings::sPlotRange> ranges_;
    bool shared_ = false;
    bool running_ = false;
    std::vector<QCustomPlot*> strips_;
    std::vector<std::vector<int>> stripFields_;  // the fields each strip draws
    // What each strip was last drawn from: its span, width and its fields' stamps.
    struct sDrawn {
        int64_t FromUs = 0;
        int64_t ToUs = 0;
        int Columns = 0;
        std::vector<sPlotStamp> Stamps;
    };
    std::vector<sDrawn> drawn_;
    std::vector<sPlotPoint> decimated_;  // reused strip by strip, repaint by repaint

    QListWidget* lst_Fields = nullptr;
    QPushButton* btn_Pause = nullptr;
    QPushButton* btn_Live = nullptr;
    QCheckBox* chk_Shared = nullptr;
    QSpinBox* ud_Seconds = nullptr;
    QPushButton* btn_SavePng = nullptr;
    QPushButton* btn_SaveCsv = nullptr;
    QCheckBox* chk_FixedRange = nullptr;
    QDoubleSpinBox* ud_RangeMin = nullptr;
    QDoubleSpinBox* ud_RangeMax = nullptr;
    QLabel* lbl_Cursor = nullptr;
    QWidget* stripArea_ = nullptr;
    QVBoxLayout* stripLayout_ = nullptr;
    QTimer* tmr_Repaint = nullptr;
    QTimer* tmr_Describe = nullptr;
    double dragX_ = -1;  // where a drag started, in pixels; -1 without one
    double panX_ = -1;   // where the last pan step ended
};
