// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The axis parameters over the link, a request at a time, each waiting for its reply: both
// blocks read fresh, and entries written with the frames of the parameter screen's ENTER. The
// backup, the comparison and the restore of a parameter file are built on it, in the window and
// on the command line alike.
#include <QList>
#include <QString>

#include "core/ParameterFile.h"
#include "core/ToolContext.h"

namespace param {

// What the window and the command line say of parameter files alike.
inline constexpr text::Text FileSaved{QT_TRANSLATE_NOOP("Trelmo", "参数已保存到 %1。")};
inline constexpr text::Text FileNotSaved{QT_TRANSLATE_NOOP("Trelmo", "参数文件保存出错！")};
inline constexpr text::Text FileUnusable{QT_TRANSLATE_NOOP("Trelmo", "参数文件无法使用：%1")};
inline constexpr text::Text NotRead{QT_TRANSLATE_NOOP("Trelmo", "没有读到控制器的参数，请重试！")};

class ParameterIo {
public:
    explicit ParameterIo(const ToolContext &ctx) : m_ctx(ctx) {}

    enum class Outcome { Done, NoReply, PortFailed, Stopped };
    // Reads the parameter block and the accelerations.
    Outcome read(Values &values);
    // Writes `value` (as the screen's ENTER has checked and scaled it) into `box`.
    Outcome write(int box, std::int64_t value);
    // Tells the controller to keep its parameters in its non-volatile memory, as the screen's
    // "控制器保存数据" does.
    Outcome store();

    // One row of a comparison of a file with a controller.
    struct Row {
        int box;
        QString file, controller;
        bool differs;
        // A restore writes it: it differs and the screen can write it.
        bool written;
        // The pulse equivalent: the controller works it out from the lead and the microstepping,
        // so it is shown for information and never counts as a difference.
        bool derivedUnlike = false;
    };
    static QList<Row> Compare(const FileContents &file, const Values &controller);
    // What a comparison comes to: how many values differ, how many a restore writes, and the
    // sentence that says so (asking, when `asking` and there is something to write).
    struct Summary {
        int differing = 0;
        int toWrite = 0;
        QString text(bool asking) const;
    };
    static Summary Summarise(const QList<Row> &rows);
    // The table's headers and texts, in the language in use.
    static QStringList Headers();
    static QStringList Texts(const Row &row);

    // A restore: the values that differ written one after the other, then read back.
    // Echoed and read back as written; echoed but read back otherwise; echoed, with nothing read
    // back after it; sent, but never echoed; never sent.
    enum class Result { Confirmed, ReadOtherwise, NotReadBack, Unanswered, NotWritten };
    struct Written {
        int box;
        Result result;
        QString wanted, readBack;
    };
    struct Restored {
        Outcome outcome = Outcome::Done;
        QList<Written> written;  // each value to write, in the order of the screen
        QList<Row> left;         // values that differ that no restore writes
        QString report() const;  // for the user, one line per value
        bool complete() const;   // every value written and read back as written
    };
    Restored restore(const FileContents &file, const Values &controller);

    // How long a reply may take.
    static constexpr double ReplyMs = 1000;

private:
    Outcome await(std::uint32_t stops);

    ToolContext m_ctx;
};

}  // namespace param
