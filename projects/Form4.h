// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The new-project window: a file name and a number of lines. It asks for nothing until
// "确 定" finds a name and a line count from 1 to 499.
#include <QWidget>
#include <functional>

class Prompter;
class QLabel;
class QLineEdit;
class QPushButton;

class Form4 : public QWidget {
    Q_OBJECT
public:
    explicit Form4(Prompter &prompter, QWidget *parent = nullptr);
    // Empties the name and sets the line count to 0, as every load of the window does.
    void Form_Load();

    QLabel *Label1, *Label2;
    QLineEdit *Text1, *Text2;
    QPushButton *Command1, *Command2;
    // Asked when "确 定" is pressed: false keeps the window open and changes nothing.
    std::function<bool()> mayCreate = [] { return true; };

signals:
    // The checks have passed; the window closes after this.
    void projectRequested(const QString &name, int lines);

private:
    void Command1Click();

    Prompter &m_prompter;
};
