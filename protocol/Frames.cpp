// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Frames.h"

#include "protocol/Crc.h"
#include "protocol/RegisterMap.h"

namespace frames {

namespace {
// Arguments are signed 16-bit numbers on the wire; only 0 .. 32767 can be sent.
bool Fits(int v)
{
    return v >= 0 && v <= 32767;
}
}  // namespace

bool BuildHeader(QByteArray &frame, int slave, int function, int a, int b)
{
    frame.clear();
    if (!Fits(a) || !Fits(b) || slave < 0 || slave > 255)
        return false;
    frame.append(char(slave));
    frame.append(char(function));
    frame.append(char((a >> 8) & 0xFF)).append(char(a & 0xFF));
    frame.append(char((b >> 8) & 0xFF)).append(char(b & 0xFF));
    return true;
}

int ExpectedReplyLength(const QByteArray &request)
{
    if (request.size() < 6)
        return 0;
    switch (std::uint8_t(request[1])) {
    case 0x03: return 5 + 2 * ((std::uint8_t(request[4]) << 8) | std::uint8_t(request[5]));
    case 0x05:
    case 0x06:
    case 0x10: return EchoLength;
    default: return 0;
    }
}

bool IsCoilOff(const QByteArray &frame)
{
    return frame.size() == EchoLength && std::uint8_t(frame[1]) == 0x05 && frame[4] == 0 && frame[5] == 0;
}

bool IsStop(const QByteArray &frame)
{
    return frame.size() == EchoLength && frame[1] == 0x05 && frame[2] == 0 &&
           frame[3] == char(reg::coil::EmergencyStop) && frame[4] == char(0xFF) && frame[5] == 0;
}

Verdict Judge(const QByteArray &frame, const QByteArray &request)
{
    if (frame.size() < 2 || request.size() < 2 || frame[0] != request[0])
        return Verdict::Unexpected;
    if (std::uint8_t(frame[1]) == (std::uint8_t(request[1]) | 0x80))
        return frame.size() == ExceptionLength ? Verdict::Exception : Verdict::Unexpected;
    if (frame[1] != request[1])
        return Verdict::Unexpected;
    const int length = ExpectedReplyLength(request);
    if (frame.size() != length)
        return Verdict::WrongLength;
    switch (std::uint8_t(frame[1])) {
    case 0x03: return std::uint8_t(frame[2]) == length - 5 ? Verdict::Answers : Verdict::WrongLength;
    // A single write is echoed whole; a block write echoes its address and count.
    case 0x05:
    case 0x06: return QByteArrayView(frame) == QByteArrayView(request).first(length) ? Verdict::Answers : Verdict::Unexpected;
    default:
        return QByteArrayView(frame).first(6) == QByteArrayView(request).first(6) ? Verdict::Answers
                                                                                 : Verdict::Unexpected;
    }
}

bool Answers(const QByteArray &frame, const QByteArray &request)
{
    return frame.size() >= 5 && CrcMatches(frame) && Judge(frame, request) == Verdict::Answers;
}

}  // namespace frames
