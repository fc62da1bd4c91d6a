// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/MotionPlot.h"

#include "core/Files.h"
#include "ui/Prompter.h"
#include "core/Texts.h"

#include <QBuffer>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>
#include <qcustomplot.h>

using plot::MoveKind;
using plot::Plane;

namespace {
const text::Text CsvFilter{QT_TRANSLATE_NOOP("Trelmo", "CSV 文件 (*.csv)|*.csv")};
const text::Text PngFilter{QT_TRANSLATE_NOOP("Trelmo", "PNG 图片 (*.png)|*.png")};
const text::Text SaveFailed{QT_TRANSLATE_NOOP("Trelmo", "文件保存出错！")};
// The lines under the plot: the move by the name of its button, then its figures, then its speed.
const text::Text Moves[2][3] = {
    {{QT_TRANSLATE_NOOP("Trelmo", "XY直线插补")}, {QT_TRANSLATE_NOOP("Trelmo", "XZ直线插补")},
     {QT_TRANSLATE_NOOP("Trelmo", "YZ直线插补")}},
    {{QT_TRANSLATE_NOOP("Trelmo", "XY圆弧插补")}, {QT_TRANSLATE_NOOP("Trelmo", "XZ圆弧插补")},
     {QT_TRANSLATE_NOOP("Trelmo", "YZ圆弧插补")}}};
const text::Text Headed{QT_TRANSLATE_NOOP("Trelmo", "%1：%2")};
const text::Text Fitted{QT_TRANSLATE_NOOP("Trelmo", "拟合圆圆心 (%1, %2)，半径 %3 mm，读数离圆最远 %4 mm")};
const text::Text NotFitted{QT_TRANSLATE_NOOP("Trelmo", "读数不足以拟合出圆")};
const text::Text Swept{QT_TRANSLATE_NOOP("Trelmo", "，走向%1（设定%2）")};
const text::Text Clockwise{QT_TRANSLATE_NOOP("Trelmo", "顺")};
const text::Text CounterClockwise{QT_TRANSLATE_NOOP("Trelmo", "逆")};
const text::Text Through{QT_TRANSLATE_NOOP("Trelmo", "；过起点、中间点、终点的圆半径 %1 mm")};
const text::Text FromLine{QT_TRANSLATE_NOOP("Trelmo", "读数离起点到终点的直线最远 %1 mm")};
const text::Text Mean{QT_TRANSLATE_NOOP("Trelmo", "平均速度 %1 mm/s，设定速度 %2 mm/s")};
const text::Text MeanOnly{QT_TRANSLATE_NOOP("Trelmo", "平均速度 %1 mm/s")};
const text::Text NoMean{QT_TRANSLATE_NOOP("Trelmo", "移动中的读数太少，没有平均速度")};

QString Number(double value)
{
    return QString::fromLatin1(plot::Thousandths(value));
}

QString Turned(plot::Turn turn)
{
    return turn == plot::Turn::Clockwise ? Clockwise() : CounterClockwise();
}

QString Describe(const plot::MoveCheck &check)
{
    const plot::Move &move = check.move;
    const QString a(QChar::fromLatin1(FirstAxis(move.plane))), b(QChar::fromLatin1(SecondAxis(move.plane)));
    QString figures;
    if (move.kind == MoveKind::Circular) {
        if (check.fitted) {
            figures = Fitted().arg(a + u' ' + Number(check.fitted->centre.x()), b + u' ' + Number(check.fitted->centre.y()),
                                   Number(check.fitted->radius), Number(check.largestFromCircle));
            if (check.swept)
                figures += Swept().arg(Turned(*check.swept), Turned(move.turn));
        } else {
            figures = NotFitted();
        }
        if (check.throughPoints)
            figures += Through().arg(Number(check.throughPoints->radius));
    } else {
        figures = FromLine().arg(Number(check.largestFromLine));
    }
    // The speed on a line of its own, so that neither line breaks inside a figure.
    figures += u'\n';
    if (!check.meanSpeed)
        figures += NoMean();
    else if (std::isnan(move.setSpeed))
        figures += MeanOnly().arg(Number(*check.meanSpeed));
    else
        figures += Mean().arg(Number(*check.meanSpeed), Number(move.setSpeed));
    // A figure and its unit stay together where the line breaks.
    return Headed()
        .arg(Moves[move.kind == MoveKind::Circular][int(move.plane)](), figures)
        .replace(QStringLiteral(" mm"), QStringLiteral("\u00A0mm"));
}

// What a followed axis shows of `data`: what it shows already while that holds all of it and is
// at most twice as wide as needed, so that the axes move in steps rather than at every reading;
// otherwise, or `afresh`, the data with a tenth more on each side, and at least `least` wide.
QCPRange Following(const QCPRange &shown, const QCPRange &data, double least, bool afresh)
{
    const double wanted = std::max(data.size(), least) * 1.2;
    if (!afresh && shown.contains(data.lower) && shown.contains(data.upper) && shown.size() <= 2 * wanted)
        return shown;
    return {data.center() - wanted / 2, data.center() + wanted / 2};
}

// The range of what the plottables hold; none found: `found` stays false.
QCPRange Values(std::initializer_list<QCPAbstractPlottable *> plottables, bool &found)
{
    QCPRange all;
    found = false;
    for (QCPAbstractPlottable *p : plottables) {
        bool values = false;
        const QCPRange v = p->getValueRange(values);
        if (values)
            all = found ? QCPRange(std::min(all.lower, v.lower), std::max(all.upper, v.upper)) : v;
        found = found || values;
    }
    return all;
}
}  // namespace

void MotionPlot::addReading(qint64 ms, double x, double y, double z)
{
    const plot::MotionTrack::Step step = m_track.add(ms, {x, y, z});
    if (step == plot::MotionTrack::Step::MoveEnded)
        showResult();
    redrawSoon();
}

void MotionPlot::setSetSpeed(double mmPerS)
{
    m_track.setSetSpeed(mmPerS);
}

void MotionPlot::moveStarted(const plot::Move &move)
{
    m_track.moveStarted(move);
    Result->clear();
    setPlane(move.plane);
}

bool MotionPlot::moveRefused()
{
    if (!m_track.moveRefused())
        return false;
    redrawSoon();
    return true;
}

// The path in `plane`, shown whole.
void MotionPlot::setPlane(Plane plane)
{
    if (plane != m_plane || m_path->data()->isEmpty()) {
        m_plane = plane;
        PlaneChooser->setCurrentIndex(int(plane));
        QCPAxisRect *r = m_pathRect;
        r->axis(QCPAxis::atBottom)->setLabel(QStringLiteral("%1 (mm)").arg(QChar::fromLatin1(FirstAxis(plane))));
        r->axis(QCPAxis::atLeft)->setLabel(QStringLiteral("%1 (mm)").arg(QChar::fromLatin1(SecondAxis(plane))));
        // The path again, in the new plane, as far as it was shown.
        m_path->data()->clear();
        for (quint64 n = m_track.firstKept(); n < std::min(m_shown, m_track.added()); ++n) {
            const QPointF p = plot::InPlane(m_track.numbered(n).at, plane);
            m_path->addData(double(n), p.x(), p.y());
        }
    }
    m_followPath = m_pathAfresh = true;
    placeMarkers();
    Plot->replot(QCustomPlot::rpQueuedReplot);
}

void MotionPlot::setPaused(bool on)
{
    m_paused = on;
    retranslate();
    if (!on && drawn())
        redraw();
}

void MotionPlot::clear()
{
    m_track.clear();
    for (QCPGraph *g : {m_x, m_y, m_z, m_speed, m_setSpeed})
        g->data()->clear();
    m_path->data()->clear();
    m_shown = m_dropped = 0;
    m_followPath = m_followTime = m_pathAfresh = true;
    Result->clear();
    placeMarkers();
    Plot->replot(QCustomPlot::rpQueuedReplot);
}

void MotionPlot::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    redraw();
}

void MotionPlot::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    else if (event->type() == QEvent::WindowStateChange && drawn())
        redraw();
}

void MotionPlot::showResult()
{
    if (m_track.lastCheck())
        Result->setText(Describe(*m_track.lastCheck()));
}

bool MotionPlot::drawn() const
{
    return isVisible() && !isMinimized();
}

// At most one redraw every RedrawMs, and none while nobody can see it. The readings that came
// meanwhile are drawn with the next one.
void MotionPlot::redrawSoon()
{
    if (m_paused || !drawn() || m_redraw.isActive())
        return;
    const qint64 since = m_sinceRedraw.isValid() ? m_sinceRedraw.elapsed() : RedrawMs;
    if (since >= RedrawMs)
        redraw();
    else
        m_redraw.start(int(RedrawMs - since));
}

// The readings that came since the last redraw (none while paused), the markers and the axes.
void MotionPlot::catchUp()
{
    if (!m_paused)
        takeReadings();
    placeMarkers();
    if (m_followTime)
        fitTime();
    fitPath();
}

void MotionPlot::redraw()
{
    m_redraw.stop();
    m_sinceRedraw.start();
    catchUp();
    if (m_wholePlot)
        Plot->replot(QCustomPlot::rpQueuedReplot);
    else
        Plot->layer(QStringLiteral("main"))->replot();
}

double MotionPlot::key(const plot::Reading &r) const
{
    return double(r.ms - m_track.origin()) / 1000.0;
}

// The readings that came since the last redraw go into the plot's data, and those the track no
// longer keeps leave it.
void MotionPlot::takeReadings()
{
    const quint64 first = m_track.firstKept(), end = m_track.added();
    if (m_shown < first || m_shown > end) {
        // More came while paused than the track keeps.
        for (QCPGraph *g : {m_x, m_y, m_z, m_speed, m_setSpeed})
            g->data()->clear();
        m_path->data()->clear();
        m_shown = first;
        m_dropped = 0;
    } else if (!m_path->data()->isEmpty() && m_path->data()->constBegin()->t < double(first)) {
        m_dropped += first - quint64(m_path->data()->constBegin()->t);
        const double oldest = key(m_track.at(0));
        for (QCPGraph *g : {m_x, m_y, m_z, m_speed, m_setSpeed})
            g->data()->removeBefore(oldest);
        m_path->data()->removeBefore(double(first));
        // The points let go of stay in front of the others until they are packed away: packed
        // once they are a tenth of what the track keeps, the plot's memory stays bounded with it.
        if (m_dropped > quint64(m_track.capacity() / 10)) {
            for (QCPGraph *g : {m_x, m_y, m_z, m_speed, m_setSpeed})
                g->data()->squeeze(true, false);
            m_path->data()->squeeze(true, false);
            m_dropped = 0;
        }
    }
    for (quint64 n = m_shown; n < end; ++n) {
        const plot::Reading &r = m_track.numbered(n);
        const double t = key(r);
        m_x->addData(t, r.at.x);
        m_y->addData(t, r.at.y);
        m_z->addData(t, r.at.z);
        if (!std::isnan(r.speed))
            m_speed->addData(t, r.speed);
        if (!std::isnan(r.setSpeed))
            m_setSpeed->addData(t, r.setSpeed);
        const QPointF p = plot::InPlane(r.at, m_plane);
        m_path->addData(double(n), p.x(), p.y());
    }
    m_shown = end;
}

// The current position (the last reading shown), and the move's start, middle and end points.
void MotionPlot::placeMarkers()
{
    auto place = [this](QCPCurve *marker, const plot::Position *at) {
        marker->data()->clear();
        if (at) {
            const QPointF p = plot::InPlane(*at, m_plane);
            marker->addData(0, p.x(), p.y());
            m_wholePlot = marker->addToLegend(m_pathLegend) || m_wholePlot;
        } else {
            m_wholePlot = marker->removeFromLegend(m_pathLegend) || m_wholePlot;
        }
    };
    const bool any = m_shown > m_track.firstKept() && m_shown <= m_track.added();
    place(m_here, any ? &m_track.numbered(m_shown - 1).at : nullptr);
    const std::optional<plot::Move> &move = m_track.move();
    const bool started = move && m_track.moveStartKnown();
    place(m_start, started ? &move->start : nullptr);
    place(m_middle, move && move->kind == MoveKind::Circular ? &move->middle : nullptr);
    place(m_end, move ? &move->end : nullptr);
}

// All the readings kept, with room after the newest: the time axis moves in steps of a fifth.
void MotionPlot::fitTime(bool afresh)
{
    bool found = false;
    const QCPRange time = m_x->getKeyRange(found);
    if (!found)
        return;
    QCPAxis *axis = m_positionRect->axis(QCPAxis::atBottom);
    const QCPRange shown = axis->range();
    const double span = std::max(time.size(), 1.0);
    if (afresh || time.lower < shown.lower || time.lower > shown.lower + 0.05 * span || time.upper > shown.upper ||
        shown.size() > 2.4 * span)
        axis->setRange(time.lower, time.lower + 1.2 * span);
    QCPAxis *places = m_positionRect->axis(QCPAxis::atLeft);
    const QCPRange held = Values({m_x, m_y, m_z}, found);
    if (found)
        places->setRange(Following(places->range(), held, 1.0, afresh));
    // Speeds from 0.
    QCPAxis *speeds = m_speedRect->axis(QCPAxis::atLeft);
    const double fastest = std::max(Values({m_speed, m_setSpeed}, found).upper, 0.0);
    const double wanted = std::max(found ? fastest : 0.0, 1.0) * 1.2;
    if (afresh || speeds->range().lower != 0 || speeds->range().upper < wanted / 1.2 ||
        speeds->range().upper > 2 * wanted)
        speeds->setRange(0, wanted);
}

// The path's rectangle shows a millimetre as many pixels across as up. Following the readings,
// it shows all of them and the move's points, and at least a millimetre; like the time plots, it
// keeps its ranges while they hold everything and are at most twice as wide as needed.
void MotionPlot::fitPath()
{
    QCPAxis *across = m_pathRect->axis(QCPAxis::atBottom), *up = m_pathRect->axis(QCPAxis::atLeft);
    const double width = m_pathRect->width(), height = m_pathRect->height();
    if (width < 2 || height < 2)
        return;
    const double shown = across->range().size() / width;
    const bool equal = std::abs(up->range().size() / height - shown) <= 1e-9 * shown;
    if (!m_followPath) {
        if (!equal)
            up->setScaleRatio(across, 1.0);
        return;
    }
    bool any = false;
    QCPRange a, b;
    for (QCPCurve *c : {m_path, m_here, m_start, m_middle, m_end}) {
        bool found = false, also = false;
        const QCPRange ka = c->getKeyRange(found), kb = c->getValueRange(also);
        if (!found || !also)
            continue;
        a = any ? QCPRange(std::min(a.lower, ka.lower), std::max(a.upper, ka.upper)) : ka;
        b = any ? QCPRange(std::min(b.lower, kb.lower), std::max(b.upper, kb.upper)) : kb;
        any = true;
    }
    if (!any)
        return;
    const double needed = 1.2 * std::max({a.size() / width, b.size() / height, 1.0 / std::min(width, height)});
    const QCPRange x = across->range(), y = up->range();
    if (!m_pathAfresh && equal && shown <= 2 * needed && x.contains(a.lower) &&
        x.contains(a.upper) && y.contains(b.lower) && y.contains(b.upper))
        return;
    across->setRange(a.center() - needed * width / 2, a.center() + needed * width / 2);
    up->setRange(b.center() - needed * height / 2, b.center() + needed * height / 2);
    m_pathAfresh = false;
}

QByteArray MotionPlot::png()
{
    // What came since the last redraw is shown first, unless the plot is paused.
    catchUp();
    Plot->replot(QCustomPlot::rpImmediateRefresh);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !Plot->toPixmap().save(&buffer, "PNG"))
        return {};
    return bytes;
}

void MotionPlot::saveCsv()
{
    save(true);
}

void MotionPlot::saveImage()
{
    save(false);
}

void MotionPlot::save(bool csv)
{
    FileDialogRequest request;
    request.filter = csv ? CsvFilter() : PngFilter();
    request.folder = m_folder;
    request.initialName = QStringLiteral("motion-%1.%2")
                              .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
                                   csv ? QStringLiteral("csv") : QStringLiteral("png"));
    const QString path = m_prompter.saveFileName(request);
    if (path.isEmpty())
        return;
    const QByteArray bytes = csv ? m_track.csv() : png();
    if (bytes.isEmpty() || !files::WriteWhole(path, bytes)) {
        m_prompter.message(SaveFailed());
        return;
    }
    m_folder = QFileInfo(path).absolutePath();
}
