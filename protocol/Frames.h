// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Modbus RTU frames as the tool builds and checks them: the header of a request, the length of
// the reply it asks for, and the one check of whether a frame answers a request.
#include <QByteArray>
#include <cstdint>

namespace frames {

// An exception reply: the slave, the function with its high bit set, the code, the CRC.
constexpr int ExceptionLength = 5;
// The reply to a function 05, 06 or 16 request: its first six bytes and the CRC.
constexpr int EchoLength = 8;

// Slave, function and two 16-bit arguments, each 0 to 32767 (signed on the wire); false, and
// nothing built, for anything else.
bool BuildHeader(QByteArray &frame, int slave, int function, int a, int b);
// The length of the reply a request asks for: 5 + 2 x count for function 03, 8 for functions 05,
// 06 and 16, 0 for anything else. The receive threshold is set by the same rule.
int ExpectedReplyLength(const QByteArray &request);
// A coil switched off: the one kind of frame that may follow an emergency stop.
bool IsCoilOff(const QByteArray &frame);
// Coil 16 ON, the emergency stop.
bool IsStop(const QByteArray &frame);

// What a whole frame with a good CRC is to a request.
enum class Verdict {
    Answers,      // the reply it asked for
    Exception,    // its exception reply
    WrongLength,  // its function, another length
    Unexpected,   // another slave or function, or an echo of another write
};
Verdict Judge(const QByteArray &frame, const QByteArray &request);
// The reply the request asked for, CRC included.
bool Answers(const QByteArray &frame, const QByteArray &request);

}  // namespace frames
