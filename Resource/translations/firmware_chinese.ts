<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Build</name>
    <message>
        <location filename="../../UI/build.ui" line="9"/>
        <source>Build</source>
        <translation>打印</translation>
    </message>
    <message>
        <location filename="../../UI/build.ui" line="21"/>
        <source>Disk</source>
        <translation>本地</translation>
    </message>
    <message>
        <location filename="../../UI/build.ui" line="43"/>
        <source>USB Device</source>
        <translation>U盘</translation>
    </message>
    <message>
        <location filename="../../UI/build.ui" line="73"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
</context>
<context>
    <name>BuildFileManage</name>
    <message>
        <location filename="../../UI/buildfilemanage.ui" line="9"/>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.ui" line="183"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="125"/>
        <source>h</source>
        <translation>小时</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="125"/>
        <source>min</source>
        <translation>分钟</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="128"/>
        <source>M</source>
        <translation>M</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="129"/>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="130"/>
        <source>mm/s</source>
        <translation>mm/s</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="177"/>
        <source>Are you sure to delete</source>
        <translation>确认删除</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="177"/>
        <source>Are you sure
 to delete the file?</source>
        <translation>确定要
 删除该文件吗？</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="178"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="178"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="220"/>
        <source>The file name cannot be printed,
please rename the file</source>
        <translation>该文件名无法打印，
请重命名文件</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="232"/>
        <location filename="../../UI/buildfilemanage.cpp" line="288"/>
        <location filename="../../UI/buildfilemanage.cpp" line="398"/>
        <source>Storage space is not enough</source>
        <translation>存储空间不足</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="235"/>
        <source>Copy File</source>
        <translation>复制文件</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="235"/>
        <source>Waiting...</source>
        <translation>请稍候...</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="282"/>
        <source>Please insert USB Disk !</source>
        <translation>请插入U盘！</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="294"/>
        <source>Copying...</source>
        <translation>正在复制...</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="352"/>
        <source>Verifying file...</source>
        <translation>正在校验文件...</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="365"/>
        <source>Copy completed</source>
        <translation>复制完成</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="398"/>
        <source>Please retry</source>
        <translation>请重试</translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="459"/>
        <source>USB Disk removed,
copy stopped</source>
        <translation>U盘已拔出，
复制已停止</translation>
    </message>
</context>
<context>
    <name>BuildPrint</name>
    <message>
        <location filename="../../UI/buildprint.ui" line="6"/>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="18"/>
        <source>FileName</source>
        <translation>文件名</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="26"/>
        <source>%p%</source>
        <translation>%p%</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="32"/>
        <source>Build Time</source>
        <translation>打印用时</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="38"/>
        <location filename="../../UI/buildprint.ui" line="50"/>
        <source>00:00</source>
        <translation>00:00</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="44"/>
        <location filename="../../UI/buildprint.cpp" line="349"/>
        <source>Time Remaining</source>
        <translation>剩余时间</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="57"/>
        <source>Layer: 0/0</source>
        <translation>层数: 0/0</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="70"/>
        <source>100/220</source>
        <translation>100/220</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="83"/>
        <source>30/60</source>
        <translation>30/60</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="96"/>
        <source>100%</source>
        <translation>100%</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="109"/>
        <source>0.0</source>
        <translation>0.0</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="305"/>
        <location filename="../../UI/buildprint.cpp" line="796"/>
        <source>Layer: </source>
        <translation>层数: </translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="321"/>
        <source>File format error</source>
        <translation>文件格式错误</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="474"/>
        <location filename="../../UI/buildprint.cpp" line="625"/>
        <location filename="../../UI/buildprint.cpp" line="868"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="625"/>
        <source>No material detected. Please
load material before resuming
the print.</source>
        <translation>未检测到耗材。
请先进料，
再继续打印。</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="704"/>
        <source>The print could not be started.
Please try again.</source>
        <translation>无法开始打印。
请重试。</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="755"/>
        <source>Abnormally print.
Please check the extruder.</source>
        <translation>打印异常。
请检查挤出机。</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="868"/>
        <source>Out of material.You can
load more material to
continue this print.</source>
        <translation>耗材已用完。
进料后可
继续打印。</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="509"/>
        <source>Pausing...
please wait...</source>
        <translation>正在暂停...
请稍候...</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="946"/>
        <source>Prepare to resume...</source>
        <translation>准备继续打印...</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1071"/>
        <location filename="../../UI/buildprint.cpp" line="1097"/>
        <source>The printer did not finish its move.
Please check the printer.</source>
        <translation>打印机未完成移动。
请检查打印机。</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1118"/>
        <source>The printer&apos;s controller is not answering.
Please check the printer.</source>
        <translation>打印机主控无响应。
请检查打印机。</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1169"/>
        <source>Cancel print job</source>
        <translation>取消打印</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1169"/>
        <source>Are you sure to
 cancel print job?</source>
        <translation>确定要
 取消打印吗？</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1169"/>
        <source>YES</source>
        <translation>是</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1169"/>
        <source>NO</source>
        <translation>否</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1196"/>
        <location filename="../../UI/buildprint.cpp" line="1245"/>
        <source>Cancelling Build...</source>
        <translation>正在取消打印...</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1289"/>
        <source>Build Completed</source>
        <translation>打印完成</translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1289"/>
        <source>Build completed!</source>
        <translation>打印完成！</translation>
    </message>
</context>
<context>
    <name>ChangFilament</name>
    <message>
        <location filename="../../UI/changfilament.ui" line="6"/>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.ui" line="8"/>
        <source>100/230℃</source>
        <translation>100/230℃</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.ui" line="9"/>
        <location filename="../../UI/changfilament.cpp" line="71"/>
        <source>Heating...</source>
        <translation>正在加热...</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.ui" line="19"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.ui" line="20"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="41"/>
        <source>pause print...</source>
        <translation>正在暂停打印...</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="111"/>
        <source>Abnormal temperature,
Please check the extruder.</source>
        <translation>温度异常，
请检查挤出机。</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="148"/>
        <source>Unloading the filament
 about 1 minute...</source>
        <translation>正在退料
 约需1分钟...</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="166"/>
        <source>Prepare load</source>
        <translation>准备进料</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="188"/>
        <source>Preheat completed.
 Begin loading...</source>
        <translation>预热完成。
 开始进料...</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="195"/>
        <source>Loading,about 1-2 minute
Press back when new color appears</source>
        <translation>正在进料，约需1-2分钟
新颜色挤出后请按返回</translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="216"/>
        <source>heating...</source>
        <translation>正在加热...</translation>
    </message>
</context>
<context>
    <name>Control</name>
    <message>
        <location filename="../../UI/control.ui" line="6"/>
        <source>Control</source>
        <translation>控制</translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="55"/>
        <source>Unload</source>
        <translation>退料</translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="54"/>
        <source>Load</source>
        <translation>进料</translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="52"/>
        <source>Move</source>
        <translation>移动</translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="53"/>
        <source>Home</source>
        <translation>归零</translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="51"/>
        <source>Preheat</source>
        <translation>预热</translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="56"/>
        <source>Level</source>
        <translation>调平</translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="11"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
</context>
<context>
    <name>ExtruderCalibration</name>
    <message>
        <location filename="../../UI/ExtruderCalibration.cpp" line="69"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <location filename="../../UI/ExtruderCalibration.cpp" line="86"/>
        <source>Pre-adjusting, please wait...</source>
        <translation>正在预调整，请稍候...</translation>
    </message>
    <message>
        <location filename="../../UI/ExtruderCalibration.cpp" line="259"/>
        <source>Completed!</source>
        <translation>完成！</translation>
    </message>
    <message>
        <location filename="../../UI/ExtruderCalibration.cpp" line="260"/>
        <source>Moving to Point %1.please wait...</source>
        <translation>正在移动到第%1点，请稍候...</translation>
    </message>
</context>
<context>
    <name>Home</name>
    <message>
        <location filename="../../UI/home.ui" line="14"/>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <location filename="../../UI/home.ui" line="29"/>
        <location filename="../../UI/home.cpp" line="33"/>
        <source>Homing, please wait...</source>
        <translation>正在归零，请稍候...</translation>
    </message>
    <message>
        <location filename="../../UI/home.ui" line="66"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <location filename="../../UI/home.cpp" line="70"/>
        <source>Homing completed</source>
        <translation>归零完成</translation>
    </message>
    <message>
        <location filename="../../UI/home.cpp" line="82"/>
        <source>Homing did not finish.
Please check the machine.</source>
        <translation>归零未完成。
请检查机器。</translation>
    </message>
</context>
<context>
    <name>LoadFilament</name>
    <message>
        <location filename="../../UI/loadfilament.ui" line="14"/>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.ui" line="30"/>
        <source>Load</source>
        <translation>进料</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.ui" line="50"/>
        <source>100</source>
        <translation>100</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.ui" line="70"/>
        <source>/230℃</source>
        <translation>/230℃</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.ui" line="89"/>
        <source>Heating...</source>
        <translation>正在加热...</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.ui" line="133"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="33"/>
        <source>Extruder heating...</source>
        <translation>正在加热喷嘴...</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="115"/>
        <source>Preheat completed.
 Begin loading...</source>
        <translation>预热完成。
 开始进料...</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="126"/>
        <source>Loading,about 1-2 minute
Press ok when new color appears</source>
        <translation>正在进料，约需1-2分钟
新颜色挤出后请按确定</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="127"/>
        <source>ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="165"/>
        <source>Abnormal temperature,
Please check the extruder.</source>
        <translation>温度异常，
请检查挤出机。</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="183"/>
        <source>Cancel load</source>
        <translation>取消进料</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="184"/>
        <source>Are you sure to
 cancel load?</source>
        <translation>确定要
 取消进料吗？</translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="210"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../../UI/mainwindow.ui" line="20"/>
        <source>Build</source>
        <translation>打印</translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.ui" line="21"/>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.ui" line="22"/>
        <source>Info</source>
        <translation>信息</translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.ui" line="23"/>
        <source>Control</source>
        <translation>控制</translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="404"/>
        <source>Resume Print</source>
        <translation>恢复打印</translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="405"/>
        <source>Resume the last print?</source>
        <translation>是否恢复上次的打印？</translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="406"/>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="406"/>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="196"/>
        <source>USB stick</source>
        <translation>U盘</translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="196"/>
        <source>No USB stick</source>
        <translation>无U盘</translation>
    </message>
</context>
<context>
    <name>Manual</name>
    <message>
        <location filename="../../UI/manual.ui" line="6"/>
        <source>Manual</source>
        <translation>手动</translation>
    </message>
    <message>
        <location filename="../../UI/manual.ui" line="13"/>
        <source>X</source>
        <translation>X</translation>
    </message>
    <message>
        <location filename="../../UI/manual.ui" line="16"/>
        <source>Y</source>
        <translation>Y</translation>
    </message>
    <message>
        <location filename="../../UI/manual.ui" line="21"/>
        <source>Z</source>
        <translation>Z</translation>
    </message>
    <message>
        <location filename="../../UI/manual.ui" line="46"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
</context>
<context>
    <name>OneButtonDialog</name>
    <message>
        <location filename="../../Dialog/onebuttondialog.ui" line="11"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>PlatformLevel</name>
    <message>
        <location filename="../../UI/PlatformLevel.ui" line="9"/>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.ui" line="19"/>
        <location filename="../../UI/PlatformLevel.cpp" line="292"/>
        <source>Click the arrow to adjust the platform
so that it just touches the nozzle</source>
        <translation>点击箭头调整平台高度，
使其刚好接触喷嘴</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.ui" line="49"/>
        <source>Z axis offset:</source>
        <translation>Z轴偏移:</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.ui" line="99"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.ui" line="122"/>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="77"/>
        <source>Next</source>
        <translation>下一步</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="84"/>
        <source>Pre-adjusting, please wait...</source>
        <translation>正在预调整，请稍候...</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="131"/>
        <source>Calibration completed</source>
        <translation>校准完成</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="167"/>
        <source>Complete</source>
        <translation>完成</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="192"/>
        <source>The machine did not finish moving.
Please check the machine.</source>
        <translation>机器未完成移动。
请检查机器。</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="219"/>
        <source>Moving to Point 2.
please wait...</source>
        <translation>正在移动到第2点。
请稍候...</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="225"/>
        <source>Unscrew corresponding nut under platform
until touching the nozzle.</source>
        <translation>拧松平台下方对应的螺母，
直到平台接触喷嘴。</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="228"/>
        <source>Moving to Point 3.
please wait...</source>
        <translation>正在移动到第3点。
请稍候...</translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="307"/>
        <source>Calibration is stored. Extruder is homing...</source>
        <translation>校准已保存，喷头正在归零...</translation>
    </message>
</context>
<context>
    <name>Preheat</name>
    <message>
        <location filename="../../UI/preheat.ui" line="6"/>
        <location filename="../../UI/preheat.cpp" line="210"/>
        <location filename="../../UI/preheat.cpp" line="243"/>
        <source>Preheat</source>
        <translation>预热</translation>
    </message>
    <message>
        <location filename="../../UI/preheat.ui" line="15"/>
        <location filename="../../UI/preheat.ui" line="24"/>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <location filename="../../UI/preheat.ui" line="28"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <location filename="../../UI/preheat.cpp" line="175"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../../UI/preheat.cpp" line="251"/>
        <source>Abnormal temperature,
Please check the extruder.</source>
        <translation>温度异常，
请检查挤出机。</translation>
    </message>
</context>
<context>
    <name>PrintCtl</name>
    <message>
        <location filename="../../UI/printctl.ui" line="6"/>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <location filename="../../UI/printctl.cpp" line="94"/>
        <source>Cancel print job</source>
        <translation>取消打印</translation>
    </message>
    <message>
        <location filename="../../UI/printctl.cpp" line="94"/>
        <source>Are you sure to
 pause print job?</source>
        <translation>确定要
 暂停打印吗？</translation>
    </message>
    <message>
        <location filename="../../UI/printctl.cpp" line="94"/>
        <source>YES</source>
        <translation>是</translation>
    </message>
    <message>
        <location filename="../../UI/printctl.cpp" line="94"/>
        <source>NO</source>
        <translation>否</translation>
    </message>
</context>
<context>
    <name>PrintDetail</name>
    <message>
        <location filename="../../UI/printdetail.ui" line="6"/>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="9"/>
        <source>Print Speed</source>
        <translation>打印速度</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="19"/>
        <location filename="../../UI/printdetail.ui" line="111"/>
        <source>100%</source>
        <translation>100%</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="29"/>
        <source>Extruder temperature</source>
        <translation>喷嘴温度</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="39"/>
        <source>230℃</source>
        <translation>230℃</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="49"/>
        <source>Platform temperature</source>
        <translation>热床温度</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="59"/>
        <source>100℃</source>
        <translation>100℃</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="77"/>
        <location filename="../../UI/printdetail.ui" line="129"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="81"/>
        <source>Z -Offset</source>
        <translation>Z轴偏移</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="91"/>
        <source>0.1mm</source>
        <translation>0.1mm</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="101"/>
        <source>Filament</source>
        <translation>耗材</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="139"/>
        <location filename="../../UI/printdetail.cpp" line="185"/>
        <source>1/2</source>
        <translation>1/2</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="143"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.cpp" line="185"/>
        <source>2/2</source>
        <translation>2/2</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.cpp" line="215"/>
        <source>Parameter set successfully</source>
        <translation>参数设置成功</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.cpp" line="215"/>
        <source>Parameter set successfully.</source>
        <translation>参数设置成功。</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.cpp" line="217"/>
        <source>Parameters applied, but they could not be saved</source>
        <translation>参数已生效，但无法保存</translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.cpp" line="218"/>
        <source>Parameters applied, but they could not be saved.</source>
        <translation>参数已生效，但无法保存。</translation>
    </message>
</context>
<context>
    <name>ProgressDialog</name>
    <message>
        <location filename="../../Dialog/progressdialog.ui" line="12"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>Setting</name>
    <message>
        <location filename="../../UI/setting.ui" line="9"/>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <location filename="../../UI/setting.ui" line="19"/>
        <source>Probing</source>
        <translation>探测</translation>
    </message>
    <message>
        <location filename="../../UI/setting.ui" line="52"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
</context>
<context>
    <name>ShowList</name>
    <message>
        <location filename="../../UI/showtfcard.ui" line="9"/>
        <source>Files</source>
        <translation>文件</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.ui" line="118"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
</context>
<context>
    <name>ShowTFCard</name>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="495"/>
        <source>Are you sure to delete</source>
        <translation>确认删除</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="495"/>
        <source>Are you sure
 to delete the file?</source>
        <translation>确定要
 删除该文件吗？</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="496"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="496"/>
        <location filename="../../UI/showtfcard.cpp" line="562"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="541"/>
        <source>Please insert USB Disk !</source>
        <translation>请插入U盘！</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="549"/>
        <location filename="../../UI/showtfcard.cpp" line="669"/>
        <source>Storage space is not enough</source>
        <translation>存储空间不足</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="556"/>
        <location filename="../../UI/showtfcard.cpp" line="560"/>
        <location filename="../../UI/showtfcard.cpp" line="562"/>
        <location filename="../../UI/showtfcard.cpp" line="635"/>
        <source>Copy File...</source>
        <translation>复制文件...</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="635"/>
        <source>Verifying file...</source>
        <translation>正在校验文件...</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="686"/>
        <source>Copy Complete</source>
        <translation>复制完成</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="691"/>
        <source>Copy Failed</source>
        <translation>复制失败</translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="709"/>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <location filename="../../UI/startup.cpp" line="65"/>
        <source>Machine stoppage</source>
        <translation>机器停止</translation>
    </message>
    <message>
        <location filename="../../UI/startup.cpp" line="66"/>
        <source>Please reboot the machine</source>
        <translation>请重启机器</translation>
    </message>
</context>
<context>
    <name>TwoButtonDialog</name>
    <message>
        <location filename="../../Dialog/twobuttondialog.ui" line="11"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="../../Dialog/twobuttondialog.ui" line="12"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>UnloadFilament</name>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="14"/>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="30"/>
        <source>unLoad</source>
        <translation>退料</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="50"/>
        <source>100</source>
        <translation>100</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="70"/>
        <source>/230℃</source>
        <translation>/230℃</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="89"/>
        <source>Heating...</source>
        <translation>正在加热...</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="133"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="149"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="40"/>
        <source>Heating extruder...</source>
        <translation>正在加热喷嘴...</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="118"/>
        <source>Unloading the filament
 about 1 minute...</source>
        <translation>正在退料
 约需1分钟...</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="143"/>
        <source>Press and hold the handle.
pull out the filament, and
unloading is completed!</source>
        <translation>按住手柄，
拔出耗材，
退料完成！</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="164"/>
        <source>Unloading did not finish.
Please check the machine.</source>
        <translation>退料未完成。
请检查机器。</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="193"/>
        <source>Abnormal temperature,
Please check the extruder.</source>
        <translation>温度异常，
请检查挤出机。</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="208"/>
        <source>Cancel unload</source>
        <translation>取消退料</translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="209"/>
        <source>Are you sure to
 cancel unload?</source>
        <translation>确定要
 取消退料吗？</translation>
    </message>
</context>
</TS>
