// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts that more than one part of the tool shows, each written once.
#include <QCoreApplication>
#include <QString>

// The tool speaks Chinese, in which its texts are written, or English.
enum class Language { Chinese, English };

namespace text {
// A text in the language in use, with "%1" filled by `arg` when it is not negative. Each is
// made once per language, not at every use: the screens show some of them several times a second.
QString InUse(const char *source, int arg = -1);

// A text as the tool shows it: written in Chinese, put into the language in use when shown.
struct Text {
    const char *source;
    QString operator()(int arg = -1) const { return InUse(source, arg); }
    // The text in `language`, whichever language is in use.
    QString in(Language language) const;
    // Whether `shown` is this text (with "%1" filled by `arg` when it is not negative), in
    // either language.
    bool matches(const QString &shown, int arg = -1) const;
};

// The language the tool speaks now; set when the tool's translation has been put in place.
Language CurrentLanguage();
void SetCurrentLanguage(Language language);
// Where the English texts are kept, in the tool's resources.
QString EnglishCatalogue();

// Counts the changes of the texts' language (a translation installed or removed), so that a
// text looked up once can be kept until the next change.
int LanguageGeneration();
void LanguageChanged();

// Connection state (the main window's label and connect button).
inline constexpr Text NotConnected{QT_TRANSLATE_NOOP("Trelmo", "控制器没有连接！")};
inline constexpr Text Connected{QT_TRANSLATE_NOOP("Trelmo", "控制器已经连接！")};
inline constexpr Text Connect{QT_TRANSLATE_NOOP("Trelmo", "连接控制器")};
inline constexpr Text Disconnect{QT_TRANSLATE_NOOP("Trelmo", "断开控制器")};
// Power-on auto-run, as the main window's and the manual screen's buttons show it.
inline constexpr Text AutoRunOn{QT_TRANSLATE_NOOP("Trelmo", "上电自运行")};
inline constexpr Text AutoRunOff{QT_TRANSLATE_NOOP("Trelmo", "上电后不自动运行")};

// Messages.
inline constexpr Text PortError{QT_TRANSLATE_NOOP("Trelmo", "串口出错！")};
inline constexpr Text NoController{QT_TRANSLATE_NOOP("Trelmo", "串口存在，但控制器没有连接上！")};
inline constexpr Text NotDone{QT_TRANSLATE_NOOP("Trelmo", "此次操作没有成功！")};
inline constexpr Text PortInvalidDownload{QT_TRANSLATE_NOOP("Trelmo", "串口无效，无法下载！")};
inline constexpr Text PortInvalidCommand{QT_TRANSLATE_NOOP("Trelmo", "串口无效，无法通信！")};
inline constexpr Text BadLineCount{QT_TRANSLATE_NOOP("Trelmo", "程序总行数设定出错，重新设定！")};
inline constexpr Text BadEntry{QT_TRANSLATE_NOOP("Trelmo", "输入数据出错！")};
inline constexpr Text EntryFailed{QT_TRANSLATE_NOOP("Trelmo", "数据录入有误！")};
inline constexpr Text NoReply{QT_TRANSLATE_NOOP("Trelmo", "与控制器通信异常！")};
inline constexpr Text StopUnconfirmed{QT_TRANSLATE_NOOP("Trelmo", "急停命令没有得到控制器确认！")};
// What a file dialog calls a folder and a file.
inline constexpr Text Folder{QT_TRANSLATE_NOOP("Trelmo", "文件夹")};
inline constexpr Text PlainFile{QT_TRANSLATE_NOOP("Trelmo", "文件")};
inline constexpr Text TypedFile{QT_TRANSLATE_NOOP("Trelmo", "%1 文件")};
inline constexpr Text TransferRunning{QT_TRANSLATE_NOOP("Trelmo", "程序传输中，请稍候！")};
inline constexpr Text InvalidLine{QT_TRANSLATE_NOOP("Trelmo", "没有选择有效行！")};

// Captions shared by several windows.
inline constexpr Text CommLamp{QT_TRANSLATE_NOOP("Trelmo", "通信指示灯")};
inline constexpr Text Return{QT_TRANSLATE_NOOP("Trelmo", " 返   回")};
}  // namespace text
