// SPDX-License-Identifier: GPL-3.0-or-later
// The tool against a libmodbus slave: two pseudo-terminals joined back to back, the tool on
// one, libmodbus on the other. The slave holds a 37-line program; the tool reads it, shows
// it, and writes an edited program back.
#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include "Rigs.h"
#include "ui/FlexGrid.h"
#include "ui/Widgets.h"

namespace {
// Copies bytes both ways between the master sides of two pseudo-terminals.
class Bridge {
public:
    Bridge(Pty &a, Pty &b)
        : m_a(a), m_b(b), m_na(a.masterFd(), QSocketNotifier::Read), m_nb(b.masterFd(), QSocketNotifier::Read)
    {
        QObject::connect(&m_na, &QSocketNotifier::activated, [this] { m_b.write(m_a.readAvailable()); });
        QObject::connect(&m_nb, &QSocketNotifier::activated, [this] { m_a.write(m_b.readAvailable()); });
    }

private:
    Pty &m_a, &m_b;
    QSocketNotifier m_na, m_nb;
};

}  // namespace

class TstInterop : public QObject {
    Q_OBJECT
private slots:
    void uploadAndDownloadAgainstLibmodbus()
    {
        Pty toolSide, slaveSide;
        QVERIFY(toolSide.ok() && slaveSide.ok());
        Bridge bridge(toolSide, slaveSide);
        QTemporaryDir dir;
        const QString dumpPath = dir.filePath(QStringLiteral("slave.bin"));
        QProcess slave;
        slave.start(QStringLiteral(FIXTURE_PATH), {slaveSide.device(), QStringLiteral("37"), dumpPath});
        QVERIFY(slave.waitForStarted(5000));
        QVERIFY(slave.waitForReadyRead(5000));
        QCOMPARE(slave.readLine().trimmed(), QByteArray("ready"));
        auto slaveImage = [&] {
            QFile f(dumpPath);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };

        Tool tool({toolSide.device()});
        auto &[state, prompter, devices, w, settled] = tool;
        tool.startAndSettle();
        QVERIFY(settled);
        QVERIFY2(prompter.messages.isEmpty(), qPrintable(prompter.messages.join(u'|')));
        QCOMPARE(w.Text1->text(), QStringLiteral("37"));
        QCOMPARE(w.MSFlexGrid1->rows(), 38);
        const QByteArray held = slaveImage();
        QCOMPARE(tool.image(0, 2 + 24 * 37), held.left(2 + 24 * 37));
        QCOMPARE(w.MSFlexGrid1->textMatrix(37, 0), QStringLiteral("37"));
        QVERIFY(!w.MSFlexGrid1->textMatrix(37, 3).isEmpty());

        // Edit: a program of 23 lines with new records, downloaded into the slave.
        w.status().setAutoRun(false);
        for (int i = 2; i < 2 + 24 * 23; ++i)
            state.ProgramImage[std::size_t(i)] = std::uint8_t(255 - i % 251);
        w.Text1->setText(QStringLiteral("23"));
        QTest::mouseClick(w.Command8, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(BackColor(w.Command8), QColor(255, 255, 192), 20000);  // the last block echoed
        QVERIFY(tool.idle());
        QTRY_COMPARE_WITH_TIMEOUT(slaveImage().left(2), QByteArray("\x00\x17", 2), 5000);
        QCOMPARE(slaveImage().mid(2, 24 * 23), tool.image(2, 24 * 23));
        QVERIFY(prompter.messages.isEmpty());

        slave.terminate();
        QVERIFY(slave.waitForFinished(5000));
    }
};

QTEST_MAIN(TstInterop)
#include "tst_interop.moc"
