#include "scopepanel.h"

#include "paintpacer.h"
#include "scopeplot.h"
#include "scopexyplot.h"
#include "telemetryrecorder.h"
#include "telemetryring.h"
#include "widgetslog.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QIcon swatch(const QColor &color)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(color);
    return QIcon(pixmap);
}

bool savePng(const QString &fileName, const QImage &image, QString *error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (!image.save(&file, "PNG") || !file.flush()) {
        if (error)
            *error = file.error() != QFileDevice::NoError ? file.errorString()
                                                          : QStringLiteral("cannot encode image");
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString withSuffix(QString fileName, const QString &suffix)
{
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QLatin1Char('.') + suffix;
    return fileName;
}

} // namespace

const QVector<int> &ScopePanel::windowChoices()
{
    static const QVector<int> kChoices = {1000, 5000, 10000, 30000, 60000};
    return kChoices;
}

ScopePanel::ScopePanel(TelemetryRecorder *recorder, QWidget *parent)
    : QWidget(parent)
    , m_recorder(recorder)
    , m_exportDir(QDir::homePath())
{
    // Controls: the channel list on the left, the plots on the right.
    m_channelList = new QListWidget(this);
    m_channelList->setObjectName(QStringLiteral("list_signals"));
    m_channelList->setSelectionMode(QAbstractItemView::NoSelection);
    m_channelList->setToolTip(tr("Signals to plot"));
    const QStringList defaults = {
        QStringLiteral("x"), QStringLiteral("fxout"), QStringLiteral("y"), QStringLiteral("fyout")};
    for (int c = 0; c < TelemetryRecorder::channelCount(); ++c) {
        auto *item = new QListWidgetItem(
            swatch(ScopePlot::channelColor(c)), TelemetryRecorder::label(c), m_channelList);
        item->setData(Qt::UserRole, c);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(
            defaults.contains(QString::fromLatin1(TelemetryRecorder::channel(c).name))
                ? Qt::Checked
                : Qt::Unchecked);
    }
    m_channelList->setMaximumWidth(170);

    m_window = new QComboBox(this);
    m_window->setObjectName(QStringLiteral("cb_window"));
    for (int ms : windowChoices())
        m_window->addItem(tr("%1 s").arg(ms / 1000), ms);
    m_window->setCurrentIndex(windowChoices().indexOf(kDefaultWindowMs));
    m_window->setToolTip(tr("Time shown"));

    m_pause = new QPushButton(tr("Pause"), this);
    m_pause->setObjectName(QStringLiteral("b_pause"));
    m_pause->setCheckable(true);
    m_pause->setToolTip(tr("Freeze the plot to scroll (right-drag, Shift+wheel) and zoom "
                           "(wheel) through the last minute"));

    m_exportCsv = new QPushButton(tr("Export CSV…"), this);
    m_exportCsv->setObjectName(QStringLiteral("b_export_csv"));
    m_exportCsv->setToolTip(tr("Save the samples shown, one row per sample"));
    m_exportPng = new QPushButton(tr("Export PNG…"), this);
    m_exportPng->setObjectName(QStringLiteral("b_export_png"));
    m_exportPng->setToolTip(tr("Save the plot as an image"));

    m_cursorLabel = new QLabel(tr("Click the plot to read values"), this);
    m_cursorLabel->setObjectName(QStringLiteral("label_cursor"));
    m_cursorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_cursorLabel->setStyleSheet(QStringLiteral("QLabel { font-family: monospace; }"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("label_status"));

    m_plot = new ScopePlot(this);
    m_plot->setObjectName(QStringLiteral("plot_time"));
    m_scroll = new QScrollBar(Qt::Horizontal, this);
    m_scroll->setObjectName(QStringLiteral("scroll_time"));
    m_scroll->setEnabled(false);
    auto *timePage = new QWidget(this);
    auto *timeLayout = new QVBoxLayout(timePage);
    timeLayout->setContentsMargins(0, 0, 0, 0);
    timeLayout->setSpacing(2);
    timeLayout->addWidget(m_plot, 1);
    timeLayout->addWidget(m_scroll);

    m_xy = new ScopeXYPlot(this);
    m_xy->setObjectName(QStringLiteral("plot_xy"));
    m_xyAxis = new QComboBox(this);
    m_xyAxis->setObjectName(QStringLiteral("cb_xy_axis"));
    m_xyAxis->addItem(tr("X axis: fxout against x"), int(ScopeXYPlot::AxisX));
    m_xyAxis->addItem(tr("Y axis: fyout against y"), int(ScopeXYPlot::AxisY));
    auto *xyPage = new QWidget(this);
    auto *xyLayout = new QVBoxLayout(xyPage);
    xyLayout->setContentsMargins(0, 0, 0, 0);
    auto *xyTop = new QHBoxLayout;
    xyTop->addWidget(m_xyAxis);
    xyTop->addStretch(1);
    xyLayout->addLayout(xyTop);
    xyLayout->addWidget(m_xy, 1);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabs_scope"));
    m_tabs->addTab(timePage, tr("Time"));
    m_tabs->addTab(xyPage, tr("Force against position"));

    auto *toolbar = new QHBoxLayout;
    toolbar->addWidget(new QLabel(tr("Window:"), this));
    toolbar->addWidget(m_window);
    toolbar->addWidget(m_pause);
    toolbar->addSpacing(12);
    toolbar->addWidget(m_exportCsv);
    toolbar->addWidget(m_exportPng);
    toolbar->addSpacing(12);
    toolbar->addWidget(m_status, 1);

    auto *right = new QVBoxLayout;
    right->addLayout(toolbar);
    right->addWidget(m_tabs, 1);
    right->addWidget(m_cursorLabel);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_channelList);
    layout->addLayout(right, 1);

    m_pacer = new PaintPacer(this, kFrameIntervalMs);
    connect(m_pacer, &PaintPacer::frameDue, this, &ScopePanel::syncView);
    if (m_recorder)
        connect(m_recorder, &TelemetryRecorder::recorded, this, &ScopePanel::onRecorded);

    connect(m_channelList, &QListWidget::itemChanged, this, &ScopePanel::onChannelsEdited);
    connect(m_window, qOverload<int>(&QComboBox::activated), this,
        [this](int index) { setWindowMs(m_window->itemData(index).toInt()); });
    connect(m_pause, &QPushButton::toggled, this, &ScopePanel::setPaused);
    connect(m_exportCsv, &QPushButton::clicked, this, &ScopePanel::chooseCsvFile);
    connect(m_exportPng, &QPushButton::clicked, this, &ScopePanel::choosePngFile);
    connect(m_tabs, &QTabWidget::currentChanged, this, &ScopePanel::syncView);
    connect(m_xyAxis, qOverload<int>(&QComboBox::activated), this,
        [this](int index) { m_xy->setAxis(ScopeXYPlot::Axis(m_xyAxis->itemData(index).toInt())); });
    connect(m_plot, &ScopePlot::cursorMoved, this, [this](double t) { setCursorTime(t); });
    connect(m_plot, &ScopePlot::zoomRequested, this, &ScopePanel::zoomBy);
    connect(m_plot, &ScopePlot::panRequested, this, &ScopePanel::scrollBy);
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int value) {
        if (m_syncingScroll || !m_paused)
            return;
        m_pausedEnd = value;
        syncView();
    });

    if (m_recorder) {
        m_plot->setRing(&m_recorder->ring());
        m_xy->setRing(&m_recorder->ring());
    }
    onChannelsEdited();
}

ScopePanel::~ScopePanel() = default;

QVector<int> ScopePanel::shownChannels() const
{
    QVector<int> channels;
    for (int i = 0; i < m_channelList->count(); ++i) {
        const QListWidgetItem *item = m_channelList->item(i);
        if (item->checkState() == Qt::Checked)
            channels.append(item->data(Qt::UserRole).toInt());
    }
    return channels;
}

void ScopePanel::setShownChannels(const QVector<int> &channels)
{
    {
        const QSignalBlocker blocker(m_channelList);
        for (int i = 0; i < m_channelList->count(); ++i) {
            QListWidgetItem *item = m_channelList->item(i);
            item->setCheckState(
                channels.contains(item->data(Qt::UserRole).toInt()) ? Qt::Checked : Qt::Unchecked);
        }
    }
    onChannelsEdited();
}

void ScopePanel::onChannelsEdited()
{
    m_plot->setChannels(shownChannels());
    updateCursorText();
    syncView();
}

void ScopePanel::setWindowMs(int ms)
{
    m_span = std::max<double>(kMinSpanMs, ms);
    const int index = windowChoices().indexOf(ms);
    if (index >= 0 && m_window->currentIndex() != index)
        m_window->setCurrentIndex(index);
    if (m_paused)
        clampPausedView();
    syncView();
}

const TelemetryRing &ScopePanel::viewRing() const
{
    if (m_paused && m_frozen)
        return *m_frozen;
    static const TelemetryRing kEmpty(TelemetryRecorder::channelCount(), 1);
    return m_recorder ? m_recorder->ring() : kEmpty;
}

double ScopePanel::viewEnd() const
{
    if (m_paused)
        return m_pausedEnd;
    const TelemetryRing &ring = viewRing();
    // The newest sample is inside the range.
    return ring.isEmpty() ? m_span : double(ring.lastTime()) + 1;
}

double ScopePanel::viewStart() const
{
    return viewEnd() - m_span;
}

void ScopePanel::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    if (paused) {
        const double end = viewEnd();
        m_frozen = std::make_unique<TelemetryRing>(
            m_recorder ? m_recorder->ring() : TelemetryRing(TelemetryRecorder::channelCount(), 1));
        m_paused = true;
        m_pausedEnd = end;
        m_plot->setRing(m_frozen.get());
        m_xy->setRing(m_frozen.get());
    } else {
        m_paused = false;
        m_plot->setRing(m_recorder ? &m_recorder->ring() : nullptr);
        m_xy->setRing(m_recorder ? &m_recorder->ring() : nullptr);
        m_frozen.reset();
    }
    {
        const QSignalBlocker blocker(m_pause);
        m_pause->setChecked(paused);
    }
    m_pause->setText(paused ? tr("Resume") : tr("Pause"));
    m_scroll->setEnabled(paused);
    updateCursorText();
    syncView();
}

void ScopePanel::clampPausedView()
{
    const TelemetryRing &ring = viewRing();
    if (ring.isEmpty())
        return;
    const double latest = double(ring.lastTime()) + 1;
    const double earliest = double(ring.firstTime()) + m_span;
    m_pausedEnd = std::min(std::max(m_pausedEnd, earliest), latest);
}

void ScopePanel::scrollBy(double deltaMs)
{
    if (!m_paused)
        return;
    m_pausedEnd += deltaMs;
    clampPausedView();
    syncView();
}

void ScopePanel::zoomBy(double factor, double aroundMs)
{
    if (!(factor > 0))
        return;
    const double span = std::min(std::max(m_span * factor, kMinSpanMs), kMaxSpanMs);
    if (m_paused) {
        // The time under the mouse stays under it.
        const double start = viewStart();
        const double ratio = (aroundMs - start) / m_span;
        const double newStart = aroundMs - ratio * span;
        m_span = span;
        m_pausedEnd = newStart + span;
        clampPausedView();
    } else {
        m_span = span;
    }
    syncView();
}

void ScopePanel::updateScrollBar()
{
    const TelemetryRing &ring = viewRing();
    const QSignalBlocker blocker(m_scroll);
    m_syncingScroll = true;
    if (!m_paused || ring.isEmpty()) {
        m_scroll->setRange(0, 0);
    } else {
        const int latest = int(ring.lastTime() + 1);
        const int earliest = std::min(latest, int(std::ceil(ring.firstTime() + m_span)));
        m_scroll->setRange(earliest, latest);
        m_scroll->setPageStep(std::max(1, int(m_span)));
        m_scroll->setSingleStep(std::max(1, int(m_span / 10)));
        m_scroll->setValue(int(std::lround(m_pausedEnd)));
    }
    m_syncingScroll = false;
}

void ScopePanel::onRecorded()
{
    // A paused view does not change with new samples.
    if (!m_paused)
        m_pacer->request();
}

void ScopePanel::syncView()
{
    const TelemetryRing &ring = viewRing();
    const double end = viewEnd();
    const double start = end - m_span;
    const double reference = ring.isEmpty() ? end : double(ring.lastTime());
    m_plot->setTimeRange(start, end, reference);
    m_xy->setTimeRange(start, end);
    if (m_paused)
        updateScrollBar();
}

QString ScopePanel::setCursorTime(double timeMs)
{
    m_plot->setCursorTime(timeMs);
    updateCursorText();
    return cursorText();
}

QString ScopePanel::cursorText() const
{
    if (!m_plot->hasCursor())
        return QString();
    const TelemetryRing &ring = viewRing();
    const int i = ring.nearest(m_plot->cursorTime());
    if (i < 0)
        return QString();
    QString text = QStringLiteral("t = %1 ms").arg(ring.timeAt(i));
    for (int c : shownChannels()) {
        const TelemetryChannel &ch = TelemetryRecorder::channel(c);
        text += QStringLiteral("   %1 = %2%3")
                    .arg(QString::fromLatin1(ch.name),
                        TelemetryRecorder::formatValue(c, ring.valueAt(c, i)),
                        *ch.unit ? QStringLiteral(" ") + QString::fromUtf8(ch.unit) : QString());
    }
    return text;
}

void ScopePanel::updateCursorText()
{
    const QString text = cursorText();
    if (!text.isEmpty())
        m_cursorLabel->setText(text);
}

bool ScopePanel::exportCsv(const QString &fileName, QString *error)
{
    return TelemetryRecorder::saveCsv(
        fileName, viewRing(), shownChannels(), viewStart(), viewEnd(), error);
}

bool ScopePanel::exportPng(const QString &fileName, QString *error)
{
    QWidget *shown = m_tabs->currentIndex() == 1 ? static_cast<QWidget *>(m_xy) : m_plot;
    return savePng(fileName, shown->grab().toImage(), error);
}

int ScopePanel::paintCount() const
{
    return m_plot->paintCount() + m_xy->paintCount();
}

void ScopePanel::showStatus(const QString &text)
{
    m_status->setText(text);
}

void ScopePanel::chooseCsvFile()
{
    // What is shown now is what gets saved, even if the recording moves on meanwhile.
    const TelemetryRing snapshot = viewRing();
    const double start = viewStart();
    const double end = viewEnd();
    const QVector<int> channels = shownChannels();
    const QString suggested = QDir(m_exportDir)
                                  .filePath(QDateTime::currentDateTime().toString(
                                      QStringLiteral("'scope-'yyyyMMdd-HHmmss'.csv'")));
    QString fileName
        = QFileDialog::getSaveFileName(this, tr("Export CSV"), suggested, tr("CSV files (*.csv)"));
    if (fileName.isEmpty())
        return;
    fileName = withSuffix(fileName, QStringLiteral("csv"));
    m_exportDir = QFileInfo(fileName).absolutePath();
    QString error;
    if (TelemetryRecorder::saveCsv(fileName, snapshot, channels, start, end, &error)) {
        showStatus(tr("Saved %1").arg(QFileInfo(fileName).fileName()));
    } else {
        qCWarning(lcWidgets).noquote() << "Cannot save" << fileName << ":" << error;
        showStatus(tr("Could not save %1: %2").arg(QFileInfo(fileName).fileName(), error));
    }
}

void ScopePanel::choosePngFile()
{
    QWidget *shown = m_tabs->currentIndex() == 1 ? static_cast<QWidget *>(m_xy) : m_plot;
    const QImage image = shown->grab().toImage();
    const QString suggested = QDir(m_exportDir)
                                  .filePath(QDateTime::currentDateTime().toString(
                                      QStringLiteral("'scope-'yyyyMMdd-HHmmss'.png'")));
    QString fileName
        = QFileDialog::getSaveFileName(this, tr("Export PNG"), suggested, tr("PNG images (*.png)"));
    if (fileName.isEmpty())
        return;
    fileName = withSuffix(fileName, QStringLiteral("png"));
    m_exportDir = QFileInfo(fileName).absolutePath();
    QString error;
    if (savePng(fileName, image, &error)) {
        showStatus(tr("Saved %1").arg(QFileInfo(fileName).fileName()));
    } else {
        qCWarning(lcWidgets).noquote() << "Cannot save" << fileName << ":" << error;
        showStatus(tr("Could not save %1: %2").arg(QFileInfo(fileName).fileName(), error));
    }
}
