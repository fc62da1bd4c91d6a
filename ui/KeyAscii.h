// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Key filters act on typed characters, as the original key-press events saw them: ENTER 13,
// ESC 27, Backspace 8, Ctrl+letter 1..26 (Ctrl+V is 22), printable characters by their code.
// Keys that type nothing (arrows, Home, End, Delete, Tab) are -1 and pass untouched.
#include <QObject>
#include <functional>

class QKeyEvent;
class QWidget;

namespace keys {
constexpr int Backspace = 8, Enter = 13, Escape = 27;
}

int KeyAscii(const QKeyEvent &event);

// Runs `handler` for every typed character of `widget` before the widget sees it. The handler
// may set the code to 0 to drop the key. ENTER and ESC never reach the widget. The editing
// shortcuts (select all, copy, cut, undo) work as in any text box. Text reaches a text box only
// through the handler, however it comes: typed, pasted with the keys, from the context menu's
// "Paste" or with the middle button; a paste goes in only when the handler takes every
// character of it. Dropped text and input methods, which the handler cannot see, are refused.
class KeyPressFilter : public QObject {
public:
    KeyPressFilter(QWidget *widget, std::function<void(int &keyAscii)> handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Whether the handler takes each character of `text` in turn, asked as if it were typed.
    // Control characters are never asked: a line end in pasted text must not act as ENTER.
    bool takesText(const QString &text) const;
    // Pastes `text` into `box` when the handler takes it whole.
    void paste(QWidget *box, const QString &text) const;
    void showContextMenu(QWidget *box, const QPoint &at) const;

    std::function<void(int &)> m_handler;
};

// The "Paste" of a text box's standard context menu (it carries the paste shortcut).
class QAction;
class QMenu;
QAction *PasteAction(const QMenu &menu);

// The entry rule of the screens' number boxes: "/" and the digits (47 to 57), "." and
// Backspace pass; ENTER and ESC are left to the caller; everything else is dropped.
bool IsNumberBoxKey(int keyAscii);
