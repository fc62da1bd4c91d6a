// SPDX-License-Identifier: GPL-3.0-or-later
#include "Rigs.h"

#include "core/TrafficWords.h"
#include "protocol/RegisterMap.h"

#include <QMenu>

#include "ui/KeyAscii.h"

void type(QWidget *widget, const QString &text, int end)
{
    widget->setFocus();
    for (QChar c : text)
        QTest::keyClick(widget, c.toLatin1());
    if (end)
        QTest::keyClick(widget, Qt::Key(end));
}

bool menuPaste(QLineEdit *box)
{
    bool found = false;
    // Runs once the menu is up, whether it waits in a loop of its own or not.
    QTimer::singleShot(0, box, [&found, box] {
        QList<QMenu *> menus = box->findChildren<QMenu *>();
        if (auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget()))
            menus << popup;
        for (QMenu *menu : menus) {
            if (QAction *paste = PasteAction(*menu); paste && !found) {
                found = true;
                paste->trigger();
            }
            menu->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), box->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(box, &event);
    QCoreApplication::processEvents();
    return found;
}

bool ticks(QTimer *timer, int n)
{
    QSignalSpy spy(timer, &QTimer::timeout);
    return QTest::qWaitFor([&] { return spy.count() >= n; }, 60000);
}

bool Tool::lampChanges(Lamp *lamp, int times, int ms)
{
    int seen = 0;
    QColor last = lamp->fillColor();
    return QTest::qWaitFor(
        [&] {
            if (lamp->fillColor() != last) {
                last = lamp->fillColor();
                ++seen;
            }
            return seen >= times;
        },
        ms);
}

bool Tool::open(RunControl::Screen which)
{
    QPushButton *buttons[] = {w.Cmd3, w.Cmd4, w.Command9};
    Lamp *lamps[] = {manual()->Shape2, params()->Shape1, interp()->Shape2};
    // Over another screen the cycle of that screen keeps RequestTag busy.
    const bool other = manual()->isLoaded() || params()->isLoaded() || interp()->isLoaded();
    if (!other && !idle())
        return false;
    QTest::mouseClick(buttons[which], Qt::LeftButton);
    const int loaded = manual()->isLoaded() + params()->isLoaded() + interp()->isLoaded();  // one at a time
    return loaded == 1 && w.runControl().screen(which)->isLoaded() && lampChanges(lamps[which]);
}

ToolRig::ToolRig(int lines, bool start) : FakeController(static_cast<Pty &>(*this)), Tool({Pty::device()})
{
    registers[reg::PowerOnRun] = 0;
    storeProgram(lines);
    if (start)
        startAndSettle();
}

SimRig::SimRig(const QStringList &simArgs, bool start, const QString &log)
    : Tool({}), sim(std::make_unique<SimProcess>())
{
    sim->start(simArgs, log);
    devices = {sim->device};
    if (start && ok())
        startAndSettle();
}

QByteArray rec(int category, int command, std::initializer_list<qint64> parameters)
{
    QByteArray r(4, '\0');
    r[1] = char(category), r[3] = char(command);
    for (const qint64 v : parameters)
        r.append(char(v >> 8)).append(char(v)).append(char(v >> 24)).append(char(v >> 16));
    return r.leftJustified(24, '\0');
}

QStringList trafficRows(const Traffic &t, quint64 from, std::initializer_list<int> columns)
{
    QStringList rows;
    for (quint64 n = std::max(from, t.first()); n < t.end(); ++n) {
        QStringList cells;
        for (int c : columns)
            cells << traffic::Cell(t, n, c);
        rows << cells.join(u'|');
    }
    return rows;
}
