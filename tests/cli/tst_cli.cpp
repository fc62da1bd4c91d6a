// trelmo-cli as a test station runs it: against trelmo-sim and a scripted controller, with its
// exit codes, its log and its production loop; and the core it is built on, without windows.
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "Rigs.h"
#include "core/ParameterFile.h"

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
        row("a trace that cannot be written", "trace", 1, "Cannot write the trace file");
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
        Run cli(how == "usage"   ? QStringList{u"flash"_s, path}
                : how == "trace" ? QStringList{u"download"_s, path, u"--port"_s, device, u"--trace"_s, dir.path()}
                                 : QStringList{u"download"_s, path, u"--port"_s, device});
        QVERIFY(cli.finish());
        QTEST(cli.exit(), "exit");
        const QString err = cli.err();
        QFETCH(QString, says);
        QVERIFY2(err.contains(says), qPrintable(err));
        if (how == "auto-run" || how == "trace")  // the two probes, or nothing at all
            QCOMPARE(controller.requests.size(), how == "trace" ? 0 : 2);
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
    // verify passes; its trace has every frame; killed in the middle, the controller leaves it cut
    // short.
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
        const QString trace = dir.filePath(u"trace.txt"_s);
        Run cli({u"download"_s, path, u"--port"_s, sim.device, u"--json"_s, u"--trace"_s, trace});
        QVERIFY(cli.finish());
        QCOMPARE(cli.exit(), 0);
        QVERIFY(cli.p.readAllStandardOutput().contains("\"equal\":true"));
        QCOMPARE(downloadFrames(lines().join(u'\n'), seen), byWindow);
        // The trace: every frame the controller got, in order, and the counts at the end.
        QFile traced(trace);
        QVERIFY(traced.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(traced.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QStringList sent, got;
        for (const QString &row : rows.filter(QRegularExpression(u"^ +[0-9.]+ .* TX "_s)))
            sent << row.section(QRegularExpression(u"  +"_s), -1);
        for (const QString &line : lines().mid(seen))
            if (line.contains(u"<- "_s))
                got << line.section(u"<- "_s, 1);
        QCOMPARE(sent, got);
        QVERIFY2(rows.last().startsWith(u"# requests %1 · replies %1 · "_s.arg(got.size())), qPrintable(rows.last()));

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
    // The axis parameters: saved (the same bytes twice from the same controller), three values
    // changed in the controller's memory, compared (exactly those three differ), restored (exactly
    // three writes, each the frame the screen's ENTER sends), compared again (equal).
    void parametersSavedComparedRestored()
    {
        const QString state = dir.filePath(u"state"_s), log = dir.filePath(u"params.log"_s);
        const QString saved = dir.filePath(u"a.trelmo-params"_s), again = dir.filePath(u"b.trelmo-params"_s);
        auto sim = std::make_unique<SimProcess>(QStringList{u"--state"_s, state});
        const auto params = [&](const QStringList &args) {
            Run cli(QStringList{u"params"_s} + args + QStringList{u"--port"_s, sim->device});
            return cli.finish() ? std::pair{cli.exit(), QString::fromUtf8(cli.p.readAllStandardOutput())}
                                : std::pair{-1, QString()};
        };
        QCOMPARE(params({u"save"_s, saved}).first, 0);
        QCOMPARE(params({u"save"_s, again}).first, 0);
        QFile a(saved), b(again);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
        QVERIFY(params({u"diff"_s, saved}).first == 0);
        // The controller's memory, changed where nothing feeds the pulse equivalent.
        QProcess mbpoll;  // coil 34: the controller keeps its memory in its state file
        mbpoll.start(QStringLiteral(TRELMO_MBPOLL_PATH),
                     {"-m", "rtu", "-b", "19200", "-P", "none", "-a", "1", "-1", "-t", "0", "-r", "35", sim->device, "1"});
        QVERIFY(mbpoll.waitForFinished(20000) && mbpoll.exitCode() == 0);
        sim.reset();
        QFile memory(state);
        QVERIFY(memory.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(memory.readAll());
        memory.close();
        text.replace(QRegularExpression(u"\n8201 \\d+"_s), u"\n8201 7000"_s)
            .replace(QRegularExpression(u"\n8216 \\d+"_s), u"\n8216 3000"_s)
            .replace(QRegularExpression(u"\n8549 \\d+"_s), u"\n8549 250"_s)
            .replace(QRegularExpression(u"\n8550 \\d+"_s), u"\n8550 0"_s);
        QVERIFY(memory.open(QIODevice::WriteOnly | QIODevice::Truncate));
        memory.write(text.toUtf8());
        memory.close();
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->start({u"--state"_s, state, u"--log"_s}, log));
        const auto [exit, table] = params({u"diff"_s, saved});
        QCOMPARE(exit, 5);
        const QStringList differing = table.split(u'\n').mid(1).filter(QRegularExpression(u"\t\\S+$"_s));
        QCOMPARE(differing, (QStringList{u"X\tJog accel.\t100\t0.25\tdiffers"_s, u"X\t2nd homing speed\t5\t7\tdiffers"_s,
                                         u"Y\tHome back-off\t2\t3\tdiffers"_s}));
        QCOMPARE(params({u"restore"_s, saved, u"--yes"_s}).first, 0);
        QFile frames(log);
        QVERIFY(frames.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(frames.readAll()).split(u'\n').filter(u"<- 01 10"_s).replaceInStrings(
                     QRegularExpression(u"^.*<- "_s), QString()),
                 (QStringList{u"01 10 21 65 00 02 04 86 A0 00 01 49 43"_s, u"01 10 20 09 00 02 04 13 88 00 00 2E AA"_s,
                              u"01 10 20 18 00 02 04 07 D0 00 00 6A 49"_s}));
        QCOMPARE(params({u"diff"_s, saved}).first, 0);
    }

    // A parameter file that is not whole and right is refused, its line named, before anything
    // goes to the controller.
    void badParameterFiles_data()
    {
        columns<QString, QString, QString>("from", "to", "says");
        row("another file", "Trelmo 轴参数 axis parameters", "Trelmo project", "line 1: not a parameter file");
        row("another format", "格式 format\t1", "格式 format\t2", "line 2: parameter file format 2 cannot be read");
        row("a value missing", "\nZ\t原点回退距离\tHome back-off\t2\t8229-8230", "", "line 28: Z Home back-off missing");
        row("a value given twice", "Y\t细分", "X\t细分", "line 15: X Microstep given twice");
        row("an unknown line", "Y\t细分\tMicrostep\t1600", "Y\t细分\tMicrostep\t1600\textra\tmore", "line 15: unknown line");
        row("an origin direction of 2", "X\t原点方向\tHome direction\t0", "X\t原点方向\tHome direction\t2",
            "line 10: X Home direction: The input must be 0 or 1!");
        row("a negative lead", "X\t导程/\tLead (mm)\t5", "X\t导程/\tLead (mm)\t-5", "line 6: X Lead (mm): Invalid input!");
        row("a number too large", "X\t行程(mm)\tTravel (mm)\t300", "X\t行程(mm)\tTravel (mm)\t2147484",
            "line 9: X Travel (mm): Invalid input!");
        row("not a number", "X\t细分\tMicrostep\t1600", "X\t细分\tMicrostep\t16oo", "line 7: X Microstep: not a number");
        row("the wrong registers", "8196-8197", "8196-8198", "line 7: X Microstep: the registers are 8196-8197");
    }
    void badParameterFiles()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, says);
        ToolRig controller(0, false);
        param::Values values{};
        values[1] = 5000, values[2] = 1600, values[3] = 300000, values[5] = 2000, values[6] = 2000;
        for (int axis = 1; axis < 3; ++axis)
            std::copy_n(values.begin(), 7, values.begin() + 7 * axis);
        values[21] = values[22] = values[23] = 100000;
        QString text = QString::fromUtf8(param::WriteFile(values));
        QVERIFY2(text.contains(from), qPrintable(from));
        const QString path = file(u"p.trelmo-params"_s, text.replace(from, to).toUtf8());
        Run cli({u"params"_s, u"restore"_s, path, u"--yes"_s, u"--port"_s, controller.device()});
        QVERIFY(cli.finish());
        QCOMPARE(cli.exit(), 2);
        const QString err = cli.err();
        QVERIFY2(err.contains(says), qPrintable(err));
        QCOMPARE(controller.requests.size(), 0);
    }
};

QTEST_MAIN(TstCli)
#include "tst_cli.moc"
