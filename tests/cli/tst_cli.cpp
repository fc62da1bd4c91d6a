// trelmo-cli as a test station runs it: against trelmo-sim and a scripted controller, with its
// exit codes, its log and its production loop; and the core it is built on, without windows.
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "Rigs.h"

using namespace Qt::StringLiterals;

namespace {
// A project file of `lines` lines whose bytes follow `seed`.
QByteArray project(int lines, int seed = 1)
{
    QByteArray b(12025, '\0');
    b[0] = char(lines >> 8), b[1] = char(lines);
    for (int i = 2; i < 2 + 24 * std::min(lines, 500); ++i)
        b[i] = char((i * 7 + seed) ^ (i >> 5));
    return b;
}

// trelmo-cli with `args`, its output and exit status; the test's own controllers keep answering
// while it runs.
struct Run {
    QProcess p;
    explicit Run(const QStringList &args)
    {
        p.setProcessEnvironment([] {
            auto e = QProcessEnvironment::systemEnvironment();
            e.insert("LANG", "C.UTF-8"), e.insert("LC_ALL", "C.UTF-8");
            return e;
        }());
        p.start(QStringLiteral(TRELMO_CLI_PATH), args);
    }
    bool finish(int ms = 60000) { return QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, ms); }
    int exit() const { return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1; }
    QString err() { return QString::fromUtf8(p.readAllStandardError()); }
};

// The requests a simulator's log shows from the line count's write to the next request that is
// no block of the program.
QStringList downloadFrames(const QString &log, int from = 0)
{
    QStringList out;
    for (const QString &line : log.split(u'\n').mid(from)) {
        const QString frame = line.section(u"<- "_s, 1);
        if (frame.startsWith(u"01 06 21 9C"_s) && !out.isEmpty())
            break;
        if (frame.startsWith(u"01 06 21 9C"_s) || (!out.isEmpty() && frame.startsWith(u"01 10"_s)))
            out << frame;
    }
    return out;
}
}  // namespace

class TstCli : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString file(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }

private slots:
    // The core and the command line on it link no window library.
    void noWindows()
    {
        QProcess readelf;
        readelf.start(u"readelf"_s, {u"-d"_s, QStringLiteral(TRELMO_CLI_PATH)});
        QVERIFY(readelf.waitForFinished() && readelf.exitCode() == 0);
        const QString needed = QString::fromLatin1(readelf.readAll());
        QVERIFY(needed.contains(u"libQt6Core"_s) && needed.contains(u"libQt6SerialPort"_s));
        QVERIFY2(!needed.contains(u"Gui"_s) && !needed.contains(u"Widgets"_s), qPrintable(needed));
    }

    // Each exit code from a real cause, with one line on stderr that says why, and nothing sent
    // where nothing may be.
    void exitCodes_data()
    {
        columns<QString, int, QString>("how", "exit", "says");
        row("a command that does not exist", "usage", 1, "Wrong command line");
        row("a project counting 768 lines", "768", 2, "Not a usable project file");
        row("a project that is not there", "missing", 2, "Not a usable project file");
        row("a device that is not there", "device", 3, "No usable serial port found!");
        row("a line with nothing behind it", "silent", 4, "no controller answers");
        row("a controller set to run at power-on", "auto-run", 7, "First set the run mode");
        row("a controller whose memory fails", "faulty", 5, "line 2, Parameter 4: project 0.1, controller 0.101");
    }
    void exitCodes()
    {
        QFETCH(QString, how);
        ToolRig controller(0, false);
        controller.silent = how == "silent";
        controller.registers[8573] = how == "auto-run" ? 1 : 0;
        QByteArray bytes = project(12);
        if (how == "faulty")  // line 2 "参数4" is 100 thousandths; the controller keeps 101
            controller.filter = [&](const QByteArray &, const QByteArray &reply) {
                controller.registers[12 + 8] = quint16(controller.registers.value(12 + 8) | 1);
                return reply;
            };
        bytes[2 + 24 + 16] = 0, bytes[2 + 24 + 17] = 100, bytes[2 + 24 + 18] = 0, bytes[2 + 24 + 19] = 0;
        if (how == "768")
            bytes[0] = 3, bytes[1] = 0;
        const QString path = how == "missing" ? dir.filePath(u"none"_s) : file(u"p"_s, bytes);
        const QString device = how == "device" ? u"/dev/trelmo-none"_s : controller.device();
        Run cli(how == "usage" ? QStringList{u"flash"_s, path} : QStringList{u"download"_s, path, u"--port"_s, device});
        QVERIFY(cli.finish());
        QTEST(cli.exit(), "exit");
        const QString err = cli.err();
        QFETCH(QString, says);
        QVERIFY2(err.contains(says), qPrintable(err));
        if (how == "auto-run")  // the two probes, nothing else
            QCOMPARE(controller.requests.size(), 2);
    }

    // A project to a CSV table and back, byte for byte; the wrong pair of files, or a table that is
    // no program, refused.
    void convert_data()
    {
        columns<QString, QString, int, QString>("from", "to", "exit", "says");
        row("to a table", "p.dat", "p.csv", 0, "Converted: 12 lines, written to ");
        row("back", "p.csv", "back.dat", 0, "Converted: 12 lines, written to ");
        row("two projects", "p.dat", "back.dat", 1, "convert takes one project file and one .csv file");
        row("a table that is no program", "bad.csv", "x.dat", 2,
            "Row 2, column 3 (Parameter 1): \"1.2345\" is not a number");
        row("no table", "none.csv", "x.dat", 2, "Not a usable project file or CSV table");
    }
    void convert()
    {
        file(u"p.dat"_s, project(12));
        file(u"bad.csv"_s, "指令集,命令,参数1,参数2,参数3,参数4,参数5\n1,1,1.2345,0,0,0,0\n");
        QFETCH(QString, from);
        QFETCH(QString, to);
        Run cli({u"convert"_s, dir.filePath(from), dir.filePath(to)});
        QVERIFY(cli.finish());
        QTEST(cli.exit(), "exit");
        const QString err = cli.err();
        QFETCH(QString, says);
        QVERIFY2(err.contains(says), qPrintable(err));
        if (to == u"back.dat"_s && cli.exit() == 0) {
            QFile back(dir.filePath(to));
            QVERIFY(back.open(QIODevice::ReadOnly));
            QCOMPARE(back.readAll(), project(12));
        }
    }

    // The command line writes a program with the window's frames, in the window's order, and its
    // verify passes; killed in the middle, the controller leaves it cut short.
    void theWindowsFrames()
    {
        const QString log = dir.filePath(u"sim.log"_s);
        SimProcess sim;
        QVERIFY(sim.start({u"--wire-time"_s, u"--log"_s}, log));
        const QString path = file(u"p500"_s, project(500, 3));
        {
            Tool window({sim.device});
            window.start();
            QVERIFY(window.idle());
            window.prompter.fileNames.enqueue(path);
            QTest::mouseClick(window.w.Command10, Qt::LeftButton);  // "打开工程"
            QTest::mouseClick(window.w.Command8, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!window.w.transfer().downloading(), 30000);
            QCOMPARE(window.prompter.messages, QStringList());
        }
        const auto lines = [&] {
            QFile f(log);
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(u'\n') : QStringList();
        };
        const int seen = int(lines().size());
        const QStringList byWindow = downloadFrames(lines().join(u'\n'));
        QCOMPARE(byWindow.size(), 51);
        Run cli({u"download"_s, path, u"--port"_s, sim.device, u"--json"_s});
        QVERIFY(cli.finish());
        QCOMPARE(cli.exit(), 0);
        QVERIFY(cli.p.readAllStandardOutput().contains("\"equal\":true"));
        QCOMPARE(downloadFrames(lines().join(u'\n'), seen), byWindow);

        Run cut({u"download"_s, path, u"--port"_s, sim.device});
        QVERIFY(QTest::qWaitFor([&] { return cut.p.readAllStandardError().contains("Download 50/500"); }, 30000));
        sim.stop();
        QVERIFY(cut.finish());
        QCOMPARE(cut.exit(), 6);
    }

    // The production loop: twenty units, the simulator started anew on the same link for each;
    // one with a memory fault fails, is logged as failed, and the loop goes on. Ctrl+C ends it
    // with a summary.
    void productionLoop()
    {
        const QString link = dir.filePath(u"controller"_s), log = dir.filePath(u"units.csv"_s);
        const QString path = file(u"p12"_s, project(12));
        Run cli({u"download"_s, path, u"--repeat"_s, u"--port"_s, link, u"--log"_s, log});
        const auto logged = [&] {
            QFile f(log);
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                               : QStringList();
        };
        for (int unit = 1; unit <= 20; ++unit) {
            SimProcess sim;
            QStringList args{u"--link"_s, link};
            if (unit == 10)
                args << u"--faulty-register"_s << u"30"_s;
            QVERIFY(sim.start(args));
            QVERIFY2(QTest::qWaitFor([&] { return logged().size() == unit + 1; }, 20000), qPrintable(logged().join('\n')));
        }
        ::kill(pid_t(cli.p.processId()), SIGINT);
        QVERIFY(cli.finish());
        QCOMPARE(cli.exit(), 130);
        QVERIFY(cli.err().contains("20 units: 19 passed, 1 failed."));
        const QStringList units = logged();
        QCOMPARE(units.first(), u"time,port,project,sha256,lines,result,seconds,first difference"_s);
        const QString sha = QString::fromLatin1(QCryptographicHash::hash(project(12), QCryptographicHash::Sha256).toHex());
        for (int unit = 1; unit <= 20; ++unit) {
            const QStringList f = units[unit].split(u',');
            QVERIFY2(f.size() >= 8 && f[3] == sha && f[4] == u"12"_s, qPrintable(units[unit]));
            QCOMPARE(f[5], unit == 10 ? u"different"_s : u"ok"_s);
        }
    }
};

QTEST_MAIN(TstCli)
#include "tst_cli.moc"
