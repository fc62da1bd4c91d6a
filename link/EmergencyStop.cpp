#include "link/EmergencyStop.h"

#include "link/ModbusLink.h"
#include "link/Tags.h"
#include "link/CommPort.h"
#include "core/Prompter.h"
#include "core/Texts.h"

#include <cmath>

EmergencyStop::EmergencyStop(const LinkContext &ctx) : m_ctx(ctx)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &EmergencyStop::resend);
    m_ctx.link.stopConfirmed = [this] { onConfirmed(); };
    // A stop can neither be echoed nor sent again through a closed port: whatever is opened
    // next starts without it.
    connect(&m_ctx.port, &CommPort::closed, this, &EmergencyStop::cancel);
}

bool EmergencyStop::pending() const
{
    return m_ctx.link.stopAwaited();
}

bool EmergencyStop::stop(int tag)
{
    m_timer.stop();
    m_ctx.link.setStopAwaited(false);
    if (!m_ctx.link.SendStop(tag)) {
        m_sends = 0;
        return false;
    }
    m_tag = tag;
    m_sends = 1;
    m_ctx.link.setStopAwaited(true);
    emit sent(m_tag);
    // The 300 ms count from the moment the frame leaves, which may be after the frame on the
    // line has gone.
    m_timer.start(ResendMs + int(std::ceil(m_ctx.port.msUntilQuiet())));
    return true;
}

void EmergencyStop::onConfirmed()
{
    m_timer.stop();
    emit confirmed(m_tag);
}

void EmergencyStop::cancel()
{
    m_timer.stop();
    m_ctx.link.setStopAwaited(false);
}

void EmergencyStop::resend()
{
    if (!pending())
        return;
    if (!m_ctx.port.isOpen()) {
        cancel();  // the port has gone (and the user has been told so): nothing can go out
        return;
    }
    if (m_sends < MaxSends) {
        if (!m_ctx.link.ResendStop()) {
            cancel();
            return;
        }
        ++m_sends;
        m_timer.start(ResendMs + int(std::ceil(m_ctx.port.msUntilQuiet())));
        return;
    }
    cancel();
    emit givenUp(m_tag);
    m_ctx.prompter.message(text::StopUnconfirmed());
}
