// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small platform pieces: buttons with a settable back colour and filled round lamps.
#include <QColor>
#include <QWidget>

#include <QHash>
#include <QPixmap>
#include <QString>

class QLineEdit;
class QTimer;
class QPushButton;

// Before the application starts: how the windows reach an X display server. The tool redraws a
// few small boxes and lamps many times a second; with shared-memory images Qt waits for the
// server to confirm the previous image before every paint (a round trip each time, the largest
// cost of the screens' refresh), where a plain image request needs no answer. A user's own
// QT_XCB_NO_MITSHM setting is kept.
void PrepareDisplay();

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
    void changeEvent(QEvent *event) override;

private:
    QColor m_color;
    int m_diameter;
    // Each colour drawn once: a communication lamp changes five times a second.
    QHash<QRgb, QPixmap> m_drawn;
};

// A read-only box that looks like the tool's other boxes and shows a short text that changes
// many times a second (the main window's RequestTag box). A text box lays its text out anew at
// every change and draws its frame at every paint; this one draws each text it has shown once,
// frame and all, and paints that image again when the text comes back.
class DisplayBox : public QWidget {
    Q_OBJECT
public:
    explicit DisplayBox(QWidget *parent = nullptr);
    QString text() const { return m_text; }
    void setText(const QString &text);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPixmap draw(const QString &text) const;

    QString m_text;
    QHash<QString, QPixmap> m_drawn;
    mutable int m_height = 0;  // a text box's, found once
};
