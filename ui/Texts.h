#pragma once
// The texts that more than one part of the tool shows, each written once.
#include <QCoreApplication>
#include <QString>

namespace text {

// Connection state (the main window's label and connect button).
inline QString NotConnected() { return QCoreApplication::translate("Trelmo", "控制器没有连接！"); }
inline QString Connected() { return QCoreApplication::translate("Trelmo", "控制器已经连接！"); }
inline QString Connect() { return QCoreApplication::translate("Trelmo", "连接控制器"); }
inline QString Disconnect() { return QCoreApplication::translate("Trelmo", "断开控制器"); }
// Power-on auto-run, as the main window's and the manual screen's buttons show it.
inline QString AutoRunOn() { return QCoreApplication::translate("Trelmo", "上电自运行"); }
inline QString AutoRunOff() { return QCoreApplication::translate("Trelmo", "上电后不自动运行"); }

// Messages.
inline QString PortError() { return QCoreApplication::translate("Trelmo", "串口出错！"); }
inline QString NoController() { return QCoreApplication::translate("Trelmo", "串口存在，但控制器没有连接上！"); }
inline QString NotDone() { return QCoreApplication::translate("Trelmo", "此次操作没有成功！"); }
inline QString PortInvalidDownload() { return QCoreApplication::translate("Trelmo", "串口无效，无法下载！"); }
inline QString PortInvalidCommand() { return QCoreApplication::translate("Trelmo", "串口无效，无法通信！"); }
inline QString BadLineCount() { return QCoreApplication::translate("Trelmo", "程序总行数设定出错，重新设定！"); }
inline QString BadEntry() { return QCoreApplication::translate("Trelmo", "输入数据出错！"); }
inline QString EntryFailed() { return QCoreApplication::translate("Trelmo", "数据录入有误！"); }
inline QString NoReply() { return QCoreApplication::translate("Trelmo", "与控制器通信异常！"); }
inline QString StopUnconfirmed() { return QCoreApplication::translate("Trelmo", "急停命令没有得到控制器确认！"); }

// Captions shared by several windows.
inline QString CommLamp() { return QCoreApplication::translate("Trelmo", "通信指示灯"); }
inline QString Return() { return QCoreApplication::translate("Trelmo", " 返   回"); }
}  // namespace text
