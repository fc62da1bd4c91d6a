// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The axis parameter screen "基本参数配置界面": reads the basic parameters of the three axes
// and their manual accelerations from the controller again and again, writes a confirmed
// entry at once, and asks the controller to save its data.
#include <array>
#include <cstdint>

#include "core/ParameterFile.h"
#include "screens/SubScreen.h"

#include <optional>

class Lamp;
class QGroupBox;
class QLineEdit;
class QPushButton;

class ParamScreen : public SubScreen {
    Q_OBJECT
public:
    ParamScreen(const ToolContext &context, Prompter &prompter);

    void replyAccepted(int tag) override;

    // Validates, scales and writes the entry of box `index`. False when the write was not
    // sent (the port failed, or the screen was closed meanwhile).
    bool ApplyParameterEntry(int index);

    // Controls, by their names.
    QGroupBox *Frame8;
    std::array<QLineEdit *, 24> Text7{};
    QPushButton *Command1;  // "控制器保存数据"
    QPushButton *Command2;  // "返  回"
    // The parameters in a file: "导出参数", "比较参数", "导入参数".
    QPushButton *Command3, *Command4, *Command5;

    // Reads both blocks fresh and saves them to a file; compares a file with the controller;
    // writes the values of a file that differ, after the user has seen them.
    void SaveParameters();
    void CompareParameters();
    void RestoreParameters();
    Lamp *Shape1;           // communication lamp

protected:
    void resetControls() override;
    bool refresh() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    // Stops the refresh and holds the screen while `work` talks to the controller a request at a
    // time; the refresh starts again after it (unless the screen was closed meanwhile).
    void exclusively(const std::function<void()> &work);
    bool readFresh(param::Values &values);
    QString chooseFile(bool save);
    std::optional<param::FileContents> readFile();
    void Text7_Click(int index);
    void Text7_KeyPress(int index, int &keyAscii);
    void Command1_Click();
    void showParameterBlock();
    void showAccelerations();

};
