// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/KeyAscii.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
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
    widget->setAttribute(Qt::WA_InputMethodEnabled, false);
    widget->setAcceptDrops(false);
}

void KeyPressFilter::paste(QWidget *box, const QString &text) const
{
    if (auto *edit = qobject_cast<QLineEdit *>(box); edit && !edit->isReadOnly() && takesText(text))
        edit->insert(text);
}

void KeyPressFilter::showContextMenu(QWidget *box, const QPoint &at) const
{
    auto *edit = qobject_cast<QLineEdit *>(box);
    if (!edit)
        return;
    // The box's own menu, whose "Paste" goes through the handler like any other paste.
    QMenu *menu = edit->createStandardContextMenu();
    menu->setParent(edit, menu->windowFlags());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (QAction *action = PasteAction(*menu)) {
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, edit, [this, edit] { paste(edit, QGuiApplication::clipboard()->text()); });
    }
    menu->popup(at);
}

QAction *PasteAction(const QMenu &menu)
{
    const QString shortcut = u'\t' + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    for (QAction *action : menu.actions())
        if (action->text().endsWith(shortcut))
            return action;
    return nullptr;
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
    auto *box = static_cast<QWidget *>(watched);
    switch (event->type()) {
    case QEvent::ContextMenu:
        showContextMenu(box, static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
        // The middle button pastes the desktop's selection.
        if (static_cast<QMouseEvent *>(event)->button() != Qt::MiddleButton)
            return false;
        if (event->type() == QEvent::MouseButtonRelease)
            paste(box, QGuiApplication::clipboard()->text(QClipboard::Selection));
        return true;
    }
    case QEvent::Drop:
    case QEvent::DragEnter:
    case QEvent::InputMethod: return true;
    case QEvent::KeyPress: break;
    default: return QObject::eventFilter(watched, event);
    }
    const auto &press = *static_cast<QKeyEvent *>(event);
    if (press.matches(QKeySequence::Paste)) {
        paste(box, QGuiApplication::clipboard()->text());
        return true;
    }
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
