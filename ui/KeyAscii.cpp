#include "ui/KeyAscii.h"

#include <QClipboard>
#include <QGuiApplication>
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

bool KeyPressFilter::takesText(const QString &text) const
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        int key = c.unicode();
        if (key < ' ')
            return false;
        m_handler(key);
        if (key == 0)
            return false;
    }
    return true;
}

bool KeyPressFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto &press = *static_cast<QKeyEvent *>(event);
    if (press.matches(QKeySequence::Paste))
        return !takesText(QGuiApplication::clipboard()->text());
    if (press.matches(QKeySequence::SelectAll) || press.matches(QKeySequence::Copy) ||
        press.matches(QKeySequence::Cut) || press.matches(QKeySequence::Undo))
        return false;
    const int typed = KeyAscii(press);
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
