// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Widgets.h"

#include "ui/Colors.h"

#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QVariant>

void SetBackColor(QWidget *widget, const QColor &color)
{
    if (!widget)
        return;
    widget->setProperty("backColor", color.isValid() ? QVariant(color) : QVariant());
    const QString sheet = color.isValid()
        ? QStringLiteral("QPushButton { background-color: %1; color: black;"
                         " border: 1px solid #7a7a7a; border-radius: 3px; padding: 4px 8px; }"
                         " QPushButton:pressed { border: 2px solid #404040; }"
                         " QPushButton:disabled { color: #808080; }")
              .arg(color.name())
        : QString();
    // A button keeps its colour across most refreshes: a style sheet set again is parsed and the
    // button polished again for nothing.
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
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
    QPixmap &drawn = m_drawn[m_color.rgba()];
    const qreal ratio = devicePixelRatioF();
    if (drawn.isNull() || drawn.devicePixelRatio() != ratio) {
        drawn = QPixmap(size() * ratio);
        drawn.setDevicePixelRatio(ratio);
        drawn.fill(Qt::transparent);
        QPainter p(&drawn);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(m_color);
        p.drawEllipse(rect().adjusted(1, 1, -1, -1));
    }
    QPainter(this).drawPixmap(0, 0, drawn);
}

void Lamp::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        m_drawn.clear();
    QWidget::changeEvent(event);
}

DisplayBox::DisplayBox(QWidget *parent) : QWidget(parent)
{
    // The image covers the whole box, corners included: nothing behind it is drawn again.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void DisplayBox::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    update();
}

QSize DisplayBox::sizeHint() const
{
    // As high as a text box in the same font and style.
    if (m_height == 0) {
        QLineEdit probe;
        probe.setFont(font());
        probe.setStyle(style());
        m_height = probe.sizeHint().height();
    }
    return {width(), m_height};
}

QPixmap DisplayBox::draw(const QString &text) const
{
    const qreal ratio = devicePixelRatioF();
    QPixmap image(size() * ratio);
    image.setDevicePixelRatio(ratio);
    image.fill(palette().color(QPalette::Window));
    QPainter p(&image);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
    frame.midLineWidth = 0;
    frame.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &p, this);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    p.drawText(style()->subElementRect(QStyle::SE_LineEditContents, &frame, this), Qt::AlignCenter, text);
    return image;
}

void DisplayBox::paintEvent(QPaintEvent *)
{
    QPixmap &drawn = m_drawn[m_text];
    if (drawn.isNull() || drawn.devicePixelRatio() != devicePixelRatioF())
        drawn = draw(m_text);
    QPainter(this).drawPixmap(0, 0, drawn);
}

void DisplayBox::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::FontChange:
    case QEvent::EnabledChange:
        m_drawn.clear();
        m_height = 0;
        updateGeometry();
        break;
    default: break;
    }
    QWidget::changeEvent(event);
}

void DisplayBox::resizeEvent(QResizeEvent *event)
{
    m_drawn.clear();
    QWidget::resizeEvent(event);
}

void SetTextIfChanged(QLineEdit *box, const QString &text)
{
    if (box && box->text() != text)
        box->setText(text);
}

void PrepareDisplay()
{
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}

QTimer *MakeTimer(QObject *owner, const char *name, int intervalMs)
{
    auto *timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    return timer;
}
