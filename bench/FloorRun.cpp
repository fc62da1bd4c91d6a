// The floor under the tool's CPU figure: a bare Qt program woken as the manual screen wakes the
// tool, and doing nothing else. Two windows, the main window's two 100-ms timers, the screen's
// 200-ms refresh and 100-ms watchdog, the same status read every 200 ms with its reply, a box
// whose text changes every 100 ms and a lamp whose colour changes every 200 ms.
#include <QApplication>
#include <QLabel>
#include <QSerialPort>
#include <QTimer>

#include "ToolRun.h"
#include "protocol/Crc.h"
#include "protocol/Frames.h"
#include "protocol/RegisterMap.h"

int RunFloor(const QString &device)
{
    QWidget mainWindow;
    mainWindow.resize(1180, 820);
    QLabel box(&mainWindow);
    box.setGeometry(1120, 790, 50, 22);
    mainWindow.show();
    QWidget screen;
    screen.resize(640, 520);
    QLabel lamp(&screen);
    lamp.setGeometry(20, 20, 22, 22);
    lamp.setAutoFillBackground(true);
    screen.show();

    QSerialPort port(device);
    if (!port.open(QIODevice::ReadWrite))
        return 1;
    QByteArray request;
    frames::BuildHeader(request, 1, 3, reg::Status, reg::StatusCount);
    const std::uint16_t crc = ModbusCrc(reinterpret_cast<const std::uint8_t *>(request.constData()), 6);
    request.append(char(crc & 0xFF)).append(char(crc >> 8));
    QObject::connect(&port, &QSerialPort::readyRead, [&port] { port.readAll(); });

    QTimer mainTimer1, mainTimer2, refresh, watchdog;
    bool odd = false, lit = false;
    QObject::connect(&mainTimer1, &QTimer::timeout, [&] { box.setText((odd = !odd) ? "5" : "6"); });
    QObject::connect(&mainTimer2, &QTimer::timeout, [] {});
    QObject::connect(&watchdog, &QTimer::timeout, [] {});
    QObject::connect(&refresh, &QTimer::timeout, [&] {
        QPalette p = lamp.palette();
        p.setColor(QPalette::Window, (lit = !lit) ? Qt::cyan : screen.palette().color(QPalette::Window));
        lamp.setPalette(p);
        port.write(request);
        port.flush();
    });
    mainTimer1.start(100);
    mainTimer2.start(100);
    refresh.start(200);
    watchdog.start(100);
    return QApplication::exec();
}
