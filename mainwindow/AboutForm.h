// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The About window: four usage notes and a button that closes it.
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class AboutForm : public QWidget {
    Q_OBJECT
public:
    explicit AboutForm(QWidget *parent = nullptr);
    // Fills the notes afresh, as every load of the window does.
    void Form_Load();

    QLabel *Label1;
    QPlainTextEdit *Text1;
    QPushButton *Command1;

protected:
    void changeEvent(QEvent *event) override;
};
