#pragma once
// Small platform pieces: buttons with a settable back colour and filled round lamps.
#include <QColor>
#include <QWidget>

class QLineEdit;
class QTimer;
class QPushButton;

// A window's timer, named as the window calls it, stopped until the window starts it.
QTimer *MakeTimer(QObject *owner, const char *name, int intervalMs);

// Sets a box's text only when it differs: the timers refresh boxes many times a second, and
// a box set to its own text would still be repainted.
void SetTextIfChanged(QLineEdit *box, const QString &text);

// Paints a button (or any widget) in `color`; an invalid colour restores the default look.
// The colour is kept in the "backColor" property so that it can be read back.
void SetBackColor(QWidget *widget, const QColor &color);
QColor BackColor(const QWidget *widget);

// A filled circle: red when on, the window background colour when off; communication lamps
// alternate their colour on every shown reply.
class Lamp : public QWidget {
    Q_OBJECT
public:
    explicit Lamp(QWidget *parent = nullptr, int diameter = 20);
    void setFillColor(const QColor &color);
    QColor fillColor() const { return m_color; }
    // The window background colour (the "off" colour).
    QColor backgroundColor() const;
    void setLit(bool on);  // red or background
    bool isLit() const;
    QSize sizeHint() const override { return {m_diameter, m_diameter}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QColor m_color;
    int m_diameter;
};
