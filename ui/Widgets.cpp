#include "ui/Widgets.h"

#include "ui/Colors.h"

#include <QLineEdit>
#include <QPainter>
#include <QTimer>
#include <QVariant>

void SetBackColor(QWidget *widget, const QColor &color)
{
    if (!widget)
        return;
    widget->setProperty("backColor", color.isValid() ? QVariant(color) : QVariant());
    if (!color.isValid()) {
        widget->setStyleSheet(QString());
        return;
    }
    widget->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: black;"
                                         " border: 1px solid #7a7a7a; border-radius: 3px; padding: 4px 8px; }"
                                         " QPushButton:pressed { border: 2px solid #404040; }"
                                         " QPushButton:disabled { color: #808080; }")
                              .arg(color.name()));
}

QColor BackColor(const QWidget *widget)
{
    if (!widget)
        return {};
    const QVariant v = widget->property("backColor");
    return v.isValid() ? v.value<QColor>() : widget->palette().color(QPalette::Button);
}

Lamp::Lamp(QWidget *parent, int diameter) : QWidget(parent), m_diameter(diameter)
{
    m_color = backgroundColor();
    setFixedSize(diameter, diameter);
}

QColor Lamp::backgroundColor() const
{
    return palette().color(QPalette::Window);
}

void Lamp::setFillColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void Lamp::setLit(bool on)
{
    setFillColor(on ? colors::Red : backgroundColor());
}

bool Lamp::isLit() const
{
    return m_color == colors::Red;
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(m_color);
    p.drawEllipse(rect().adjusted(1, 1, -1, -1));
}

void SetTextIfChanged(QLineEdit *box, const QString &text)
{
    if (box && box->text() != text)
        box->setText(text);
}

QTimer *MakeTimer(QObject *owner, const char *name, int intervalMs)
{
    auto *timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    return timer;
}
