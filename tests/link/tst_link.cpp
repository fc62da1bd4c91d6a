// The link to the controller: the frames on the wire and the line settings, finding the
// controller, the replies and the watchdog, the transfers and the run-control commands, the
// emergency stop, against a scripted controller on a pseudo-terminal.
#include <QLabel>
#include <QtTest>
#include <termios.h>

#include "Rigs.h"
#include "link/Crc.h"
#include "ui/Colors.h"
#include "ui/CommPort.h"
#include "ui/FlexGrid.h"
#include "ui/WaitMs.h"

class TstLink : public QObject {
    Q_OBJECT
private slots:
    void lineSettingsAsTheControllerNeedsThem()
    {
        ToolRig rig;
        termios t{};
        QVERIFY(tcgetattr(rig.slaveFd(), &t) == 0);
        QCOMPARE(cfgetospeed(&t), speed_t(B19200));
        QCOMPARE(cfgetispeed(&t), speed_t(B19200));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(rig.w.Label3->text(), QStringLiteral("控制器已经连接！"));
    }
};

QTEST_MAIN(TstLink)
#include "tst_link.moc"
