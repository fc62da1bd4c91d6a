// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/manual/ManualStatus.h"

#include "protocol/RegisterMap.h"
#include "core/ScaledValue.h"

namespace {
// Byte offset of a register's high byte in the status reply.
constexpr std::size_t at(int reg)
{
    return std::size_t(2 * (reg - reg::Status));
}

bool flag(const StatusBytes &b, int reg)
{
    return b[at(reg) + 1] == 1;
}
}  // namespace

ManualStatus DecodeManualStatus(const StatusBytes &b)
{
    ManualStatus s;
    const int scaled[5] = {reg::PosX, reg::PosY, reg::PosZ, reg::ManualSpeed, reg::RunDistance};
    for (int i = 0; i < 5; ++i)
        s.values[std::size_t(i)] = ScaledText(RawScaled(b.data() + at(scaled[i])));
    s.autoRun = flag(b, reg::PowerOnRun);
    s.stepMode = flag(b, reg::StepMode);
    for (int i = 0; i < 4; ++i)
        s.inputs[std::size_t(i)] = flag(b, reg::Input1 + i);
    for (int i = 0; i < 3; ++i)
        s.origins[std::size_t(i)] = flag(b, reg::Origin1 + i);
    for (int i = 0; i < 4; ++i)
        s.outputs[std::size_t(i)] = flag(b, reg::Output1 + i);
    return s;
}
