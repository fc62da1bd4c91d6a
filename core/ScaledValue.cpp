// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ScaledValue.h"

#include "core/NumberText.h"

void FillStaging(StagingBuffer &staging, std::int64_t value)
{
    const auto u = std::uint32_t(value);
    const std::uint32_t lo = u & 0xFFFF, hi = u >> 16;
    staging[0] = std::uint8_t(lo >> 8);
    staging[1] = std::uint8_t(lo & 0xFF);
    staging[2] = std::uint8_t(hi >> 8);
    staging[3] = std::uint8_t(hi & 0xFF);
}

std::uint32_t RawScaled(const std::uint8_t *b)
{
    return std::uint32_t(b[0]) << 8 | std::uint32_t(b[1]) | std::uint32_t(b[2]) << 24 | std::uint32_t(b[3]) << 16;
}

QString ScaledText(std::uint32_t raw, std::int64_t divisor)
{
    if (raw <= 2147483647u)
        return DecimalText(std::int64_t(raw), divisor);
    return DecimalText(-(std::int64_t(4294967296) - std::int64_t(raw)), divisor);
}
