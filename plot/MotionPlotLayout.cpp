// SPDX-License-Identifier: GPL-3.0-or-later
// The motion plot's window: the plane chooser, the three plots and their axes and legends, the
// buttons and the line under the plot, and their words in the language in use.
#include "plot/MotionPlot.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include "core/Texts.h"

using plot::Plane;

namespace {
const text::Text Title{QT_TRANSLATE_NOOP("Trelmo", "运动轨迹")};
const text::Text PlaneCaption{QT_TRANSLATE_NOOP("Trelmo", "平面")};
const text::Text Pause{QT_TRANSLATE_NOOP("Trelmo", "暂停")};
const text::Text Resume{QT_TRANSLATE_NOOP("Trelmo", "继续")};
const text::Text Clear{QT_TRANSLATE_NOOP("Trelmo", "清除")};
const text::Text SaveCsv{QT_TRANSLATE_NOOP("Trelmo", "保存 CSV…")};
const text::Text SaveImage{QT_TRANSLATE_NOOP("Trelmo", "保存图片…")};
const text::Text Hint{QT_TRANSLATE_NOOP("Trelmo", "滚轮缩放，拖动平移，双击显示全部")};
// The plots' axes and legends.
const text::Text Time{QT_TRANSLATE_NOOP("Trelmo", "时间 (s)")};
const text::Text Place{QT_TRANSLATE_NOOP("Trelmo", "位置 (mm)")};
const text::Text Speed{QT_TRANSLATE_NOOP("Trelmo", "速度 (mm/s)")};
const text::Text Path{QT_TRANSLATE_NOOP("Trelmo", "路径")};
const text::Text Here{QT_TRANSLATE_NOOP("Trelmo", "当前位置")};
const text::Text Start{QT_TRANSLATE_NOOP("Trelmo", "起点")};
const text::Text Middle{QT_TRANSLATE_NOOP("Trelmo", "中间点")};
const text::Text End{QT_TRANSLATE_NOOP("Trelmo", "终点")};
const text::Text PathSpeed{QT_TRANSLATE_NOOP("Trelmo", "路径速度")};
const text::Text SetSpeed{QT_TRANSLATE_NOOP("Trelmo", "设定速度")};
}  // namespace

MotionPlot::MotionPlot(Prompter &prompter, QWidget *parent) : QWidget(parent, Qt::Window), m_prompter(prompter)
{
    setObjectName(QStringLiteral("MotionPlot"));
    PlaneChooser = new QComboBox(this);
    PlaneChooser->setObjectName(QStringLiteral("PlaneChooser"));
    PlaneChooser->addItems({QStringLiteral("XY"), QStringLiteral("XZ"), QStringLiteral("YZ")});
    m_planeLabel = new QLabel(this);
    m_planeLabel->setBuddy(PlaneChooser);
    auto button = [this](const char *name) {
        auto *b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    PauseButton = button("PauseButton");
    ClearButton = button("ClearButton");
    SaveCsvButton = button("SaveCsvButton");
    SaveImageButton = button("SaveImageButton");
    m_hint = new QLabel(this);
    m_hint->setForegroundRole(QPalette::PlaceholderText);
    Result = new QLabel(this);
    Result->setObjectName(QStringLiteral("Result"));
    Result->setWordWrap(true);
    Result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Result->setMinimumHeight(2 * fontMetrics().height());

    // One plot, three rectangles: the path on the left, positions and speeds against time on the
    // right, one above the other on a shared time axis.
    Plot = new QCustomPlot(this);
    Plot->setObjectName(QStringLiteral("Plot"));
    Plot->setAutoAddPlottableToLegend(false);
    Plot->plotLayout()->clear();
    m_pathRect = new QCPAxisRect(Plot);
    m_positionRect = new QCPAxisRect(Plot);
    m_speedRect = new QCPAxisRect(Plot);
    auto *times = new QCPLayoutGrid;
    Plot->plotLayout()->addElement(0, 0, m_pathRect);
    Plot->plotLayout()->addElement(0, 1, times);
    Plot->plotLayout()->setColumnStretchFactors({1.0, 1.25});
    times->addElement(0, 0, m_positionRect);
    times->addElement(1, 0, m_speedRect);
    auto *margins = new QCPMarginGroup(Plot);
    for (QCPAxisRect *rect : {m_positionRect, m_speedRect})
        rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
    auto legend = [](QCPAxisRect *rect) {
        auto *l = new QCPLegend;
        rect->insetLayout()->addElement(l, Qt::AlignTop | Qt::AlignRight);
        l->setLayer(QStringLiteral("legend"));
        l->setBrush(QColor(255, 255, 255, 210));
        return l;
    };
    m_pathLegend = legend(m_pathRect);
    QCPLegend *positionLegend = legend(m_positionRect), *speedLegend = legend(m_speedRect);
    auto graph = [this](QCPAxisRect *rect, QCPLegend *legend, const QPen &pen) {
        QCPGraph *g = Plot->addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        g->setPen(pen);
        g->addToLegend(legend);
        return g;
    };
    m_x = graph(m_positionRect, positionLegend, QPen(QColor(200, 40, 40)));
    m_y = graph(m_positionRect, positionLegend, QPen(QColor(30, 140, 50)));
    m_z = graph(m_positionRect, positionLegend, QPen(QColor(40, 70, 200)));
    m_speed = graph(m_speedRect, speedLegend, QPen(QColor(20, 20, 20)));
    m_setSpeed = graph(m_speedRect, speedLegend, QPen(QColor(230, 120, 0), 1.5, Qt::DashLine));
    m_setSpeed->setLineStyle(QCPGraph::lsStepLeft);
    auto curve = [this](QCPScatterStyle style) {
        auto *c = new QCPCurve(m_pathRect->axis(QCPAxis::atBottom), m_pathRect->axis(QCPAxis::atLeft));
        c->setLineStyle(QCPCurve::lsNone);
        c->setScatterStyle(style);
        return c;
    };
    m_path = new QCPCurve(m_pathRect->axis(QCPAxis::atBottom), m_pathRect->axis(QCPAxis::atLeft));
    m_path->setPen(QPen(QColor(30, 90, 170)));
    m_path->addToLegend(m_pathLegend);
    m_start = curve(QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(QColor(30, 140, 50), 2), Qt::white, 11));
    m_middle = curve(QCPScatterStyle(QCPScatterStyle::ssDiamond, QPen(QColor(230, 120, 0), 2), Qt::white, 12));
    m_end = curve(QCPScatterStyle(QCPScatterStyle::ssSquare, QPen(QColor(150, 40, 160), 2), Qt::white, 10));
    m_here = curve(QCPScatterStyle(QCPScatterStyle::ssCrossCircle, QPen(QColor(220, 0, 0), 2), Qt::NoBrush, 15));
    m_here->addToLegend(m_pathLegend);
    // The time axes move together.
    QCPAxis *positionTime = m_positionRect->axis(QCPAxis::atBottom), *speedTime = m_speedRect->axis(QCPAxis::atBottom);
    connect(positionTime, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), speedTime,
            qOverload<const QCPRange &>(&QCPAxis::setRange));
    connect(speedTime, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), positionTime,
            qOverload<const QCPRange &>(&QCPAxis::setRange));

    // The mouse: the wheel zooms and a drag pans the rectangle under it, which then stops
    // following the readings; a double click shows all of them again and follows them.
    Plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    Plot->setPlottingHint(QCP::phFastPolylines, true);
    Plot->setNoAntialiasingOnDrag(true);
    auto stopFollowing = [this](QCPAxisRect *rect) {
        if (rect == m_pathRect)
            m_followPath = false;
        else if (rect)
            m_followTime = false;
    };
    connect(Plot, &QCustomPlot::mouseWheel, this,
            [this, stopFollowing](QWheelEvent *event) { stopFollowing(Plot->axisRectAt(event->position())); });
    connect(Plot, &QCustomPlot::mousePress, this,
            [this](QMouseEvent *event) { m_dragged = Plot->axisRectAt(event->position()); });
    connect(Plot, &QCustomPlot::mouseMove, this, [this, stopFollowing](QMouseEvent *event) {
        if (event->buttons() & Qt::LeftButton)
            stopFollowing(m_dragged);
    });
    connect(Plot, &QCustomPlot::mouseDoubleClick, this, [this](QMouseEvent *event) {
        QCPAxisRect *rect = Plot->axisRectAt(event->position());
        if (rect == m_pathRect) {
            m_followPath = m_pathAfresh = true;
        } else if (rect) {
            m_followTime = true;
            fitTime(true);
        }
        Plot->replot(QCustomPlot::rpQueuedReplot);
    });
    // Equal scales need the rectangle's size in pixels, known once the plot is laid out.
    connect(Plot, &QCustomPlot::afterLayout, this, &MotionPlot::fitPath);
    // The plottables have a layer of their own: while the axes, the texts and the legends stay as
    // they are, only that layer is drawn again. Anything else draws the whole plot.
    Plot->layer(QStringLiteral("main"))->setMode(QCPLayer::lmBuffered);
    for (QCPAxisRect *rect : {m_pathRect, m_positionRect, m_speedRect})
        for (QCPAxis *axis : rect->axes())
            connect(axis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this, [this] { m_wholePlot = true; });
    connect(Plot, &QCustomPlot::afterReplot, this, [this] { m_wholePlot = false; });

    auto *tools = new QHBoxLayout;
    tools->addWidget(m_planeLabel);
    tools->addWidget(PlaneChooser);
    tools->addSpacing(12);
    for (QWidget *w : {PauseButton, ClearButton, SaveCsvButton, SaveImageButton})
        tools->addWidget(w);
    tools->addStretch(1);
    tools->addWidget(m_hint);
    // The plot spans the window's whole width: the display server then takes its pixels straight
    // from the window's image, row after row, without a copy of them first.
    const int edge = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    tools->setContentsMargins(edge, edge, edge, 0);
    Result->setContentsMargins(edge, 0, edge, edge);
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addLayout(tools);
    box->addWidget(Plot, 1);
    box->addWidget(Result);
    resize(1120, 620);

    m_redraw.setSingleShot(true);
    connect(&m_redraw, &QTimer::timeout, this, &MotionPlot::redraw);
    connect(PlaneChooser, &QComboBox::activated, this, [this](int index) { setPlane(Plane(index)); });
    connect(PauseButton, &QPushButton::clicked, this, [this] { setPaused(!m_paused); });
    connect(ClearButton, &QPushButton::clicked, this, &MotionPlot::clear);
    connect(SaveCsvButton, &QPushButton::clicked, this, &MotionPlot::saveCsv);
    connect(SaveImageButton, &QPushButton::clicked, this, &MotionPlot::saveImage);
    setPlane(Plane::XY);
    retranslate();
}

void MotionPlot::retranslate()
{
    setWindowTitle(Title());
    m_planeLabel->setText(PlaneCaption());
    PauseButton->setText(m_paused ? Resume() : Pause());
    ClearButton->setText(Clear());
    SaveCsvButton->setText(SaveCsv());
    SaveImageButton->setText(SaveImage());
    m_hint->setText(Hint());
    m_positionRect->axis(QCPAxis::atLeft)->setLabel(Place());
    m_speedRect->axis(QCPAxis::atLeft)->setLabel(Speed());
    m_speedRect->axis(QCPAxis::atBottom)->setLabel(Time());
    m_x->setName(QStringLiteral("X"));
    m_y->setName(QStringLiteral("Y"));
    m_z->setName(QStringLiteral("Z"));
    m_speed->setName(PathSpeed());
    m_setSpeed->setName(SetSpeed());
    m_path->setName(Path());
    m_here->setName(Here());
    m_start->setName(Start());
    m_middle->setName(Middle());
    m_end->setName(End());
    if (!Result->text().isEmpty())
        showResult();
    Plot->replot(QCustomPlot::rpQueuedReplot);
}

