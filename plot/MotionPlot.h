// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "运动轨迹": the motion plot, opened beside the manual or the interpolation screen. It draws the
// positions the open screen reads anyway, one reading per status reply accepted: the path in a
// plane with equal scales and the current position (and an interpolation move's start, middle
// and end points), X, Y and Z against time, and the path speed against time with the set speed as
// a line. Under the plot, one line with the figures of the last interpolation move that ended.
// It sends nothing and asks the screens for nothing: it is fed.
//
// Feeding (all on the window's thread, cheap whether the window is shown or not):
//   addReading(ms, x, y, z)  a status reply accepted, timed when it arrived (ms on one steady
//                            clock), the positions in mm. A refresh that only shows the old buffer
//                            again after the watchdog gave up is no reading; a reply whose boxes
//                            are skipped after a command is one.
//   setSetSpeed(mmPerS)      the manual or interpolation speed as the screen read it.
//   moveStarted(move)        an interpolation move went out: kind, plane, middle and end points,
//                            the arc direction as its register holds it, the set speed (Unknown:
//                            the one last set). Its start is the position of the last reading.
//                            The plot shows the move's plane from here on.
//   moveRefused()            the controller refused it: it gets no line under the plot.
//   setPlane(plane)          the plane the path is drawn in.
//
// The plot is redrawn at most every RedrawMs (with every second reading at five a second), and
// not at all while hidden, minimised or paused; readings are kept meanwhile (the last
// MotionTrack::Capacity of them). While the axes follow the readings they move in steps, so that
// most redraws draw the plottables' layer alone.
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include "plot/MotionTrack.h"

class Prompter;
class QComboBox;
class QCPAxisRect;
class QCPCurve;
class QCPGraph;
class QCPLegend;
class QCustomPlot;
class QLabel;
class QPushButton;

class MotionPlot : public QWidget {
    Q_OBJECT
public:
    static constexpr int RedrawMs = 400;

    explicit MotionPlot(Prompter &prompter, QWidget *parent = nullptr);

    void addReading(qint64 ms, double x, double y, double z);
    void setSetSpeed(double mmPerS);
    void moveStarted(const plot::Move &move);
    bool moveRefused();
    void setPlane(plot::Plane plane);
    plot::Plane plane() const { return m_plane; }

    void setPaused(bool on);
    bool paused() const { return m_paused; }
    // Forgets every reading and the move.
    void clear();
    // "保存 CSV…" and "保存图片…": a file chosen through the prompter, written whole or not at all.
    void saveCsv();
    void saveImage();

    const plot::MotionTrack &track() const { return m_track; }
    // The plot as the window shows it now, as PNG bytes.
    QByteArray png();

    QComboBox *PlaneChooser;
    QCustomPlot *Plot;
    QLabel *Result;
    QPushButton *PauseButton, *ClearButton, *SaveCsvButton, *SaveImageButton;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void showResult();
    void redrawSoon();
    void redraw();
    void catchUp();
    void takeReadings();
    void placeMarkers();
    void fitTime(bool afresh = false);
    void fitPath();
    double key(const plot::Reading &r) const;
    bool drawn() const;
    void save(bool csv);

    plot::MotionTrack m_track;
    Prompter &m_prompter;
    plot::Plane m_plane = plot::Plane::XY;
    bool m_paused = false;
    bool m_followPath = true, m_followTime = true;
    bool m_pathAfresh = true;  // the path's ranges are fitted afresh at the next fit
    bool m_wholePlot = true;  // more than the plottables has changed since the plot was last drawn
    QCPAxisRect *m_dragged = nullptr;
    quint64 m_shown = 0;  // readings up to here are in the plot's data
    quint64 m_dropped = 0;  // readings let go of since the plot's data were last packed
    QTimer m_redraw;
    QElapsedTimer m_sinceRedraw;
    QString m_folder;

    QLabel *m_planeLabel, *m_hint;
    QCPAxisRect *m_pathRect, *m_positionRect, *m_speedRect;
    QCPLegend *m_pathLegend;
    QCPCurve *m_path, *m_here, *m_start, *m_middle, *m_end;
    QCPGraph *m_x, *m_y, *m_z, *m_speed, *m_setSpeed;
};
