<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Trelmo</name>
    <message>
        <source>控制器没有连接！</source>
        <translation>Controller not connected!</translation>
    </message>
    <message>
        <source>控制器已经连接！</source>
        <translation>Controller connected!</translation>
    </message>
    <message>
        <source>连接控制器</source>
        <translation>Connect controller</translation>
    </message>
    <message>
        <source>断开控制器</source>
        <translation>Disconnect controller</translation>
    </message>
    <message>
        <source>上电自运行</source>
        <translation>Power-on auto-run</translation>
    </message>
    <message>
        <source>上电后不自动运行</source>
        <translation>No power-on auto-run</translation>
    </message>
    <message>
        <source>串口出错！</source>
        <translation>Serial port error!</translation>
    </message>
    <message>
        <source>串口存在，但控制器没有连接上！</source>
        <translation>The serial port is there, but no controller answers!</translation>
    </message>
    <message>
        <source>此次操作没有成功！</source>
        <translation>The operation did not succeed!</translation>
    </message>
    <message>
        <source>串口无效，无法下载！</source>
        <translation>No serial port: cannot download!</translation>
    </message>
    <message>
        <source>串口无效，无法通信！</source>
        <translation>No serial port: cannot communicate!</translation>
    </message>
    <message>
        <source>程序总行数设定出错，重新设定！</source>
        <translation>The number of lines is wrong; set it again!</translation>
    </message>
    <message>
        <source>输入数据出错！</source>
        <translation>Invalid input!</translation>
    </message>
    <message>
        <source>数据录入有误！</source>
        <translation>Data entry error!</translation>
    </message>
    <message>
        <source>与控制器通信异常！</source>
        <translation>Communication with the controller failed!</translation>
    </message>
    <message>
        <source>急停命令没有得到控制器确认！</source>
        <translation>The controller did not confirm the emergency stop!</translation>
    </message>
    <message>
        <source>通信指示灯</source>
        <translation>Communication</translation>
    </message>
    <message>
        <source> 返   回</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>没有找到有效的串口！</source>
        <translation>No usable serial port found!</translation>
    </message>
    <message>
        <source>控制器中的程序有%1行，超过500行，无法读取！</source>
        <translation>The controller holds %1 lines, more than 500: the program cannot be read!</translation>
    </message>
    <message>
        <source>系统操作</source>
        <translation>System</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>启动</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>恢复</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>延时等待</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>等待电机完成</source>
        <translation>Wait for motors</translation>
    </message>
    <message>
        <source>停止电机运动</source>
        <translation>Stop motors</translation>
    </message>
    <message>
        <source>常等待</source>
        <translation>Hold</translation>
    </message>
    <message>
        <source>流程控制</source>
        <translation>Flow control</translation>
    </message>
    <message>
        <source>程序间跳转</source>
        <translation>Jump to line</translation>
    </message>
    <message>
        <source>程序循环</source>
        <translation>Loop</translation>
    </message>
    <message>
        <source>输入跳转</source>
        <translation>Jump on input</translation>
    </message>
    <message>
        <source>开启输入中断</source>
        <translation>Input interrupt on</translation>
    </message>
    <message>
        <source>关闭输入中断</source>
        <translation>Input interrupt off</translation>
    </message>
    <message>
        <source>输出口设置</source>
        <translation>Set outputs</translation>
    </message>
    <message>
        <source>回零运动</source>
        <translation>Homing</translation>
    </message>
    <message>
        <source>设置回零速度</source>
        <translation>Homing speed</translation>
    </message>
    <message>
        <source>启动回零</source>
        <translation>Start homing</translation>
    </message>
    <message>
        <source>插补运动</source>
        <translation>Interpolation</translation>
    </message>
    <message>
        <source>设置点位速度</source>
        <translation>Point speed</translation>
    </message>
    <message>
        <source>三轴相对运动</source>
        <translation>XYZ relative</translation>
    </message>
    <message>
        <source>单轴绝对运动</source>
        <translation>Axis absolute</translation>
    </message>
    <message>
        <source>XY绝对运动</source>
        <translation>XY absolute</translation>
    </message>
    <message>
        <source>XZ绝对运动</source>
        <translation>XZ absolute</translation>
    </message>
    <message>
        <source>YZ绝对运动</source>
        <translation>YZ absolute</translation>
    </message>
    <message>
        <source>三轴绝对运动</source>
        <translation>XYZ absolute</translation>
    </message>
    <message>
        <source>XY圆弧插补</source>
        <translation>XY arc</translation>
    </message>
    <message>
        <source>XZ圆弧插补</source>
        <translation>XZ arc</translation>
    </message>
    <message>
        <source>YZ圆弧插补</source>
        <translation>YZ arc</translation>
    </message>
    <message>
        <source>独立运动</source>
        <translation>Independent</translation>
    </message>
    <message>
        <source>独立运动速度</source>
        <translation>Independent speed</translation>
    </message>
    <message>
        <source>相对运动</source>
        <translation>Relative move</translation>
    </message>
    <message>
        <source>X绝对运动</source>
        <translation>X absolute</translation>
    </message>
    <message>
        <source>Y绝对运动</source>
        <translation>Y absolute</translation>
    </message>
    <message>
        <source>Z绝对运动</source>
        <translation>Z absolute</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>没有选择有效行！</source>
        <translation>No valid line selected!</translation>
    </message>
    <message>
        <source>程序已有500行，不能再插入代码行！</source>
        <translation>The program has 500 lines already: no line can be inserted!</translation>
    </message>
    <message>
        <source>参数超出范围（-2147483.648 至 2147483.647），输入无效！</source>
        <translation>Parameter out of range (-2147483.648 to 2147483.647): input ignored!</translation>
    </message>
    <message>
        <source>指令集</source>
        <translation>Category</translation>
    </message>
    <message>
        <source>命令</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>参数1</source>
        <translation>Parameter 1</translation>
    </message>
    <message>
        <source>参数2</source>
        <translation>Parameter 2</translation>
    </message>
    <message>
        <source>参数3</source>
        <translation>Parameter 3</translation>
    </message>
    <message>
        <source>参数4</source>
        <translation>Parameter 4</translation>
    </message>
    <message>
        <source>参数5</source>
        <translation>Parameter 5</translation>
    </message>
    <message>
        <source>工程文件新建窗口</source>
        <translation>New project</translation>
    </message>
    <message>
        <source>文件名称为：</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>设定工程指令行数：</source>
        <translation>Number of lines:</translation>
    </message>
    <message>
        <source>确 定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取 消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>输入的指令行数不正确或文件名缺失！</source>
        <translation>Wrong number of lines, or no file name!</translation>
    </message>
    <message>
        <source>没有选择文件！</source>
        <translation>No file chosen!</translation>
    </message>
    <message>
        <source>程序保存出错！</source>
        <translation>The program could not be saved!</translation>
    </message>
    <message>
        <source>打开文件不成功！</source>
        <translation>The file could not be opened!</translation>
    </message>
    <message>
        <source>确定要将工程指令全部删除？</source>
        <translation>Delete every line of the project?</translation>
    </message>
    <message>
        <source>工程已修改，是否保存？</source>
        <translation>The project has changed. Save it?</translation>
    </message>
    <message>
        <source>All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat|Banary Files (*.dat)|*.dat</source>
        <translation>All Files (*.*)|*.*|Text Files (*.txt)|*.txt|Batch Files (*.bat)|*.bat|Binary Files (*.dat)|*.dat</translation>
    </message>
    <message>
        <source>行数输入不正确！</source>
        <translation>Wrong number of lines!</translation>
    </message>
    <message>
        <source>请先将控制器的运行模式改成“上电不自动运行”，然后点击“系统急停”按钮，再下载！</source>
        <translation>First set the run mode to “No power-on auto-run”, then press “Emergency stop”, then download!</translation>
    </message>
    <message>
        <source>程序下载没有完成，控制器中的程序不完整！</source>
        <translation>The download did not finish: the program in the controller is incomplete!</translation>
    </message>
    <message>
        <source>串口无效，无法读取！</source>
        <translation>No serial port: cannot read!</translation>
    </message>
    <message>
        <source>XY直线插补</source>
        <translation>XY line</translation>
    </message>
    <message>
        <source>XZ直线插补</source>
        <translation>XZ line</translation>
    </message>
    <message>
        <source>YZ直线插补</source>
        <translation>YZ line</translation>
    </message>
    <message>
        <source>急  停</source>
        <translation>Emergency stop</translation>
    </message>
    <message>
        <source>X轴坐标</source>
        <translation>X position</translation>
    </message>
    <message>
        <source>Y轴坐标</source>
        <translation>Y position</translation>
    </message>
    <message>
        <source>Z轴坐标</source>
        <translation>Z position</translation>
    </message>
    <message>
        <source>插补速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>X轴终点</source>
        <translation>X end</translation>
    </message>
    <message>
        <source>Y轴终点</source>
        <translation>Y end</translation>
    </message>
    <message>
        <source>Z轴终点</source>
        <translation>Z end</translation>
    </message>
    <message>
        <source>X轴段1</source>
        <translation>X middle</translation>
    </message>
    <message>
        <source>Y轴段1</source>
        <translation>Y middle</translation>
    </message>
    <message>
        <source>Z轴段1</source>
        <translation>Z middle</translation>
    </message>
    <message>
        <source>圆弧方向</source>
        <translation>Arc direction</translation>
    </message>
    <message>
        <source>顺</source>
        <translation>CW</translation>
    </message>
    <message>
        <source>逆</source>
        <translation>CCW</translation>
    </message>
    <message>
        <source>插补调试界面</source>
        <translation>Interpolation test</translation>
    </message>
    <message>
        <source>直线或圆弧插补终点坐标设定</source>
        <translation>End point of the line or arc</translation>
    </message>
    <message>
        <source>圆弧插补段中间某点坐标设定(起点宇终点除外)</source>
        <translation>A point on the arc (not its start or end)</translation>
    </message>
    <message>
        <source>输入数据不在0或1范围内！</source>
        <translation>The input must be 0 or 1!</translation>
    </message>
    <message>
        <source>X回零</source>
        <translation>X home</translation>
    </message>
    <message>
        <source>Y回零</source>
        <translation>Y home</translation>
    </message>
    <message>
        <source>Z回零</source>
        <translation>Z home</translation>
    </message>
    <message>
        <source>急停</source>
        <translation>E-stop</translation>
    </message>
    <message>
        <source> 返 回</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>OUT%1-ON</source>
        <translation>OUT%1-ON</translation>
    </message>
    <message>
        <source>OUT%1-OF</source>
        <translation>OUT%1-OFF</translation>
    </message>
    <message>
        <source>手动速度  (mm/s)</source>
        <translation>Jog speed (mm/s)</translation>
    </message>
    <message>
        <source>运行距离   (mm)</source>
        <translation>Jog distance (mm)</translation>
    </message>
    <message>
        <source>步进开关</source>
        <translation>Step mode</translation>
    </message>
    <message>
        <source>输入状态：</source>
        <translation>Inputs:</translation>
    </message>
    <message>
        <source>原点状态：</source>
        <translation>Origin switches:</translation>
    </message>
    <message>
        <source>输出状态：</source>
        <translation>Outputs:</translation>
    </message>
    <message>
        <source>手控操作界面</source>
        <translation>Manual operation</translation>
    </message>
    <message>
        <source>输入数据不在0或1的范围，出错！</source>
        <translation>The input must be 0 or 1!</translation>
    </message>
    <message>
        <source>脉冲当量</source>
        <translation>Pulse equivalent</translation>
    </message>
    <message>
        <source>导程/</source>
        <translation>Lead (mm)</translation>
    </message>
    <message>
        <source>细分</source>
        <translation>Microstep</translation>
    </message>
    <message>
        <source>手动加速度</source>
        <translation>Jog accel.</translation>
    </message>
    <message>
        <source>行程(mm)</source>
        <translation>Travel (mm)</translation>
    </message>
    <message>
        <source>原点方向</source>
        <translation>Home direction</translation>
    </message>
    <message>
        <source>二次找零速度</source>
        <translation>2nd homing speed</translation>
    </message>
    <message>
        <source>原点回退距离</source>
        <translation>Home back-off</translation>
    </message>
    <message>
        <source>X轴参数</source>
        <translation>X axis</translation>
    </message>
    <message>
        <source>Y轴参数</source>
        <translation>Y axis</translation>
    </message>
    <message>
        <source>Z轴参数</source>
        <translation>Z axis</translation>
    </message>
    <message>
        <source>基本参数配置界面</source>
        <translation>Basic parameters</translation>
    </message>
    <message>
        <source>三轴电机基本参数</source>
        <translation>Basic parameters of the three axes</translation>
    </message>
    <message>
        <source>控制器保存数据</source>
        <translation>Save in controller</translation>
    </message>
    <message>
        <source>返  回</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>软件说明/About</source>
        <translation>About</translation>
    </message>
    <message>
        <source> 软件说明</source>
        <translation> About this tool</translation>
    </message>
    <message>
        <source>1、本软件是针对Vandrel开发的三轴控制器，进行控制器指令编写.</source>
        <translation>1. This tool writes the programs of the three-axis controller made by Vandrel.</translation>
    </message>
    <message>
        <source>2、所有数据录入，必须按电脑键盘“ENTER”，数据设定方可生效，按“ESC”退出，数据录入无效.</source>
        <translation>2. An entry takes effect only when you press “ENTER” on the keyboard; “ESC” leaves it and discards the entry.</translation>
    </message>
    <message>
        <source>3、手动操作和基本参数界面的指示灯，表示当前软件界面通过串口与控制器进行数据交互，若多次交互没能成功，将出现对话框报警.</source>
        <translation>3. The lamp of the manual and parameter screens shows that the screen exchanges data with the controller over the serial port; when exchanges fail several times, a message box warns.</translation>
    </message>
    <message>
        <source>4、本软件自动搜索串口，串口配置为：19200，N，8，1；若无串口、未接控制器会报警提醒.</source>
        <translation>4. The tool finds the serial port by itself; the port runs at 19200, N, 8, 1. Without a serial port or a controller it warns.</translation>
    </message>
    <message>
        <source>工程读取</source>
        <translation>Read program</translation>
    </message>
    <message>
        <source>下载工程</source>
        <translation>Download program</translation>
    </message>
    <message>
        <source>手动操作界面</source>
        <translation>Manual operation</translation>
    </message>
    <message>
        <source>参数配置界面</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>插补操作界面</source>
        <translation>Interpolation</translation>
    </message>
    <message>
        <source>系统急停</source>
        <translation>Emergency stop</translation>
    </message>
    <message>
        <source>控制器存数据</source>
        <translation>Save in controller</translation>
    </message>
    <message>
        <source>新建工程</source>
        <translation>New project</translation>
    </message>
    <message>
        <source>打开工程</source>
        <translation>Open project</translation>
    </message>
    <message>
        <source>保存工程</source>
        <translation>Save project</translation>
    </message>
    <message>
        <source>清除工程</source>
        <translation>Clear project</translation>
    </message>
    <message>
        <source>插入代码行</source>
        <translation>Insert line</translation>
    </message>
    <message>
        <source>删除代码行</source>
        <translation>Delete line</translation>
    </message>
    <message>
        <source>复制代码行</source>
        <translation>Copy line</translation>
    </message>
    <message>
        <source>粘贴代码行</source>
        <translation>Paste line</translation>
    </message>
    <message>
        <source>关于/About</source>
        <translation>About</translation>
    </message>
    <message>
        <source>指令行数：</source>
        <translation>Lines:</translation>
    </message>
    <message>
        <source>当前选择的行：</source>
        <translation>Selected line:</translation>
    </message>
    <message>
        <source>当前选择的列：</source>
        <translation>Selected column:</translation>
    </message>
    <message>
        <source>当前运行设定：</source>
        <translation>Run setting:</translation>
    </message>
    <message>
        <source>控制器连接</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>操作界面</source>
        <translation>Screens</translation>
    </message>
    <message>
        <source>运行控制</source>
        <translation>Run control</translation>
    </message>
    <message>
        <source>请将运行设置：更改为上电不自动运行，再进入参数设置界面！</source>
        <translation>Set the run mode to “No power-on auto-run” first, then open the screen!</translation>
    </message>
    <message>
        <source>串口无效！</source>
        <translation>No serial port!</translation>
    </message>
    <message>
        <source>下载 %1/%2</source>
        <translation>Download %1/%2</translation>
    </message>
    <message>
        <source>读取 %1/%2</source>
        <translation>Read %1/%2</translation>
    </message>
    <message>
        <source>程序传输中，请稍候！</source>
        <translation>A program transfer is running. Please wait.</translation>
    </message>
    <message>
        <source>程序读取没有完成，工程没有改变！</source>
        <translation>The program was not read completely. The project is unchanged.</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>%1 文件</source>
        <translation>%1 File</translation>
    </message>
    <message>
        <source>程序校验一致：共 %1 行。</source>
        <translation>Verify passed: %1 lines, all equal.</translation>
    </message>
    <message>
        <source>程序校验不一致：%1。共 %2 行不同。</source>
        <translation>Verify found differences: %1. Lines that differ: %2.</translation>
    </message>
    <message>
        <source>行数：工程 %1，控制器 %2</source>
        <translation>line count: project %1, controller %2</translation>
    </message>
    <message>
        <source>第 %1 行 %2：工程 %3，控制器 %4</source>
        <translation>line %1, %2: project %3, controller %4</translation>
    </message>
    <message>
        <source>程序校验没有完成！</source>
        <translation>The verify did not finish!</translation>
    </message>
    <message>
        <source>程序校验</source>
        <translation>Verify program</translation>
    </message>
    <message>
        <source>校验 %1/%2</source>
        <translation>Verify %1/%2</translation>
    </message>
    <message>
        <source>不是可用的工程文件（无法读取、不足 2 字节，或行数不在 1 至 500 之间）：%1</source>
        <translation>Not a usable project file (unreadable, under 2 bytes, or a line count outside 1 to 500): %1</translation>
    </message>
    <message>
        <source>下载完成：共 %1 行。</source>
        <translation>Downloaded: %1 lines.</translation>
    </message>
    <message>
        <source>读取完成：共 %1 行，已保存到 %2。</source>
        <translation>Read: %1 lines, saved to %2.</translation>
    </message>
    <message>
        <source>已中断。</source>
        <translation>Interrupted.</translation>
    </message>
    <message>
        <source>%1：控制器应答，程序 %2 行</source>
        <translation>%1: a controller answers, its program has %2 lines</translation>
    </message>
    <message>
        <source>%1：没有控制器应答</source>
        <translation>%1: no controller answers</translation>
    </message>
    <message>
        <source>%1：无法打开</source>
        <translation>%1: cannot be opened</translation>
    </message>
    <message>
        <source>没有串口设备。</source>
        <translation>No serial devices.</translation>
    </message>
    <message>
        <source>第 %1 台：通过（%2 秒）。请换下一台控制器。</source>
        <translation>Unit %1: passed (%2 s). Connect the next controller.</translation>
    </message>
    <message>
        <source>等待控制器……</source>
        <translation>Waiting for a controller...</translation>
    </message>
    <message>
        <source>共 %1 台：通过 %2 台，失败 %3 台。</source>
        <translation>%1 units: %2 passed, %3 failed.</translation>
    </message>
    <message>
        <source>命令行有误：%1</source>
        <translation>Wrong command line: %1</translation>
    </message>
    <message>
        <source>不是参数文件</source>
        <translation>not a parameter file</translation>
    </message>
    <message>
        <source>参数文件格式 %1 无法读取</source>
        <translation>parameter file format %1 cannot be read</translation>
    </message>
    <message>
        <source>无法识别的行</source>
        <translation>unknown line</translation>
    </message>
    <message>
        <source>%1 %2 出现两次</source>
        <translation>%1 %2 given twice</translation>
    </message>
    <message>
        <source>缺少 %1 %2</source>
        <translation>%1 %2 missing</translation>
    </message>
    <message>
        <source>%1 %2 的寄存器应为 %3</source>
        <translation>%1 %2: the registers are %3</translation>
    </message>
    <message>
        <source>%1 %2 的值不是数字</source>
        <translation>%1 %2: not a number</translation>
    </message>
    <message>
        <source>%1 %2 的值超出范围</source>
        <translation>%1 %2: the value does not fit</translation>
    </message>
    <message>
        <source>第 %1 行：%2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>轴</source>
        <translation>Axis</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>控制器</source>
        <translation>Controller</translation>
    </message>
    <message>
        <source>不同</source>
        <translation>differs</translation>
    </message>
    <message>
        <source>不同，不写入</source>
        <translation>differs, not written</translation>
    </message>
    <message>
        <source>%1 %2：已写入 %3，读回一致</source>
        <translation>%1 %2: %3 written and read back</translation>
    </message>
    <message>
        <source>%1 %2：已写入 %3，读回为 %4</source>
        <translation>%1 %2: %3 written, read back as %4</translation>
    </message>
    <message>
        <source>%1 %2：没有写入</source>
        <translation>%1 %2: not written</translation>
    </message>
    <message>
        <source>%1 %2：文件中的 %3 不能写入，保持 %4</source>
        <translation>%1 %2: the file&apos;s %3 cannot be written; it stays %4</translation>
    </message>
    <message>
        <source>参数文件 (*.trelmo-params)|*.trelmo-params|All Files (*.*)|*.*</source>
        <translation>Parameter files (*.trelmo-params)|*.trelmo-params|All Files (*.*)|*.*</translation>
    </message>
    <message>
        <source>参数已保存到 %1。</source>
        <translation>Parameters saved to %1.</translation>
    </message>
    <message>
        <source>参数文件保存出错！</source>
        <translation>The parameter file could not be saved!</translation>
    </message>
    <message>
        <source>参数文件无法使用：%1</source>
        <translation>The parameter file cannot be used: %1</translation>
    </message>
    <message>
        <source>没有读到控制器的参数，请重试！</source>
        <translation>The controller&apos;s parameters could not be read; try again!</translation>
    </message>
    <message>
        <source>比较参数</source>
        <translation>Compare with file…</translation>
    </message>
    <message>
        <source>导入参数</source>
        <translation>Restore from file…</translation>
    </message>
    <message>
        <source>文件与控制器的参数全部相同。</source>
        <translation>The file and the controller hold the same parameters.</translation>
    </message>
    <message>
        <source>有 %1 个参数不同。</source>
        <translation>%1 parameters differ.</translation>
    </message>
    <message>
        <source>有 %1 个参数不同，将写入其中 %2 个。写入吗？</source>
        <translation>%1 parameters differ; %2 of them will be written. Write them?</translation>
    </message>
    <message>
        <source>参数写入结果：
%1</source>
        <translation>Parameters written:
%1</translation>
    </message>
    <message>
        <source>参数写入没有完成：
%1</source>
        <translation>The parameters were not all written:
%1</translation>
    </message>
    <message>
        <source>参数已写入。现在让控制器保存数据吗？</source>
        <translation>The parameters are written. Let the controller save its data now?</translation>
    </message>
    <message>
        <source>行号</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>共有 %1 行代码，这里最多还能容纳 %2 行（一个程序最多 500 行）。</source>
        <translation>%1 lines, but only %2 more fit here (a program has at most 500 lines).</translation>
    </message>
    <message>
        <source>第 %1 行有 %2 列，应有 7 列（指令集、命令、参数1 至 参数5），或前面再加一列行号共 8 列。</source>
        <translation>Row %1 has %2 cells; a line has 7 (Category, Command, Parameter 1 to Parameter 5), or 8 with a line number in front.</translation>
    </message>
    <message>
        <source>第 %1 行有 %2 列，应与第一行一样有 %3 列。</source>
        <translation>Row %1 has %2 cells; like the first row, it should have %3.</translation>
    </message>
    <message>
        <source>第 %1 行第 %2 列（%3）：“%4”不是指令集的名称或代码。</source>
        <translation>Row %1, column %2 (%3): &quot;%4&quot; is not a category name or code.</translation>
    </message>
    <message>
        <source>第 %1 行第 %2 列（%3）：“%4”不是这一行的指令集中的命令名称或代码。</source>
        <translation>Row %1, column %2 (%3): &quot;%4&quot; is not a command name or code of the row&apos;s category.</translation>
    </message>
    <message>
        <source>第 %1 行第 %2 列（%3）：代码“%4”超出范围（0 至 65535）。</source>
        <translation>Row %1, column %2 (%3): the code &quot;%4&quot; is out of range (0 to 65535).</translation>
    </message>
    <message>
        <source>第 %1 行第 %2 列（%3）：“%4”不是数（可带负号，最多三位小数）。</source>
        <translation>Row %1, column %2 (%3): &quot;%4&quot; is not a number (an optional minus, at most three decimals).</translation>
    </message>
    <message>
        <source>第 %1 行第 %2 列（%3）：“%4”超出范围（-2147483.648 至 2147483.647）。</source>
        <translation>Row %1, column %2 (%3): &quot;%4&quot; is out of range (-2147483.648 to 2147483.647).</translation>
    </message>
    <message>
        <source>第 %1 行第 %2 列（%3）：“%4”不是行号。</source>
        <translation>Row %1, column %2 (%3): &quot;%4&quot; is not a line number.</translation>
    </message>
    <message>
        <source>其余出错的行：%1</source>
        <translation>Other rows refused: %1</translation>
    </message>
    <message>
        <source>剪贴板中的内容不是程序，没有粘贴：</source>
        <translation>The clipboard holds no program; nothing was pasted:</translation>
    </message>
    <message>
        <source>剪贴板中没有代码行！</source>
        <translation>The clipboard holds no program lines!</translation>
    </message>
    <message>
        <source>粘贴后将有 %1 行，一个程序最多 500 行，没有粘贴！</source>
        <translation>The program would have %1 lines; a program has at most 500. Nothing was pasted!</translation>
    </message>
    <message>
        <source>CSV 表格 (*.csv)</source>
        <translation>CSV table (*.csv)</translation>
    </message>
    <message>
        <source>%1 不是可以打开的程序，没有打开：</source>
        <translation>%1 is not a program that can be opened; it was not opened:</translation>
    </message>
    <message>
        <source>文件已不存在，已从最近打开的工程中删除：%1</source>
        <translation>The file is gone and has been removed from the recent projects: %1</translation>
    </message>
    <message>
        <source>（还没有最近打开的工程）</source>
        <translation>(no recent projects yet)</translation>
    </message>
    <message>
        <source>convert 需要一个工程文件和一个 .csv 文件：%1 → %2</source>
        <translation>convert takes one project file and one .csv file: %1 → %2</translation>
    </message>
    <message>
        <source>不是可用的工程文件或 CSV 表格：%1</source>
        <translation>Not a usable project file or CSV table: %1</translation>
    </message>
    <message>
        <source>无法写入：%1</source>
        <translation>Cannot write: %1</translation>
    </message>
    <message>
        <source>已转换：共 %1 行，已写入 %2。</source>
        <translation>Converted: %1 lines, written to %2.</translation>
    </message>
    <message>
        <source>[y/N] </source>
        <translation>[y/N] </translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>差异</source>
        <translation>Difference</translation>
    </message>
    <message>
        <source>%1 %2：已写入 %3，没有读回</source>
        <translation>%1 %2: %3 written, not read back</translation>
    </message>
    <message>
        <source>%1 不是程序，没有转换：</source>
        <translation>%1 is not a program; nothing was converted:</translation>
    </message>
    <message>
        <source>%1 %2：已发出 %3，控制器没有应答</source>
        <translation>%1 %2: %3 sent, the controller did not answer</translation>
    </message>
    <message>
        <source>导出参数</source>
        <translation>Save parameters…</translation>
    </message>
    <message>
        <source>时间 (ms)</source>
        <translation>time (ms)</translation>
    </message>
    <message>
        <source>间隔 (ms)</source>
        <translation>gap (ms)</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>way</translation>
    </message>
    <message>
        <source>帧</source>
        <translation>frame</translation>
    </message>
    <message>
        <source>用途</source>
        <translation>for</translation>
    </message>
    <message>
        <source>延迟 (ms)</source>
        <translation>latency (ms)</translation>
    </message>
    <message>
        <source>故障</source>
        <translation>fault</translation>
    </message>
    <message>
        <source>数据（十六进制）</source>
        <translation>bytes (hex)</translation>
    </message>
    <message>
        <source>CRC 错误</source>
        <translation>CRC error</translation>
    </message>
    <message>
        <source>长度不对</source>
        <translation>wrong length</translation>
    </message>
    <message>
        <source>异常应答</source>
        <translation>exception</translation>
    </message>
    <message>
        <source>不成帧</source>
        <translation>no frame</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no reply</translation>
    </message>
    <message>
        <source>迟到的应答</source>
        <translation>late reply</translation>
    </message>
    <message>
        <source>未请求的帧</source>
        <translation>not asked for</translation>
    </message>
    <message>
        <source>急停重发</source>
        <translation>stop resent</translation>
    </message>
    <message>
        <source>串口出错</source>
        <translation>port error</translation>
    </message>
    <message>
        <source>非法功能</source>
        <translation>illegal function</translation>
    </message>
    <message>
        <source>非法数据地址</source>
        <translation>illegal data address</translation>
    </message>
    <message>
        <source>非法数据值</source>
        <translation>illegal data value</translation>
    </message>
    <message>
        <source>从站设备故障</source>
        <translation>slave device failure</translation>
    </message>
    <message>
        <source>异常 %1</source>
        <translation>exception %1</translation>
    </message>
    <message>
        <source>值 %1</source>
        <translation>value %1</translation>
    </message>
    <message>
        <source>%1 字节</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>读 %1 ×%2</source>
        <translation>read %1 ×%2</translation>
    </message>
    <message>
        <source>写 %1 ×%2</source>
        <translation>write %1 ×%2</translation>
    </message>
    <message>
        <source>线圈 %1 = %2</source>
        <translation>coil %1 = %2</translation>
    </message>
    <message>
        <source>写 %1 = %2</source>
        <translation>write %1 = %2</translation>
    </message>
    <message>
        <source>%1 回原点</source>
        <translation>home %1</translation>
    </message>
    <message>
        <source>点动 %1</source>
        <translation>jog %1</translation>
    </message>
    <message>
        <source>存数据</source>
        <translation>save data</translation>
    </message>
    <message>
        <source>%1 直线插补</source>
        <translation>%1 linear move</translation>
    </message>
    <message>
        <source>%1 圆弧插补</source>
        <translation>%1 circular move</translation>
    </message>
    <message>
        <source>行数</source>
        <translation>line count</translation>
    </message>
    <message>
        <source>校验：行数</source>
        <translation>verify: line count</translation>
    </message>
    <message>
        <source>下载：行数</source>
        <translation>download: line count</translation>
    </message>
    <message>
        <source>读取：第 %1/%2 块</source>
        <translation>upload: block %1/%2</translation>
    </message>
    <message>
        <source>下载：第 %1/%2 块</source>
        <translation>download: block %1/%2</translation>
    </message>
    <message>
        <source>校验：第 %1/%2 块</source>
        <translation>verify: block %1/%2</translation>
    </message>
    <message>
        <source>上电运行设定</source>
        <translation>power-on auto-run</translation>
    </message>
    <message>
        <source>手动状态</source>
        <translation>manual status</translation>
    </message>
    <message>
        <source>手动写入 %1</source>
        <translation>manual write %1</translation>
    </message>
    <message>
        <source>参数读取</source>
        <translation>parameter read</translation>
    </message>
    <message>
        <source>加速度读取</source>
        <translation>acceleration read</translation>
    </message>
    <message>
        <source>参数写入 %1</source>
        <translation>parameter write %1</translation>
    </message>
    <message>
        <source>插补读取 %1</source>
        <translation>interpolation read %1</translation>
    </message>
    <message>
        <source>插补写入 %1</source>
        <translation>interpolation write %1</translation>
    </message>
    <message>
        <source>%1 字节，应为 %2</source>
        <translation>%1 bytes, %2 expected</translation>
    </message>
    <message>
        <source>发</source>
        <translation>TX</translation>
    </message>
    <message>
        <source>收</source>
        <translation>RX</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>port</translation>
    </message>
    <message>
        <source>请求</source>
        <translation>requests</translation>
    </message>
    <message>
        <source>应答</source>
        <translation>replies</translation>
    </message>
    <message>
        <source>平均延迟</source>
        <translation>mean latency</translation>
    </message>
    <message>
        <source>最大延迟</source>
        <translation>largest latency</translation>
    </message>
    <message>
        <source>通信监视</source>
        <translation>Traffic monitor</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>文件保存出错！</source>
        <translation>The file could not be saved!</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>复制所选行</source>
        <translation>Copy selected rows</translation>
    </message>
    <message>
        <source>保存为文本…</source>
        <translation>Save as text…</translation>
    </message>
    <message>
        <source>保存为 CSV…</source>
        <translation>Save as CSV…</translation>
    </message>
    <message>
        <source>只显示故障</source>
        <translation>Faults only</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)|*.csv</source>
        <translation>CSV files (*.csv)|*.csv</translation>
    </message>
    <message>
        <source>文本文件 (*.txt)|*.txt</source>
        <translation>Text files (*.txt)|*.txt</translation>
    </message>
    <message>
        <source>无法写入跟踪文件：%1</source>
        <translation>Cannot write the trace file: %1</translation>
    </message>
    <message>
        <source>由控制器算出，仅供参考</source>
        <translation>worked out by the controller, for information</translation>
    </message>
    <message>
        <source>没有这个命令：%1</source>
        <translation>no such command: %1</translation>
    </message>
    <message>
        <source>%1 的参数不对：%2</source>
        <translation>wrong arguments for %1: %2</translation>
    </message>
    <message>
        <source>%1 不能用于 %2</source>
        <translation>%1 does not apply to %2</translation>
    </message>
    <message>
        <source>%1 的值不能为空</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>用法：trelmo-cli 命令 [选项]

命令：
  download 工程文件   连接控制器，下载工程，然后校验
  verify 工程文件     比较控制器中的程序与工程文件
  upload 工程文件     读取控制器中的程序，保存为工程文件
  ports               列出串口，以及哪个串口上有控制器应答
  convert 文件A 文件B 在工程文件与 CSV 表格之间转换（以扩展名 .csv 区分）
  params save 参数文件     读取控制器的轴参数，保存到文件
  params diff 参数文件     比较文件与控制器的轴参数（相同退出码 0，不同 5）
  params restore 参数文件  把文件中不同的参数写入控制器（先询问，--yes 不询问）
  params store             让控制器把参数存入掉电保持存储器（同“控制器保存数据”）

选项：
  --port 设备         使用这个串口设备（不含“/”的名字指 /dev/ 下的设备；
                      默认：像窗口一样依次尝试系统的串口）
  --no-verify         download：下载后不校验
  --repeat            download、verify：生产线循环，每台控制器完成后等它断开，再等下一台
  --log 文件.csv      download、verify、upload：每台一行记录，追加写入
  --json              在标准输出打印结果对象（--repeat 时每台一行，最后是汇总）
  --yes               params restore：不询问，直接写入
  --store             params restore：写入后让控制器保存参数
  --trace 文件        把线路上的每一帧写入文本文件：时间、间隔、方向、数据、用途、延迟、故障
  --help              显示本说明
  --version           显示版本

退出码：0 完成（并校验一致）；1 用法错误；2 工程文件或参数文件缺失、无法读取或不可用；
3 没有串口或串口出错；4 没有控制器应答；5 校验发现不同；6 传输没有完成；
7 控制器设为上电自运行（没有发送任何数据）；8 控制器以异常应答拒绝了请求；
9 输出文件无法写入；10 没有确认，没有写入任何参数；
129、130、143 被信号结束（SIGHUP、Ctrl+C、SIGTERM：128 加信号编号）。
</source>
        <translation>Usage: trelmo-cli COMMAND [options]

Commands:
  download PROJECT    connect, download the project, then verify it
  verify PROJECT      compare the controller&apos;s program with the project file
  upload PROJECT      read the controller&apos;s program and save it as a project file
  ports               list the serial ports and where a controller answers
  convert A B         convert between a project file and a CSV table (told apart by .csv)
  params save FILE    read the controller&apos;s axis parameters and save them to FILE
  params diff FILE    compare FILE with the controller&apos;s axis parameters (exit 0 equal, 5 different)
  params restore FILE write the values of FILE that differ into the controller (asks first; --yes does not)
  params store        let the controller keep its parameters over a power cycle (as &quot;Save in controller&quot;)

Options:
  --port DEVICE       use this serial device only (a name without &quot;/&quot; is a device in /dev/;
                      default: the system&apos;s serial ports in turn, as the window tries them)
  --no-verify         download: do not verify after the download
  --repeat            download, verify: the production loop; after each controller wait until it
                      is unplugged, then for the next one
  --log FILE.csv      download, verify, upload: append one row per unit
  --json              print the result as an object on standard output (with --repeat one line
                      per unit, then the summary)
  --yes               params restore: write without asking
  --store             params restore: let the controller store the values afterwards
  --trace FILE        write every frame on the line to a text file: time, gap, direction, data,
                      purpose, latency, fault
  --help              show this text
  --version           show the version

Exit status: 0 done (and verified); 1 wrong command line; 2 project or parameter file missing,
unreadable or unusable; 3 no serial port, or the port failed; 4 no controller answers;
5 the verify found a difference; 6 the transfer was cut short; 7 the controller is set to run
its program at power-on (nothing was sent); 8 the controller refused a request with an
exception reply; 9 an output file cannot be written; 10 not confirmed, no parameter written;
129, 130, 143 ended by a signal (SIGHUP, Ctrl+C, SIGTERM: 128 plus the signal&apos;s number).
</translation>
    </message>
    <message>
        <source>没有确认，没有写入任何参数。</source>
        <translation>Not confirmed: no parameter was written.</translation>
    </message>
    <message>
        <source>参数在控制器的工作存储中；要掉电保持，请运行 trelmo-cli params store。</source>
        <translation>The parameters are in the controller&apos;s working memory; to keep them over a power cycle, run trelmo-cli params store.</translation>
    </message>
    <message>
        <source>控制器已保存参数。</source>
        <translation>The controller has stored its parameters.</translation>
    </message>
    <message>
        <source>控制器没有确认保存参数。</source>
        <translation>The controller did not confirm storing its parameters.</translation>
    </message>
    <message>
        <source>控制器设为上电自运行，没有写入任何参数。请先在 Trelmo 窗口中把运行模式改成“上电不自动运行”。</source>
        <translation>The controller is set to run its program at power-on: no parameter was written. First set its run mode to “No power-on auto-run” in the Trelmo window.</translation>
    </message>
    <message>
        <source>第 %1 台：失败。请换下一台控制器。</source>
        <translation>Unit %1: failed. Connect the next controller.</translation>
    </message>
    <message>
        <source>无法写入日志：%1</source>
        <translation>Cannot write the log: %1</translation>
    </message>
    <message>
        <source>工程文件不完整：%1 有 %2 行，但只有 %3 字节（应为 %4 字节以上）</source>
        <translation>The project file is incomplete: %1 has %2 lines but only %3 bytes (at least %4 expected)</translation>
    </message>
    <message>
        <source>params restore 需要确认：没有终端可以询问，请加上 --yes。没有写入任何参数。</source>
        <translation>params restore asks before it writes, and there is no terminal to ask on: add --yes. No parameter was written.</translation>
    </message>
    <message>
        <source>无法打开串口 %1。</source>
        <translation>Cannot open the serial port %1.</translation>
    </message>
    <message>
        <source>没有一个串口能打开：%1</source>
        <translation>None of the serial ports opens: %1</translation>
    </message>
    <message>
        <source>串口 %1 出错。</source>
        <translation>The serial port %1 failed.</translation>
    </message>
    <message>
        <source>%1：没有控制器应答。</source>
        <translation>%1: no controller answers.</translation>
    </message>
    <message>
        <source>控制器拒绝了请求：异常 %1，%2。</source>
        <translation>The controller refused the request: exception %1, %2.</translation>
    </message>
    <message>
        <source>控制器设为上电自运行，没有发送任何数据。请先在 Trelmo 窗口中把运行模式改成“上电不自动运行”。</source>
        <translation>The controller is set to run its program at power-on: nothing was sent. First set its run mode to “No power-on auto-run” in the Trelmo window.</translation>
    </message>
    <message>
        <source>下载没有完成，已写入 %1/%2 块：控制器中的程序不完整！</source>
        <translation>The download did not complete, %1 of %2 blocks written: the program in the controller is incomplete!</translation>
    </message>
    <message>
        <source>校验没有完成，已比较 %1/%2 块。</source>
        <translation>The verify did not complete, %1 of %2 blocks compared.</translation>
    </message>
    <message>
        <source>读取没有完成，已读取 %1/%2 块，没有保存任何文件。</source>
        <translation>The upload did not complete, %1 of %2 blocks read; no file was written.</translation>
    </message>
    <message>
        <source>控制器报告 %1 行，程序最多 500 行：没有读取。</source>
        <translation>The controller reports %1 lines, but a program has at most 500: nothing was read.</translation>
    </message>
    <message>
        <source>%1：控制器以异常 %2 应答</source>
        <translation>%1: the controller answers with exception %2</translation>
    </message>
    <message>
        <source>%1：串口出错</source>
        <translation>%1: serial port error</translation>
    </message>
    <message>
        <source>未知的异常</source>
        <translation>unknown exception</translation>
    </message>
    <message>
        <source>已确认，正在处理</source>
        <translation>acknowledge</translation>
    </message>
    <message>
        <source>从站设备忙</source>
        <translation>slave device busy</translation>
    </message>
    <message>
        <source>存储器奇偶校验错误</source>
        <translation>memory parity error</translation>
    </message>
    <message>
        <source>网关路径不可用</source>
        <translation>gateway path unavailable</translation>
    </message>
    <message>
        <source>网关目标设备没有响应</source>
        <translation>gateway target device failed to respond</translation>
    </message>
    <message>
        <source>运动轨迹</source>
        <translation>Motion plot</translation>
    </message>
    <message>
        <source>平面</source>
        <translation>Plane</translation>
    </message>
    <message>
        <source>保存 CSV…</source>
        <translation>Save CSV…</translation>
    </message>
    <message>
        <source>保存图片…</source>
        <translation>Save image…</translation>
    </message>
    <message>
        <source>滚轮缩放，拖动平移，双击显示全部</source>
        <translation>Wheel: zoom; drag: pan; double click: show all</translation>
    </message>
    <message>
        <source>PNG 图片 (*.png)|*.png</source>
        <translation>PNG images (*.png)|*.png</translation>
    </message>
    <message>
        <source>时间 (s)</source>
        <translation>time (s)</translation>
    </message>
    <message>
        <source>位置 (mm)</source>
        <translation>position (mm)</translation>
    </message>
    <message>
        <source>速度 (mm/s)</source>
        <translation>speed (mm/s)</translation>
    </message>
    <message>
        <source>路径</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>当前位置</source>
        <translation>Current position</translation>
    </message>
    <message>
        <source>起点</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>中间点</source>
        <translation>Middle point</translation>
    </message>
    <message>
        <source>终点</source>
        <translation>End point</translation>
    </message>
    <message>
        <source>路径速度</source>
        <translation>Path speed</translation>
    </message>
    <message>
        <source>设定速度</source>
        <translation>Set speed</translation>
    </message>
    <message>
        <source>拟合圆圆心 (%1, %2)，半径 %3 mm，读数离圆最远 %4 mm</source>
        <translation>fitted circle centre (%1, %2), radius %3 mm, farthest reading %4 mm from it</translation>
    </message>
    <message>
        <source>读数不足以拟合出圆</source>
        <translation>too few readings off one straight line to fit a circle</translation>
    </message>
    <message>
        <source>，走向%1（设定%2）</source>
        <translation>, turned %1 (set %2)</translation>
    </message>
    <message>
        <source>；过起点、中间点、终点的圆半径 %1 mm</source>
        <translation>; through start, middle, end: radius %1 mm</translation>
    </message>
    <message>
        <source>读数离起点到终点的直线最远 %1 mm</source>
        <translation>farthest reading %1 mm from the straight line from start to end</translation>
    </message>
    <message>
        <source>X (mm)</source>
        <translation>X (mm)</translation>
    </message>
    <message>
        <source>Y (mm)</source>
        <translation>Y (mm)</translation>
    </message>
    <message>
        <source>Z (mm)</source>
        <translation>Z (mm)</translation>
    </message>
    <message>
        <source>平均速度 %1 mm/s，设定速度 %2 mm/s</source>
        <translation>mean speed %1 mm/s, set speed %2 mm/s</translation>
    </message>
    <message>
        <source>平均速度 %1 mm/s</source>
        <translation>mean speed %1 mm/s</translation>
    </message>
    <message>
        <source>移动中的读数太少，没有平均速度</source>
        <translation>too few readings inside the move for a mean speed</translation>
    </message>
    <message>
        <source>同一个文件不能兼作工程或参数文件、日志和跟踪：%1</source>
        <translation>One file cannot be two of the project or parameter file, the log and the trace: %1</translation>
    </message>
</context>
</TS>
