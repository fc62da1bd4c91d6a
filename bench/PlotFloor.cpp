// SPDX-License-Identifier: GPL-3.0-or-later
// The floor under the motion plot's CPU figure: a bare Qt program that draws the same points with
// the same library at the same rate, and nothing else. One QCustomPlot of the window's size with
// the same three rectangles, the path and the current position in the XY plane at equal scales,
// X, Y, Z, the path speed and the set speed against time, each fitted to all the points and
// replotted once per reading, five readings a second; no buttons, legends, moves or bookkeeping.
#include <QTimer>
#include <cmath>
#include <qcustomplot.h>

#include "PlotFeed.h"

int RunPlotFloor(QSize size)
{
    using namespace plotbench;
    QCustomPlot plot;
    plot.setWindowTitle(QStringLiteral("plot floor"));
    plot.resize(size);
    plot.setPlottingHint(QCP::phFastPolylines, true);
    plot.plotLayout()->clear();
    auto *pathRect = new QCPAxisRect(&plot), *placeRect = new QCPAxisRect(&plot), *speedRect = new QCPAxisRect(&plot);
    auto *times = new QCPLayoutGrid;
    plot.plotLayout()->addElement(0, 0, pathRect);
    plot.plotLayout()->addElement(0, 1, times);
    plot.plotLayout()->setColumnStretchFactors({1.0, 1.25});
    times->addElement(0, 0, placeRect);
    times->addElement(1, 0, speedRect);
    pathRect->axis(QCPAxis::atBottom)->setLabel(QStringLiteral("X (mm)"));
    pathRect->axis(QCPAxis::atLeft)->setLabel(QStringLiteral("Y (mm)"));
    placeRect->axis(QCPAxis::atLeft)->setLabel(QStringLiteral("位置 (mm)"));
    speedRect->axis(QCPAxis::atLeft)->setLabel(QStringLiteral("速度 (mm/s)"));
    speedRect->axis(QCPAxis::atBottom)->setLabel(QStringLiteral("时间 (s)"));
    auto graph = [&plot](QCPAxisRect *rect, const QPen &pen) {
        QCPGraph *g = plot.addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        g->setPen(pen);
        return g;
    };
    QCPGraph *x = graph(placeRect, QPen(QColor(200, 40, 40))), *y = graph(placeRect, QPen(QColor(30, 140, 50))),
             *z = graph(placeRect, QPen(QColor(40, 70, 200))), *speed = graph(speedRect, QPen(QColor(20, 20, 20))),
             *set = graph(speedRect, QPen(QColor(230, 120, 0), 1.5, Qt::DashLine));
    set->setLineStyle(QCPGraph::lsStepLeft);
    auto *path = new QCPCurve(pathRect->axis(QCPAxis::atBottom), pathRect->axis(QCPAxis::atLeft));
    path->setPen(QPen(QColor(30, 90, 170)));
    auto *here = new QCPCurve(pathRect->axis(QCPAxis::atBottom), pathRect->axis(QCPAxis::atLeft));
    here->setLineStyle(QCPCurve::lsNone);
    here->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssCrossCircle, QPen(QColor(220, 0, 0), 2), Qt::NoBrush, 15));

    qint64 n = 0;
    plot::Position last;
    auto add = [&] {
        const plot::Position p = FeedPosition(n);
        const double t = double(FeedTime(n)) / 1000.0;
        x->addData(t, p.x);
        y->addData(t, p.y);
        z->addData(t, p.z);
        if (n > 0)
            speed->addData(t, std::hypot(p.x - last.x, p.y - last.y, p.z - last.z) * 1000.0 / FeedMs);
        set->addData(t, SetSpeed);
        path->addData(double(n), p.x, p.y);
        here->data()->clear();
        here->addData(0, p.x, p.y);
        last = p;
        ++n;
    };
    auto fit = [&] {
        bool found = false;
        const QCPRange time = x->getKeyRange(found);
        placeRect->axis(QCPAxis::atBottom)->setRange(time.lower, time.upper + 0.02 * time.size());
        speedRect->axis(QCPAxis::atBottom)->setRange(time.lower, time.upper + 0.02 * time.size());
        QCPRange places = x->getValueRange(found);
        for (QCPGraph *g : {y, z}) {
            const QCPRange r = g->getValueRange(found);
            places = QCPRange(std::min(places.lower, r.lower), std::max(places.upper, r.upper));
        }
        placeRect->axis(QCPAxis::atLeft)->setRange(places.center() - places.size() * 0.55,
                                                   places.center() + places.size() * 0.55);
        const double fastest = std::max(speed->getValueRange(found).upper, set->getValueRange(found).upper);
        speedRect->axis(QCPAxis::atLeft)->setRange(0, fastest * 1.1);
    };
    QObject::connect(&plot, &QCustomPlot::afterLayout, [&] {
        bool found = false;
        const QCPRange a = path->getKeyRange(found), b = path->getValueRange(found);
        const double w = pathRect->width(), h = pathRect->height();
        const double mmPerPixel = 1.1 * std::max(a.size() / w, b.size() / h);
        pathRect->axis(QCPAxis::atBottom)->setRange(a.center() - mmPerPixel * w / 2, a.center() + mmPerPixel * w / 2);
        pathRect->axis(QCPAxis::atLeft)->setRange(b.center() - mmPerPixel * h / 2, b.center() + mmPerPixel * h / 2);
    });
    while (n < Prefill)
        add();
    fit();
    plot.show();

    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        add();
        fit();
        plot.replot(QCustomPlot::rpQueuedReplot);
    });
    feed.start(FeedMs);
    return QApplication::exec();
}
