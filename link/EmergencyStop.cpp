// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/EmergencyStop.h"

#include "link/CommPort.h"
#include "link/ModbusLink.h"

#include <cmath>

EmergencyStop::EmergencyStop(ModbusLink &link, CommPort &port) : m_link(link), m_port(port)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &EmergencyStop::resend);
    m_link.stopConfirmed = [this] { onConfirmed(); };
    // A stop can neither be echoed nor sent again through a closed port: whatever is opened
    // next starts without it.
    connect(&m_port, &CommPort::closed, this, &EmergencyStop::cancel);
    connect(this, &EmergencyStop::givenUp, &m_link.framer(), &Framer::stopGivenUp);
}

bool EmergencyStop::pending() const
{
    return m_link.stopAwaited();
}

bool EmergencyStop::stop(int tag)
{
    m_timer.stop();
    m_link.setStopAwaited(false);
    if (!m_link.SendStop(tag)) {
        m_sends = 0;
        return false;
    }
    m_tag = tag;
    m_sends = 1;
    m_link.setStopAwaited(true);
    emit sent(m_tag);
    // The 300 ms count from the moment the frame leaves, which may be after the frame on the
    // line has gone.
    m_timer.start(ResendMs + int(std::ceil(m_port.msUntilQuiet())));
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
    m_link.setStopAwaited(false);
}

void EmergencyStop::resend()
{
    if (!pending())
        return;
    if (!m_port.isOpen()) {
        cancel();  // the port has gone (and the user has been told so): nothing can go out
        return;
    }
    if (m_sends < MaxSends) {
        if (!m_link.ResendStop()) {
            cancel();
            return;
        }
        ++m_sends;
        m_timer.start(ResendMs + int(std::ceil(m_port.msUntilQuiet())));
        return;
    }
    cancel();
    emit givenUp(m_tag);
}
