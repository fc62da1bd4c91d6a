// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Messages.h"

#include <QCoreApplication>

#include "core/ProgramRead.h"
#include "core/Texts.h"
#include "ui/Prompter.h"

namespace {
const text::Text AutoRunSet{
    QT_TRANSLATE_NOOP("Trelmo", "请先将控制器的运行模式改成“上电不自动运行”，然后点击“系统急停”按钮，再下载！")};
const text::Text NoPortRead{QT_TRANSLATE_NOOP("Trelmo", "串口无效，无法读取！")};
const text::Text BadLineCount{QT_TRANSLATE_NOOP("Trelmo", "行数输入不正确！")};
const text::Text NoPortFound{QT_TRANSLATE_NOOP("Trelmo", "没有找到有效的串口！")};
const text::Text TooManyLines{QT_TRANSLATE_NOOP("Trelmo", "控制器中的程序有%1行，超过500行，无法读取！")};
const text::Text DownloadUnfinished{QT_TRANSLATE_NOOP("Trelmo", "程序下载没有完成，控制器中的程序不完整！")};
const text::Text UploadUnfinished{QT_TRANSLATE_NOOP("Trelmo", "程序读取没有完成，工程没有改变！")};
}  // namespace

QString NoticeText(Notice notice, int value)
{
    switch (notice) {
    case Notice::ProgramLocked: return text::TransferRunning();
    case Notice::AutoRunSet: return AutoRunSet();
    case Notice::NoPortDownload: return text::PortInvalidDownload();
    case Notice::NoPortRead: return NoPortRead();
    case Notice::Busy: return text::NotDone();
    case Notice::BadLineCount: return BadLineCount();
    case Notice::NoPortFound: return NoPortFound();
    case Notice::NoController: return text::NoController();
    case Notice::TooManyLines: return TooManyLines().arg(value);
    case Notice::PortLost: return text::PortError();
    case Notice::StopUnconfirmed: return text::StopUnconfirmed();
    case Notice::DownloadUnfinished: return DownloadUnfinished();
    case Notice::UploadUnfinished: return UploadUnfinished();
    }
    return {};
}

void Tell(Prompter &prompter, Notice notice, int value)
{
    // A lost port and a scan that found none show no title, as the port's own error boxes do.
    const bool untitled = notice == Notice::PortLost || notice == Notice::NoPortFound;
    prompter.message(NoticeText(notice, value), Prompter::Buttons::Ok, untitled ? QStringLiteral("") : QString());
}

bool RefuseWhileLocked(const ToolState &state, Prompter &prompter)
{
    if (!ProgramRead::programLocked(state))
        return false;
    Tell(prompter, Notice::ProgramLocked);
    return true;
}
