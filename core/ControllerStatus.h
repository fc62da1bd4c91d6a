// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the tool knows of the controller besides the program: whether it is connected, as the
// main window's label and connect button show it, and whether it runs its program at power-on.
// The label and the button are two facts: a read that finds no controller says "not connected"
// in the label while the button still offers to disconnect.
#include <QObject>

class ControllerStatus : public QObject {
    Q_OBJECT
public:
    // The connection label: empty until the first attempt.
    enum class Label { None, NotConnected, Connected };
    Label label() const { return m_label; }
    void setLabel(Label label);
    // The connect button disconnects (the tool believes it is connected).
    bool connected() const { return m_connected; }
    void setConnected(bool connected);
    // Both at once: connected, or not.
    void show(bool connected)
    {
        setLabel(connected ? Label::Connected : Label::NotConnected);
        setConnected(connected);
    }
    // The controller runs its program at power-on. Until a controller has said otherwise the
    // tool assumes it does, so that nothing that needs it off is allowed.
    bool autoRun() const { return m_autoRun; }
    void setAutoRun(bool on);

signals:
    void changed();

private:
    Label m_label = Label::None;
    bool m_connected = false;
    bool m_autoRun = true;
};
