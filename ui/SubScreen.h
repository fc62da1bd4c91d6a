#pragma once
// A screen opened from the main window (manual, parameters, interpolation). At most one is
// loaded at a time. Unloading hides the window and runs its unload steps; the object lives
// on, so that no handler of it is ever destroyed while it may be on the stack.
#include <QWidget>

class SubScreen : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    bool isLoaded() const { return m_loaded; }
    // Shows the screen; a screen that is not loaded runs its load steps first.
    void showScreen()
    {
        if (!m_loaded) {
            m_loaded = true;
            Form_Load();
        }
        show();
        raise();
        activateWindow();
    }
    // A reply for one of the screens' tags (20 .. 158) has been accepted.
    virtual void replyAccepted(int tag) { (void)tag; }
    void unloadScreen()
    {
        if (!m_loaded)
            return;
        m_loaded = false;
        hide();
        Form_Unload();
    }

protected:
    virtual void Form_Load() = 0;
    virtual void Form_Unload() = 0;
    void closeEvent(QCloseEvent *event) override
    {
        QWidget::closeEvent(event);
        if (m_loaded) {
            m_loaded = false;
            Form_Unload();
        }
    }

private:
    bool m_loaded = false;
};
