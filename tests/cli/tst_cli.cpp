// SPDX-License-Identifier: GPL-3.0-or-later
// trelmo-cli as a test station runs it: against trelmo-sim and a scripted controller, with its
// exit codes, its log and its production loop; and the core it is built on, without windows.
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>

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

// `lines` lines of random records and leftovers past them; the fifth parameter of the last line
// is negative, its bits 23 to 16 (the record's last byte) anything but 0.
QByteArray randomProject(int lines)
{
    QRandomGenerator random{quint32(lines)};
    QByteArray b(12025, '\0');
    for (int i = 2; i < 12002; ++i)
        b[i] = char(random.bounded(256));
    b[0] = char(lines >> 8), b[1] = char(lines);
    const int last = 2 + 24 * (lines - 1);
    b[last + 22] = char(0x80 | b[last + 22]), b[last + 23] = char(0x01 | b[last + 23]);
    return b;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QStringList lines(const QString &path)
{
    return QString::fromUtf8(readAll(path)).split(u'\n', Qt::SkipEmptyParts);
}

// trelmo-cli with `args`, its output and exit status; the test's own controllers keep answering
// while it runs. `input`: the file (a terminal) its standard input reads.
struct Run {
    QProcess p;
    QString out, err;
    // `inputFd`: standard input on that descriptor of this process instead of `input`.
    explicit Run(const QStringList &args, const QString &input = QProcess::nullDevice(), int inputFd = -1)
    {
        p.setProcessEnvironment([] {
            auto e = QProcessEnvironment::systemEnvironment();
            e.insert("LANG", "C.UTF-8"), e.insert("LC_ALL", "C.UTF-8");
            return e;
        }());
        p.setStandardInputFile(input);
        if (inputFd >= 0)
            p.setChildProcessModifier([inputFd] { ::dup2(inputFd, STDIN_FILENO); });
        p.start(QStringLiteral(TRELMO_CLI_PATH), args);
    }
    bool finish(int ms = 60000)
    {
        const bool ended = QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, ms);
        out += QString::fromUtf8(p.readAllStandardOutput()), err += QString::fromUtf8(p.readAllStandardError());
        return ended;
    }
    // Waits until standard error has said `what`.
    bool says(const QString &what, int ms = 30000)
    {
        return QTest::qWaitFor([&] { return (err += QString::fromUtf8(p.readAllStandardError())).contains(what); }, ms);
    }
    int exit() const { return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1; }
    void signal(int n) { ::kill(pid_t(p.processId()), n); }
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

    // Each exit code from a real cause, with one line on stderr that says why, the unit in the log
    // (port named, the new log with its byte-order mark), and nothing sent where nothing may be.
    void exitCodes_data()
    {
        columns<QString, int, QString>("how", "exit", "says");
        row("a command that does not exist", "flash", 1, "no such command: flash");
        row("an option of another command", "--yes", 1, "--yes does not apply to download");
        row("a port named empty", "--port=", 1, "--port needs a value");
        row("a port without a name", "--port", 1, "Missing value after '--port'");
        row("the trace over the project", "trace=project", 1, "One file cannot be two");
        row("the log as the trace", "trace=log", 1, "One file cannot be two");
        row("the trace over a parameter file", "trace=params", 1, "One file cannot be two");
        row("a trace that cannot be written", "trace", 9, "Cannot write the trace file");
        row("a log that cannot be written", "/proc/nope.csv", 9, "Cannot write the log: /proc/nope.csv");
        row("a log that is a folder", "log=folder", 9, "Cannot write the log");
        row("a project counting 768 lines", "768", 2, "Not a usable project file");
        row("a project that is not there", "missing", 2, "Not a usable project file");
        row("a project that is a pipe", "pipe", 2, "Not a usable project file");
        row("a project shorter than its lines", "short", 2, "has 10 lines but only 100 bytes");
        row("a device that is not there", "device", 3, "Cannot open the serial port /dev/trelmo-none.");
        row("a device by its bare name", "bare", 3, "Cannot open the serial port /dev/trelmo-none.");
        row("a line with nothing behind it", "silent", 4, ": no controller answers.");
        row("a controller set to run at power-on", "auto-run", 7, "nothing was sent");
        row("a controller whose memory fails", "faulty", 5, "line 2, Parameter 4: project 0.1, controller 0.101");
        row("a category without a name", "category 9", 5, "line 1, Category: project 0, controller 9");
        row("a category's high byte", "category 257", 5, "line 1, Category: project 0x0001, controller 0x0101");
        row("a block refused", "01 10", 8, "exception 02, illegal data address");
        row("a probe refused", "01 03 21 7D", 8, "exception 02, illegal data address");
        row("a log whose last line has no end", "unended", 0, "Verify passed: 12 lines");
        row("options written with '=', and '--'", "--port=", 0, "Verify passed: 12 lines, all equal.");
    }
    void exitCodes()
    {
        QFETCH(QString, how);
        QFETCH(int, exit);
        const QString tag = QTest::currentDataTag();
        ToolRig controller(0, false);
        controller.silent = how == "silent";
        controller.registers[8573] = how == "auto-run" ? 1 : 0;
        QByteArray bytes = project(12);
        bytes[2 + 24 + 16] = 0, bytes[2 + 24 + 17] = 100, bytes[2 + 24 + 18] = 0, bytes[2 + 24 + 19] = 0;
        if (how.startsWith("category"))  // the controller keeps another word than it was sent
            bytes[2] = 0, bytes[3] = how.endsWith("257") ? 1 : 0;
        const quint16 kept = how == "faulty" ? 0 : how.section(' ', 1).toUShort();
        controller.filter = [&](const QByteArray &request, const QByteArray &reply) {
            if (how == "faulty")  // line 2 "参数4" is 100 thousandths; the controller keeps 101
                controller.registers[12 + 8] = quint16(controller.registers.value(12 + 8) | 1);
            else if (kept)
                controller.registers[0] = kept;
            if (!how.startsWith("01") || !request.startsWith(QByteArray::fromHex(how.toLatin1())))
                return reply;
            QByteArray refusal = request.left(2) + '\x02';  // exception 02
            refusal[1] = char(refusal[1] | 0x80);
            return FakeController::withCrc(refusal);
        };
        if (how == "768")
            bytes[0] = 3, bytes[1] = 0;
        QString path = file(tag, how == "short" ? QByteArray::fromHex("000A") + bytes.mid(2, 98) : bytes);
        if (how == "missing")
            QFile::remove(path);
        if (how == "pipe")
            QVERIFY(QFile::remove(path) && mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        const QString device = how == "device" ? u"/dev/trelmo-none"_s : how == "bare" ? u"trelmo-none"_s
                                                                                      : controller.device();
        const QString log = dir.filePath(tag + ".csv");
        if (how == "log=folder")
            QVERIFY(QDir(dir.path()).mkdir(tag + ".csv"));
        if (how == "unended")
            file(tag + ".csv", "\xEF\xBB\xBFtime,port,project,sha256,lines,result,seconds,detail\nsome,earlier,row");
        QStringList args{u"download"_s, path, u"--port"_s, device, u"--log"_s, log};
        if (how == "flash")
            args[0] = how;
        if (how == "--yes")
            args << how;
        if (how == "--port=")  // options with their values after '=', the project after '--'
            args = exit ? QStringList{u"download"_s, path, u"--port="_s}
                        : QStringList{u"download"_s, u"--port="_s + device, u"--log="_s + log, u"--"_s, path};
        if (how == "--port")
            args = QStringList{u"download"_s, path, u"--log"_s, log, how};
        if (how == "trace=params")
            args = QStringList{u"params"_s, u"restore"_s, path, u"--port"_s, device, u"--yes"_s};
        if (how.startsWith("trace"))
            args << u"--trace"_s << (how == "trace" ? dir.path() : how == "trace=log" ? log : path);
        if (how == "/proc/nope.csv")
            args[5] = how;
        Run cli(args);
        QVERIFY(cli.finish(15000));  // a pipe is never waited on
        QCOMPARE(cli.exit(), exit);
        QFETCH(QString, says);
        QVERIFY2(cli.err.contains(says), qPrintable(cli.err));
        // Nothing goes out before the command line and its files are right, and nothing after the
        // probes to a controller that runs its program at power-on.
        if (exit == 1 || exit == 9 || exit == 2 || how == "auto-run")
            QCOMPARE(controller.requests.size(), how == "auto-run" ? 2 : 0);
        if (how == "trace=project" || how == "trace=params")
            QCOMPARE(readAll(path), bytes);
        if (exit == 1 || exit == 9)
            return;
        // One row for the unit, on a line of its own, naming the port it used or tried.
        const QStringList logged = lines(log);
        QCOMPARE(logged.size(), how == "unended" ? 3 : 2);
        QVERIFY(readAll(log).startsWith("\xEF\xBB\xBFtime,port,project,sha256,lines,result,seconds,detail\n"));
        const QString port = device.startsWith(u'/') ? device : u"/dev/"_s + device;
        QVERIFY2(logged.last().contains(QRegularExpression(u"^\\d{4}-"_s)) && logged.last().contains(u',' + port + u','),
                 qPrintable(logged.last()));
    }

    // A probe unanswered once is asked again before the controller is taken for absent, by the
    // program's verbs and the parameters' alike.
    void aProbeLostOnce()
    {
        ToolRig controller(3, false);
        for (const QStringList &args : {QStringList{u"download"_s, file(u"p.dat"_s, project(3))},
                                        QStringList{u"params"_s, u"save"_s, dir.filePath(u"lost.trelmo-params"_s)}}) {
            int requests = 0;
            controller.filter = [&requests](const QByteArray &, const QByteArray &reply) {
                return ++requests == 1 ? QByteArray() : reply;
            };
            Run cli(args + QStringList{u"--port"_s, controller.device()});
            QVERIFY(cli.finish());
            QVERIFY2(cli.exit() == 0, qPrintable(cli.err));
        }
    }

    // A controller at the edges: one that refuses with exception 00 (a code no standard names, a
    // refusal all the same), one that holds no program verified against a project, and a line
    // that goes dead in the middle of the parameters' read: the exit and every line said.
    void aControllersEdges_data()
    {
        columns<QString, int, QString>("verb", "exit", "says");
        row("a probe refused with 00", "ports", 8, "The controller refused the request: exception 00, unknown exception.");
        // Nothing to compare: no progress line, the difference alone.
        row("no program in the controller", "verify", 5,
            "Verify found differences: line count: project 3, controller 0. Lines that differ: 3.");
        row("a line gone inside a read", "params", 3, "The serial port %1 failed.");
    }
    void aControllersEdges()
    {
        QFETCH(QString, verb);
        ToolRig controller(0, false);
        int requests = 0;
        controller.filter = [&](const QByteArray &request, const QByteArray &reply) {
            if (verb == "ports") {
                QByteArray refusal = request.left(2) + '\0';
                refusal[1] = char(refusal[1] | 0x80);
                return FakeController::withCrc(refusal);
            }
            if (verb == "params" && ++requests == 4)  // past the probes, inside the read
                QTimer::singleShot(0, &controller.controller(), [&] { controller.hangUp(); });
            return requests >= 4 ? QByteArray() : reply;
        };
        QStringList args{verb, u"--port"_s, controller.device()};
        if (verb == "verify")
            args.insert(1, file(u"three.dat"_s, project(3)));
        if (verb == "params")
            args.insert(1, u"save"_s), args.insert(2, dir.filePath(u"cut.trelmo-params"_s));
        Run cli(args);
        QVERIFY(cli.finish());
        QTEST(cli.exit(), "exit");
        QFETCH(QString, says);
        QCOMPARE(cli.err, (verb == "params" ? says.arg(controller.device()) : says) + u'\n');
        if (verb == "ports")
            QCOMPARE(cli.out, u"%1: the controller answers with exception 00\n"_s.arg(controller.device()));
    }

    // A project to a CSV table and back, byte for byte; the wrong pair of files, or a table that is
    // no program, refused.
    void convert_data()
    {
        columns<QString, QString, int, QString>("from", "to", "exit", "says");
        row("to a table", "p.dat", "p.csv", 0, "Converted: 12 lines, written to ");
        row("back", "p.csv", "back.dat", 0, "Converted: 12 lines, written to ");
        // Saved again without the line numbers and with the old Mac line ends: a carriage return
        // alone ends a row.
        row("back from carriage returns", "cr.csv", "back.dat", 0, "Converted: 12 lines, written to ");
        row("two projects", "p.dat", "back.dat", 1, "convert takes one project file and one .csv file");
        row("a table that is no program", "bad.csv", "x.dat", 2,
            "Row 2, column 3 (Parameter 1): \"1.2345\" is not a number");
        row("no table", "none.csv", "x.dat", 2, "Not a usable project file or CSV table");
        row("an option of another command", "p.dat", "--port=x", 1, "--port does not apply to convert");
    }
    void convert()
    {
        file(u"p.dat"_s, project(12));
        file(u"bad.csv"_s, "指令集,命令,参数1,参数2,参数3,参数4,参数5\n1,1,1.2345,0,0,0,0\n");
        QFETCH(QString, from);
        QFETCH(QString, to);
        if (from == u"cr.csv"_s) {
            QByteArray table;
            for (const QByteArray &line : readAll(dir.filePath(u"p.csv"_s)).split('\n'))
                if (line.endsWith('\r'))
                    table += line.mid(line.indexOf(',') + 1).chopped(1) + '\r';
            QCOMPARE(table.count('\r'), 13);
            file(from, table);
        }
        const bool option = to.startsWith(u'-');
        Run cli(QStringList{u"convert"_s, dir.filePath(from), dir.filePath(option ? u"p.csv"_s : to)} +
                (option ? QStringList{to} : QStringList{}));
        QVERIFY(cli.finish());
        QTEST(cli.exit(), "exit");
        QFETCH(QString, says);
        QVERIFY2(cli.err.contains(says), qPrintable(cli.err));
        if (to == u"back.dat"_s && cli.exit() == 0)
            QCOMPARE(readAll(dir.filePath(to)), project(12));
    }

    // Programs reach the controller, the grid and the disk exactly, to the last byte of line 500:
    // the window opens and saves them, downloads them to a scripted controller; the command line
    // downloads them to trelmo-sim and reads them back; a verify passes against a controller that
    // holds exactly the file and names line 500 where its last byte differs.
    void exactPrograms_data()
    {
        QTest::addColumn<int>("n");
        for (const int n : {1, 9, 10, 11, 499, 500})
            QTest::addRow("%d lines", n) << n;
    }
    void exactPrograms()
    {
        QFETCH(int, n);
        const QByteArray source = randomProject(n);
        const qsizetype used = 2 + 24 * n;
        const QString path = file(u"p.dat"_s, source), saved = dir.filePath(u"saved.dat"_s);
        {
            ToolRig window;
            window.prompter.fileNames << path << saved;
            QTest::mouseClick(window.w.Command10, Qt::LeftButton);  // "打开工程"
            QTest::mouseClick(window.w.Command7, Qt::LeftButton);   // "保存工程"
            QCOMPARE(readAll(saved).left(12002), source.left(12002));
            QTest::mouseClick(window.w.Command8, Qt::LeftButton);  // "下载工程"
            QTRY_VERIFY_WITH_TIMEOUT(!window.w.transfer().downloading(), 30000);
            QCOMPARE(window.prompter.messages, QStringList());
            QCOMPARE(window.registers.value(8604), n);
            QCOMPARE(window.program(n), source.mid(2, used - 2));
        }
        {
            SimProcess sim;
            QVERIFY(sim.start());
            Run down({u"download"_s, path, u"--port"_s, sim.device});
            QVERIFY(down.finish());
            QCOMPARE(down.exit(), 0);
            Run up({u"upload"_s, dir.filePath(u"up.dat"_s), u"--port"_s, sim.device});
            QVERIFY(up.finish());
            QCOMPARE(up.exit(), 0);
            QCOMPARE(readAll(dir.filePath(u"up.dat"_s)).left(used), source.left(used));
        }
        QByteArray wrong = source;
        wrong[used - 1] = char(wrong[used - 1] ^ 0x10);
        for (const QByteArray &held : {source, wrong}) {
            SimProcess sim;
            QVERIFY(sim.start({u"--program"_s, file(u"held.dat"_s, held)}));
            Run verify({u"verify"_s, path, u"--port"_s, sim.device});
            QVERIFY(verify.finish());
            QCOMPARE(verify.exit(), held == source ? 0 : 5);
            QVERIFY2(held == source || verify.err.contains(u"line %1, Parameter 5"_s.arg(n)), qPrintable(verify.err));
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
        const int seen = int(lines(log).size());
        const QStringList byWindow = downloadFrames(lines(log).join(u'\n'));
        QCOMPARE(byWindow.size(), 51);
        const QString trace = dir.filePath(u"trace.txt"_s);
        Run cli({u"download"_s, path, u"--port"_s, sim.device, u"--json"_s, u"--trace"_s, trace});
        QVERIFY(cli.finish());
        QCOMPARE(cli.exit(), 0);
        QVERIFY(cli.out.contains("\"equal\":true"));
        QCOMPARE(downloadFrames(lines(log).join(u'\n'), seen), byWindow);
        // The trace: every frame the controller got, in order, and the counts at the end.
        const QStringList rows = lines(trace);
        QStringList sent, got;
        for (const QString &row : rows.filter(QRegularExpression(u"^ +[0-9.]+ .* TX "_s)))
            sent << row.section(QRegularExpression(u"  +"_s), -1);
        for (const QString &line : lines(log).mid(seen))
            if (line.contains(u"<- "_s))
                got << line.section(u"<- "_s, 1);
        QCOMPARE(sent, got);
        QVERIFY2(rows.last().startsWith(u"# requests %1 · replies %1 · "_s.arg(got.size())), qPrintable(rows.last()));
        // Each block's request and reply name it, which of how many: the download's and the verify's.
        QStringList each;
        for (int b = 1; b <= 50; ++b)
            each << u"%1/50"_s.arg(b) << u"%1/50"_s.arg(b);
        for (const QString &what : {u"download: block "_s, u"verify: block "_s}) {
            QStringList named;
            for (const QString &row : rows.filter(what))
                named << row.section(what, 1).section(u' ', 0, 0);
            QCOMPARE(named, each);
        }

        Run cut({u"download"_s, path, u"--port"_s, sim.device});
        QVERIFY(cut.says(u"Download 50/500"_s));
        sim.stop();
        QVERIFY(cut.finish());
        QCOMPARE(cut.exit(), 6);
    }

    // The production loop: twenty units, the simulator started anew on the same link for each;
    // one with a memory fault fails, is logged as failed, and the loop goes on. Ctrl+C ends it
    // with a summary; --json gives a line per unit, then the summary.
    void productionLoop()
    {
        const QString link = dir.filePath(u"controller"_s), log = dir.filePath(u"units.csv"_s);
        const QString path = file(u"p12"_s, project(12));
        Run cli({u"download"_s, path, u"--repeat"_s, u"--port"_s, link, u"--log"_s, log, u"--json"_s});
        for (int unit = 1; unit <= 20; ++unit) {
            SimProcess sim;
            QStringList args{u"--link"_s, link};
            if (unit == 10)
                args << u"--faulty-register"_s << u"30"_s;
            QVERIFY(sim.start(args));
            QVERIFY2(QTest::qWaitFor([&] { return lines(log).size() == unit + 1; }, 20000), qPrintable(lines(log).join('\n')));
        }
        cli.signal(SIGINT);
        QVERIFY(cli.finish());
        QCOMPARE(cli.exit(), 130);
        QVERIFY(cli.err.contains("20 units: 19 passed, 1 failed."));
        const QStringList units = lines(log);
        const QString sha = QString::fromLatin1(QCryptographicHash::hash(project(12), QCryptographicHash::Sha256).toHex());
        const QStringList json = cli.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(json.size(), 21);
        for (int unit = 1; unit <= 20; ++unit) {
            const QStringList f = units[unit].split(u',');
            QVERIFY2(f.size() >= 8 && f[3] == sha && f[4] == u"12"_s, qPrintable(units[unit]));
            QCOMPARE(f[5], unit == 10 ? u"different"_s : u"ok"_s);
            QCOMPARE(QJsonDocument::fromJson(json[unit - 1].toUtf8())["result"].toString(), f[5]);
        }
        QCOMPARE(QJsonDocument::fromJson(json.last().toUtf8())["exit"].toInt(), 130);
    }

    // A controller that loses one request in ten and holds one reply in twenty back for 1.5 s,
    // never unplugged, is one unit, whatever its result.
    void aLossyLineIsOneUnit()
    {
        const QString log = dir.filePath(u"lossy.csv"_s);
        SimProcess sim;
        QVERIFY(sim.start({u"--seed"_s, u"7"_s, u"--drop"_s, u"0.1"_s, u"--delay"_s, u"0.05"_s, u"--delay-ms"_s, u"1500"_s}));
        Run cli({u"download"_s, file(u"p20"_s, project(20)), u"--repeat"_s, u"--port"_s, sim.device, u"--log"_s, log});
        QTest::qWait(60000);
        cli.signal(SIGTERM);
        QVERIFY(cli.finish());
        QCOMPARE(cli.exit(), 143);
        QCOMPARE(lines(log).size(), 2);
        QVERIFY2(cli.err.contains(u"1 units: "_s), qPrintable(cli.err));
    }

    // A signal inside a unit's download: the unit is logged as interrupted with the blocks it had
    // written, counted as failed, and the user told that the controller's program is incomplete.
    void signalsInsideAUnit_data()
    {
        columns<int>("signal");
        row("Ctrl+C", SIGINT);
        row("SIGTERM", SIGTERM);
        row("SIGHUP", SIGHUP);
    }
    void signalsInsideAUnit()
    {
        QFETCH(int, signal);
        const QString log = dir.filePath(u"signal.csv"_s);
        QFile::remove(log);
        SimProcess sim;
        QVERIFY(sim.start({u"--wire-time"_s}));
        Run cli({u"download"_s, file(u"p500"_s, project(500)), u"--repeat"_s, u"--port"_s, sim.device, u"--log"_s, log});
        QVERIFY(cli.says(u"Download 50/500"_s));
        cli.signal(signal);
        QVERIFY(cli.finish(5000));
        QCOMPARE(cli.exit(), 128 + signal);
        QVERIFY2(cli.err.contains(QRegularExpression(u"Interrupted\\. The download did not complete, \\d+ of 50 blocks "
                                                     "written: the program in the controller is incomplete!\n"_s)),
                 qPrintable(cli.err));
        QVERIFY(cli.err.contains(u"Interrupted. 1 units: 0 passed, 1 failed."_s));
        const QStringList row = lines(log).value(1).split(u',');
        QCOMPARE(row.value(5), u"interrupted"_s);
        QVERIFY2(row.last().contains(u"blocks written"_s), qPrintable(row.join(u',')));
    }

    // The axis parameters: saved (the same bytes twice from the same controller), three values
    // changed in the controller's memory, compared (exactly those three differ), restored (exactly
    // three writes, each the frame the screen's ENTER sends), compared again (equal). A file whose
    // microstepping was edited is restored and stored: the pulse equivalent the controller works
    // out anew is shown, and is no difference.
    void parametersSavedComparedRestored()
    {
        const QString state = dir.filePath(u"state"_s), log = dir.filePath(u"params.log"_s);
        const QString saved = dir.filePath(u"a.trelmo-params"_s), again = dir.filePath(u"b.trelmo-params"_s);
        auto sim = std::make_unique<SimProcess>(QStringList{u"--state"_s, state});
        const auto params = [&](const QStringList &args) {
            Run cli(QStringList{u"params"_s} + args + QStringList{u"--port"_s, sim->device});
            return cli.finish() ? std::pair{cli.exit(), cli.out} : std::pair{-1, QString()};
        };
        QCOMPARE(params({u"save"_s, saved}).first, 0);
        QCOMPARE(params({u"save"_s, again}).first, 0);
        QCOMPARE(readAll(saved), readAll(again));
        QVERIFY(params({u"diff"_s, saved}).first == 0);
        // The controller's memory, changed where nothing feeds the pulse equivalent.
        QProcess mbpoll;  // coil 34: the controller keeps its memory in its state file
        mbpoll.start(QStringLiteral(TRELMO_MBPOLL_PATH),
                     {"-m", "rtu", "-b", "19200", "-P", "none", "-a", "1", "-1", "-t", "0", "-r", "35", sim->device, "1"});
        QVERIFY(mbpoll.waitForFinished(20000) && mbpoll.exitCode() == 0);
        sim.reset();
        QString text = QString::fromUtf8(readAll(state));
        text.replace(QRegularExpression(u"\n8201 \\d+"_s), u"\n8201 7000"_s)
            .replace(QRegularExpression(u"\n8216 \\d+"_s), u"\n8216 3000"_s)
            .replace(QRegularExpression(u"\n8549 \\d+"_s), u"\n8549 250"_s)
            .replace(QRegularExpression(u"\n8550 \\d+"_s), u"\n8550 0"_s);
        file(u"state"_s, text.toUtf8());
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->start({u"--state"_s, state, u"--log"_s}, log));
        const auto [exit, table] = params({u"diff"_s, saved});
        QCOMPARE(exit, 5);
        const QStringList differing = table.split(u'\n').mid(1).filter(QRegularExpression(u"\t\\S+$"_s));
        QCOMPARE(differing, (QStringList{u"X\tJog accel.\t100\t0.25\tdiffers"_s, u"X\t2nd homing speed\t5\t7\tdiffers"_s,
                                         u"Y\tHome back-off\t2\t3\tdiffers"_s}));
        QCOMPARE(params({u"restore"_s, saved, u"--yes"_s}).first, 0);
        const auto written = [&](const char *head) {
            return lines(log).filter(u"<- "_s + QLatin1String(head)).replaceInStrings(QRegularExpression(u"^.*<- "_s), QString());
        };
        QCOMPARE(written("01 10"), (QStringList{u"01 10 21 65 00 02 04 86 A0 00 01 49 43"_s,
                                                u"01 10 20 09 00 02 04 13 88 00 00 2E AA"_s,
                                                u"01 10 20 18 00 02 04 07 D0 00 00 6A 49"_s}));
        QVERIFY(written("01 05 00 22").isEmpty());  // stored only when asked to
        QCOMPARE(params({u"diff"_s, saved}).first, 0);
        file(u"a.trelmo-params"_s, readAll(saved).replace("Microstep\t1600", "Microstep\t3200"));
        QCOMPARE(params({u"restore"_s, saved, u"--yes"_s, u"--store"_s}).first, 0);
        QCOMPARE(written("01 05 00 22"), QStringList{u"01 05 00 22 FF 00 2C 30"_s});  // "控制器保存数据"
        const auto [equal, shown] = params({u"diff"_s, saved});
        QCOMPARE(equal, 0);
        QVERIFY2(shown.contains(u"X\tPulse equivalent\t0.003125\t0.001562\tworked out by the controller"_s), qPrintable(shown));
    }

    // The restore asks on the terminal: "n", the end of the input and Ctrl+C write nothing; without
    // a terminal (and without --yes) nothing is even read.
    void theRestoresQuestion_data()
    {
        columns<QString, int, QString>("answer", "exit", "says");
        row("no", "n\n", 10, "Not confirmed: no parameter was written.");
        row("the end of the input", "", 10, "Not confirmed: no parameter was written.");
        row("Ctrl+C", "^C", 130, "Not confirmed: no parameter was written.");
        row("no terminal", "-", 10, "there is no terminal to ask on: add --yes");
        // A terminal's own side of a pseudo-terminal whose far side has gone: reading fails.
        row("a terminal that fails", "!", 10, "Not confirmed: no parameter was written.");
    }
    void theRestoresQuestion()
    {
        QFETCH(QString, answer);
        ToolRig controller(0, false);
        param::Values values{};
        values[1] = 5000, values[2] = 1600;
        const QString path = file(u"q.trelmo-params"_s, param::WriteFile(values));
        Pty terminal;
        Run cli({u"params"_s, u"restore"_s, path, u"--port"_s, controller.device()},
                answer == "-" ? QProcess::nullDevice() : terminal.device(), answer == "!" ? terminal.masterFd() : -1);
        if (answer != "-") {
            QVERIFY(cli.says(u"[y/N]"_s));
            if (answer == "^C")
                cli.signal(SIGINT);
            else if (answer.isEmpty() || answer == "!")
                terminal.hangUp();
            else
                terminal.write(answer.toLatin1());
        }
        QVERIFY(cli.finish(2000));
        QTEST(cli.exit(), "exit");
        QFETCH(QString, says);
        QVERIFY2(cli.err.contains(says), qPrintable(cli.err));
        QCOMPARE(controller.since(0, 0x10), QStringList());
        QCOMPARE(controller.requests.isEmpty(), answer == "-");
    }

    // --help and the man page name every verb, option and exit code, the man page each verb in a
    // paragraph of its own and the folder where the package puts the documents; ports --json.
    void theDocuments()
    {
        Run help({u"--help"_s});
        QVERIFY(help.finish());
        QProcess man;
        man.setProcessEnvironment([] {
            auto e = QProcessEnvironment::systemEnvironment();
            e.insert("MANWIDTH", "100"), e.insert("MAN_KEEP_FORMATTING", "");
            return e;
        }());
        man.start(u"man"_s, {u"-P"_s, u"cat"_s, u"-l"_s, QStringLiteral(TRELMO_SOURCE_DIR "/cli/trelmo-cli.1")});
        QVERIFY(man.waitForFinished(20000) && man.exitCode() == 0);
        const QString page = QString::fromUtf8(man.readAllStandardOutput()).remove(QRegularExpression(u".\b"_s));
        for (const QString &verb : {u"download"_s, u"verify"_s, u"upload"_s, u"ports"_s, u"convert"_s, u"params save"_s,
                                   u"params diff"_s, u"params restore"_s, u"params store"_s}) {
            QVERIFY2(page.contains(QRegularExpression(u"\n {7}"_s + verb + u"\\s"_s)), qPrintable(verb));
            QVERIFY2(help.out.contains(verb), qPrintable(verb));
        }
        for (const QString &option : {u"--port"_s, u"--no-verify"_s, u"--repeat"_s, u"--log"_s, u"--json"_s, u"--yes"_s,
                                     u"--store"_s, u"--trace"_s, u"--help"_s, u"--version"_s}) {
            QVERIFY2(page.contains(QRegularExpression(u"\n {7}"_s + option + u"\\b"_s)), qPrintable(option));
            QVERIFY2(help.out.contains(option), qPrintable(option));
        }
        for (const int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 129, 130, 143}) {
            QVERIFY2(page.contains(QRegularExpression(u"\n {7}%1\\s"_s.arg(code))), qPrintable(QString::number(code)));
            QVERIFY2(help.out.contains(QRegularExpression(u"\\b%1\\b"_s.arg(code))), qPrintable(QString::number(code)));
        }
        QVERIFY(page.contains(u"/usr/share/doc/trelmo/README.md"_s));

        ToolRig controller(7, false);
        Run ports({u"ports"_s, u"--port"_s, controller.device(), u"--json"_s});
        QVERIFY(ports.finish());
        QCOMPARE(ports.exit(), 0);
        QCOMPARE(QJsonDocument::fromJson(ports.out.toUtf8())["ports"][0].toObject(),
                 (QJsonObject{{"device", controller.device()}, {"state", "answers"}, {"lines", 7}}));
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
        row("a pipe", "", "pipe", "The parameter file cannot be used");
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
        if (to == "pipe")
            QVERIFY(QFile::remove(path) && mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        Run cli({u"params"_s, u"restore"_s, path, u"--yes"_s, u"--port"_s, controller.device()});
        QVERIFY(cli.finish(15000));
        QCOMPARE(cli.exit(), 2);
        QVERIFY2(cli.err.contains(says), qPrintable(cli.err));
        QCOMPARE(controller.requests.size(), 0);
    }
};

QTEST_MAIN(TstCli)
#include "tst_cli.moc"
