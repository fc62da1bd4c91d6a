#include "ui/KeyAscii.h"

#include <QKeyEvent>
#include <QWidget>

int KeyAscii(const QKeyEvent &e)
{
    switch (e.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return keys::Enter;
    case Qt::Key_Escape: return keys::Escape;
    case Qt::Key_Backspace: return keys::Backspace;
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return -1;
    default: break;
    }
    if ((e.modifiers() & Qt::ControlModifier) && e.key() >= Qt::Key_A && e.key() <= Qt::Key_Z)
        return e.key() - Qt::Key_A + 1;
    const QString text = e.text();
    return text.isEmpty() ? -1 : int(text.at(0).unicode());
}

KeyPressFilter::KeyPressFilter(QWidget *widget, std::function<void(int &)> handler)
    : QObject(widget), m_handler(std::move(handler))
{
    widget->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int typed = KeyAscii(*static_cast<QKeyEvent *>(event));
    if (typed < 0)
        return false;
    int key = typed;
    m_handler(key);
    return key == 0 || typed == keys::Enter || typed == keys::Escape;
}

bool IsNumberBoxKey(int k)
{
    return (k >= 47 && k <= 57) || k == '.' || k == keys::Backspace;
}
