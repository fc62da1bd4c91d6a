// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How far a download ("下载工程"), an upload ("工程读取") or a verify ("程序校验") has got, in the
// main window's bottom row: "下载 120/500" with a bar, lines done against the lines in all, a
// block (ten lines) at a time. It goes when the transfer ends with its last block; a transfer that ends
// early (an emergency stop, the watchdog, a port error) stays shown where it stopped until a
// transfer button is clicked again. It only watches: the transfer runs as it would without it.
#include <QWidget>

class QLabel;
class QProgressBar;
struct ToolState;

class TransferProgress : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Download, Upload, Verify };

    TransferProgress(const ToolState &state, QWidget *parent);

    // A transfer button is clicked: what an earlier transfer left shown goes.
    void clicked();
    // A transfer has started (from a button, or the read of the stored program when the
    // controller is connected) with `lines` lines.
    void started(Kind kind, int lines);
    // The main window's Timer1 tick, after the transfer's own step.
    void tick();

    QLabel *label() const { return m_label; }
    QProgressBar *bar() const { return m_bar; }

protected:
    // "中 / EN": what is shown is shown again in the new language.
    void changeEvent(QEvent *event) override;

private:
    enum class Phase { Idle, Running, Finished, Stopped };
    bool transferring() const;
    void showDone(int lines);

    const ToolState &m_state;
    QLabel *m_label;
    QProgressBar *m_bar;
    Phase m_phase = Phase::Idle;
    Kind m_kind = Kind::Download;
    int m_lines = 0;
    int m_done = 0;
};
