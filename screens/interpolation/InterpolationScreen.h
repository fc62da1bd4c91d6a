#pragma once
// The interpolation test screen "插补调试界面": the user sets an end point, a middle point for
// arcs, a speed and an arc direction (each written to the controller when its box is
// confirmed), then starts a linear or circular move in the XY, XZ or YZ plane. While the
// screen is open it reads the coordinates and the move settings back, one read per tick.
#include <QString>
#include <array>
#include <cstdint>

#include "screens/manual/ScreenIo.h"
#include "ui/SubScreen.h"

class Lamp;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

class InterpolationScreen : public SubScreen {
    Q_OBJECT
public:
    explicit InterpolationScreen(const ScreenContext &ctx, QWidget *parent = nullptr);

    // The refused-entry message of a setting whose thousandths do not fit the register pair.
    static const QString TooLargeMessage;

    // Controls, by their names. Text1: 0-2 coordinates (display only), 3 speed, 4-6 end
    // point, 7-9 middle point, 10 arc direction. Command1: 0-2 arcs, 3-5 lines, 6 emergency
    // stop, 14 return (the other indices do not exist). Label1: only 13, the direction text.
    std::array<QLineEdit *, 11> Text1{};
    std::array<QPushButton *, 15> Command1{};
    std::array<QLabel *, 14> Label1{};
    Lamp *Shape2 = nullptr;
    QLineEdit *Text2 = nullptr;  // the current RequestTag, for diagnosis
    QTimer *Timer1 = nullptr;    // the refresh, 100 ms
    QTimer *Timer2 = nullptr;    // the watchdog, 100 ms

    // Screen state.
    std::int16_t WatchdogTicks = 0;
    std::int16_t SkipRefresh = 0;  // 1: the next shown read A leaves Text1 0 to 3 as they are

    void replyAccepted(int tag) override;

protected:
    void Form_Load() override;
    void Form_Unload() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void resetControls();

    void Timer1_Timer();
    void Timer2_Timer();
    void Command1_Click(int index);
    void Text1_Click(int index);
    void Text1_KeyPress(int index, int &keyAscii);

    // Writes the setting of Text1 `index` (3 to 10); false when the send failed.
    bool commitSetting(int index);
    // Tag, pause, threshold 8: the opening of every write and coil command. False when the
    // screen was closed during the pause.
    bool beginCommand(int tag);
    // The ending of every send: on a port error the tag and flag are cleared and the port is
    // closed (false); otherwise the refresh goes on, skipping its first read-A display.
    bool endCommand();
    // On a port error of a refresh read: clear, close, stop the refresh (false).
    bool refreshSent();
    void showReadA();
    void showReadB();

    ScreenContext m_ctx;
    StagingBuffer m_staging{};
    bool m_inTick = false;  // a refresh tick is on the stack (e.g. behind an error message)
};
