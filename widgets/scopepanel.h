#pragma once
// The Scope: a scrolling plot of chosen telemetry channels over the last 1 to 60 seconds,
// a force-against-position view, a cursor that reads the recorded values at a time, and
// CSV and PNG export of what is shown. Pausing freezes a copy of the recording, so the
// paused minute can be scrolled, zoomed and exported while the base keeps streaming.
// Drawing follows the recording at most once per frame and stops while the panel is hidden.

#include <QVector>
#include <QWidget>

#include <memory>

class PaintPacer;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class QTabWidget;
class ScopePlot;
class ScopeXYPlot;
class TelemetryRecorder;
class TelemetryRing;

class ScopePanel : public QWidget
{
    Q_OBJECT

public:
    // The time windows offered, in milliseconds.
    static const QVector<int> &windowChoices();
    static constexpr int kDefaultWindowMs = 10000;
    static constexpr double kMinSpanMs = 20;
    // 30 frames a second: a 10 s window moves 3 pixels a frame, smooth enough, for half the
    // drawing of 60.
    static constexpr int kFrameIntervalMs = 33;
    // A little more than the longest window, as much as the recording holds at 1 kHz.
    static constexpr double kMaxSpanMs = 65536;

    explicit ScopePanel(TelemetryRecorder *recorder, QWidget *parent = nullptr);
    ~ScopePanel() override;

    QVector<int> shownChannels() const;
    // Shows exactly these channels (indices of TelemetryRecorder).
    void setShownChannels(const QVector<int> &channels);
    void setWindowMs(int ms);
    double spanMs() const { return m_span; }

    bool isPaused() const { return m_paused; }
    void setPaused(bool paused);
    // The samples the plots draw from: the live recording, or the copy frozen at pausing.
    const TelemetryRing &viewRing() const;
    // The time range shown, [start, end) in milliseconds.
    double viewStart() const;
    double viewEnd() const;
    // While paused: moves or zooms the shown range (zoom around a time; factor < 1 narrows).
    void scrollBy(double deltaMs);
    void zoomBy(double factor, double aroundMs);

    // Places the cursor and returns the readout text ("" without samples).
    QString setCursorTime(double timeMs);
    QString cursorText() const;

    // Saves the shown range, one row per sample, of the shown channels.
    bool exportCsv(const QString &fileName, QString *error = nullptr);
    // Saves the plot on the current tab as a PNG image.
    bool exportPng(const QString &fileName, QString *error = nullptr);

    ScopePlot *plot() const { return m_plot; }
    ScopeXYPlot *xyPlot() const { return m_xy; }
    PaintPacer *pacer() const { return m_pacer; }
    int paintCount() const;

private:
    void onRecorded();
    void syncView();
    void updateScrollBar();
    void updateCursorText();
    void onChannelsEdited();
    void chooseCsvFile();
    void choosePngFile();
    void showStatus(const QString &text);
    void clampPausedView();

    TelemetryRecorder *m_recorder;
    std::unique_ptr<TelemetryRing> m_frozen;
    bool m_paused = false;
    double m_span = kDefaultWindowMs;
    double m_pausedEnd = 0;
    bool m_syncingScroll = false;

    QListWidget *m_channelList = nullptr;
    QComboBox *m_window = nullptr;
    QPushButton *m_pause = nullptr;
    QPushButton *m_exportCsv = nullptr;
    QPushButton *m_exportPng = nullptr;
    QTabWidget *m_tabs = nullptr;
    ScopePlot *m_plot = nullptr;
    QScrollBar *m_scroll = nullptr;
    ScopeXYPlot *m_xy = nullptr;
    QComboBox *m_xyAxis = nullptr;
    QLabel *m_cursorLabel = nullptr;
    QLabel *m_status = nullptr;
    PaintPacer *m_pacer = nullptr;
    QString m_exportDir;
};
