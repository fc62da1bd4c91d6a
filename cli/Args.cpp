// SPDX-License-Identifier: GPL-3.0-or-later
// trelmo-cli's command line: the verbs, the options each of them takes, and the help text.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHash>
#include <cstdio>

#include "cli/Cli.h"
#include "core/Texts.h"

namespace cli {

namespace {
const text::Text UnknownCommand{QT_TRANSLATE_NOOP("Trelmo", "没有这个命令：%1")};
const text::Text WrongArguments{QT_TRANSLATE_NOOP("Trelmo", "%1 的参数不对：%2")};
const text::Text NotForVerb{QT_TRANSLATE_NOOP("Trelmo", "%1 不能用于 %2")};
const text::Text EmptyValue{QT_TRANSLATE_NOOP("Trelmo", "%1 的值不能为空")};

// The options each verb takes (params by its sub-command).
const QHash<QString, QStringList> &Allowed()
{
    static const QHash<QString, QStringList> allowed{
        {"download", {"port", "no-verify", "repeat", "log", "json", "trace"}},
        {"verify", {"port", "repeat", "log", "json", "trace"}},
        {"upload", {"port", "log", "json", "trace"}},
        {"ports", {"port", "json", "trace"}},
        {"params save", {"port", "trace"}},
        {"params diff", {"port", "trace"}},
        {"params store", {"port", "trace"}},
        {"params restore", {"port", "yes", "store", "trace"}},
        {"convert", {}},
    };
    return allowed;
}

// A device named without a folder is one of the system's serial devices, as Qt takes a bare
// name; every message then names the device as it is opened.
QString DevicePath(const QString &name)
{
#ifdef Q_OS_WIN
    return name;
#else
    return name.contains(u'/') ? name : QStringLiteral("/dev/") + name;
#endif
}
}  // namespace

QString ResultName(int exit)
{
    switch (exit) {
    case Done: return QStringLiteral("ok");
    case Usage: return QStringLiteral("usage");
    case BadProject: return QStringLiteral("bad-project");
    case PortFailed: return QStringLiteral("port-failed");
    case NoController: return QStringLiteral("no-controller");
    case Different: return QStringLiteral("different");
    case CutShort: return QStringLiteral("cut-short");
    case AutoRun: return QStringLiteral("auto-run");
    case Refused: return QStringLiteral("refused");
    case NotWritable: return QStringLiteral("not-writable");
    case NotConfirmed: return QStringLiteral("not-confirmed");
    default: return QStringLiteral("interrupted");
    }
}

int Say(const QString &line, int exit)
{
    std::fputs(qPrintable(line + u'\n'), stderr);
    std::fflush(stderr);
    return exit;
}

QString Help()
{
    return QCoreApplication::translate(
        "Trelmo",
        "用法：trelmo-cli 命令 [选项]\n"
        "\n"
        "命令：\n"
        "  download 工程文件   连接控制器，下载工程，然后校验\n"
        "  verify 工程文件     比较控制器中的程序与工程文件\n"
        "  upload 工程文件     读取控制器中的程序，保存为工程文件\n"
        "  ports               列出串口，以及哪个串口上有控制器应答\n"
        "  convert 文件A 文件B 在工程文件与 CSV 表格之间转换（以扩展名 .csv 区分）\n"
        "  params save 参数文件     读取控制器的轴参数，保存到文件\n"
        "  params diff 参数文件     比较文件与控制器的轴参数（相同退出码 0，不同 5）\n"
        "  params restore 参数文件  把文件中不同的参数写入控制器（先询问，--yes 不询问）\n"
        "  params store             让控制器把参数存入掉电保持存储器（同“控制器保存数据”）\n"
        "\n"
        "选项：\n"
        "  --port 设备         使用这个串口设备（不含“/”的名字指 /dev/ 下的设备；\n"
        "                      默认：像窗口一样依次尝试系统的串口）\n"
        "  --no-verify         download：下载后不校验\n"
        "  --repeat            download、verify：生产线循环，每台控制器完成后等它断开，再等下一台\n"
        "  --log 文件.csv      download、verify、upload：每台一行记录，追加写入\n"
        "  --json              在标准输出打印结果对象（--repeat 时每台一行，最后是汇总）\n"
        "  --yes               params restore：不询问，直接写入\n"
        "  --store             params restore：写入后让控制器保存参数\n"
        "  --trace 文件        把线路上的每一帧写入文本文件：时间、间隔、方向、数据、用途、延迟、故障\n"
        "  --help              显示本说明\n"
        "  --version           显示版本\n"
        "\n"
        "退出码：0 完成（并校验一致）；1 用法错误；2 工程文件或参数文件缺失、无法读取或不可用；\n"
        "3 没有串口或串口出错；4 没有控制器应答；5 校验发现不同；6 传输没有完成；\n"
        "7 控制器设为上电自运行（没有发送任何数据）；8 控制器以异常应答拒绝了请求；\n"
        "9 输出文件无法写入；10 没有确认，没有写入任何参数；\n"
        "129、130、143 被信号结束（SIGHUP、Ctrl+C、SIGTERM：128 加信号编号）。\n");
}

std::optional<Options> Parse(const QStringList &arguments, QString &error, bool &help, bool &version)
{
    QCommandLineParser parser;
    const QCommandLineOption helpOption(QStringList{"h", "help"}), versionOption(QStringLiteral("version"));
    const QCommandLineOption port(QStringLiteral("port"), {}, QStringLiteral("device"));
    const QCommandLineOption log(QStringLiteral("log"), {}, QStringLiteral("file"));
    const QCommandLineOption trace(QStringLiteral("trace"), {}, QStringLiteral("file"));
    parser.addOptions({helpOption, versionOption, port, log, trace});
    for (const char *flag : {"no-verify", "repeat", "json", "yes", "store"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(flag)));
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    help = parser.isSet(helpOption);
    version = parser.isSet(versionOption);
    if (help || version)
        return Options{};

    Options o;
    const QStringList positional = parser.positionalArguments();
    o.command = positional.value(0);
    const bool params = o.command == QLatin1String("params");
    if (params)
        o.sub = positional.value(1);
    const QString verb = params ? o.command + u' ' + o.sub : o.command;
    if (!Allowed().contains(verb)) {
        error = UnknownCommand().arg(positional.mid(0, params ? 2 : 1).join(u' '));
        return std::nullopt;
    }
    const QStringList operands = positional.mid(params ? 2 : 1);
    const int wanted = verb == QLatin1String("convert") ? 2 : verb == QLatin1String("ports") || verb == QLatin1String("params store") ? 0 : 1;
    if (operands.size() != wanted) {
        error = WrongArguments().arg(verb, operands.join(u' '));
        return std::nullopt;
    }
    o.file = operands.value(0);
    o.target = operands.value(1);
    for (const QString &name : parser.optionNames()) {
        const QString option = name.size() == 1 ? u'-' + name : QStringLiteral("--") + name;
        if (!Allowed().value(verb).contains(name)) {
            error = NotForVerb().arg(option, verb);
            return std::nullopt;
        }
    }
    for (const QCommandLineOption &valued : {port, log, trace})
        if (parser.isSet(valued) && parser.value(valued).isEmpty()) {
            error = EmptyValue().arg(QStringLiteral("--") + valued.names().constFirst());
            return std::nullopt;
        }
    if (parser.isSet(port))
        o.port = DevicePath(parser.value(port));
    o.log = parser.value(log);
    o.trace = parser.value(trace);
    o.verify = !parser.isSet("no-verify");
    o.repeat = parser.isSet("repeat");
    o.json = parser.isSet("json");
    o.yes = parser.isSet("yes");
    o.store = parser.isSet("store");
    return o;
}

}  // namespace cli
