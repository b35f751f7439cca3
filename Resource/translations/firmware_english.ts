<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Build</name>
    <message>
        <location filename="../../UI/build.ui" line="9"/>
        <source>Build</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/build.ui" line="21"/>
        <source>Disk</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/build.ui" line="43"/>
        <source>USB Device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/build.ui" line="73"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>BuildFileManage</name>
    <message>
        <location filename="../../UI/buildfilemanage.ui" line="9"/>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.ui" line="183"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="125"/>
        <source>h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="125"/>
        <source>min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="128"/>
        <source>M</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="129"/>
        <source>mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="130"/>
        <source>mm/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="177"/>
        <source>Are you sure to delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="177"/>
        <source>Are you sure
 to delete the file?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="178"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="178"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="220"/>
        <source>The file name cannot be printed,
please rename the file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="232"/>
        <location filename="../../UI/buildfilemanage.cpp" line="288"/>
        <location filename="../../UI/buildfilemanage.cpp" line="398"/>
        <source>Storage space is not enough</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="235"/>
        <source>Copy File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="235"/>
        <source>Waiting...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="282"/>
        <source>Please insert USB Disk !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="294"/>
        <source>Copying...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="352"/>
        <source>Verifying file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="365"/>
        <source>Copy completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="398"/>
        <source>Please retry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="459"/>
        <source>USB Disk removed,
copy stopped</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>BuildPrint</name>
    <message>
        <location filename="../../UI/buildprint.ui" line="6"/>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="18"/>
        <source>FileName</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="26"/>
        <source>%p%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="32"/>
        <source>Build Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="38"/>
        <location filename="../../UI/buildprint.ui" line="50"/>
        <source>00:00</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="44"/>
        <location filename="../../UI/buildprint.cpp" line="349"/>
        <source>Time Remaining</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="57"/>
        <source>Layer: 0/0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="70"/>
        <source>100/220</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="83"/>
        <source>30/60</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="96"/>
        <source>100%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.ui" line="109"/>
        <source>0.0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="305"/>
        <location filename="../../UI/buildprint.cpp" line="796"/>
        <source>Layer: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="321"/>
        <source>File format error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="474"/>
        <location filename="../../UI/buildprint.cpp" line="625"/>
        <location filename="../../UI/buildprint.cpp" line="868"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="625"/>
        <source>No material detected. Please
load material before resuming
the print.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="704"/>
        <source>The print could not be started.
Please try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="755"/>
        <source>Abnormally print.
Please check the extruder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="868"/>
        <source>Out of material.You can
load more material to
continue this print.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="509"/>
        <source>Pausing...
please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="946"/>
        <source>Prepare to resume...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1071"/>
        <location filename="../../UI/buildprint.cpp" line="1097"/>
        <source>The printer did not finish its move.
Please check the printer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1118"/>
        <source>The printer&apos;s controller is not answering.
Please check the printer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1169"/>
        <source>Cancel print job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1169"/>
        <source>Are you sure to
 cancel print job?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1169"/>
        <source>YES</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1169"/>
        <source>NO</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1196"/>
        <location filename="../../UI/buildprint.cpp" line="1245"/>
        <source>Cancelling Build...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1289"/>
        <source>Build Completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1289"/>
        <source>Build completed!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChangFilament</name>
    <message>
        <location filename="../../UI/changfilament.ui" line="6"/>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.ui" line="8"/>
        <source>100/230℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.ui" line="9"/>
        <location filename="../../UI/changfilament.cpp" line="71"/>
        <source>Heating...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.ui" line="19"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.ui" line="20"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="41"/>
        <source>pause print...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="111"/>
        <source>Abnormal temperature,
Please check the extruder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="148"/>
        <source>Unloading the filament
 about 1 minute...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="166"/>
        <source>Prepare load</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="188"/>
        <source>Preheat completed.
 Begin loading...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="195"/>
        <source>Loading,about 1-2 minute
Press back when new color appears</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/changfilament.cpp" line="216"/>
        <source>heating...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Control</name>
    <message>
        <location filename="../../UI/control.ui" line="6"/>
        <source>Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="55"/>
        <source>Unload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="54"/>
        <source>Load</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="52"/>
        <source>Move</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="53"/>
        <source>Home</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="51"/>
        <source>Preheat</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="7"/>
        <location filename="../../UI/control.cpp" line="56"/>
        <source>Level</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/control.ui" line="11"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExtruderCalibration</name>
    <message>
        <location filename="../../UI/ExtruderCalibration.cpp" line="69"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/ExtruderCalibration.cpp" line="86"/>
        <source>Pre-adjusting, please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/ExtruderCalibration.cpp" line="259"/>
        <source>Completed!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/ExtruderCalibration.cpp" line="260"/>
        <source>Moving to Point %1.please wait...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Home</name>
    <message>
        <location filename="../../UI/home.ui" line="14"/>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/home.ui" line="29"/>
        <location filename="../../UI/home.cpp" line="33"/>
        <source>Homing, please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/home.ui" line="66"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/home.cpp" line="70"/>
        <source>Homing completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/home.cpp" line="82"/>
        <source>Homing did not finish.
Please check the machine.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LoadFilament</name>
    <message>
        <location filename="../../UI/loadfilament.ui" line="14"/>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.ui" line="30"/>
        <source>Load</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.ui" line="50"/>
        <source>100</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.ui" line="70"/>
        <source>/230℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.ui" line="89"/>
        <source>Heating...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.ui" line="133"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="33"/>
        <source>Extruder heating...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="115"/>
        <source>Preheat completed.
 Begin loading...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="126"/>
        <source>Loading,about 1-2 minute
Press ok when new color appears</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="127"/>
        <source>ok</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="165"/>
        <source>Abnormal temperature,
Please check the extruder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="183"/>
        <source>Cancel load</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="184"/>
        <source>Are you sure to
 cancel load?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/loadfilament.cpp" line="210"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../../UI/mainwindow.ui" line="20"/>
        <source>Build</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.ui" line="21"/>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.ui" line="22"/>
        <source>Info</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.ui" line="23"/>
        <source>Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="196"/>
        <source>USB stick</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="196"/>
        <source>No USB stick</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="404"/>
        <source>Resume Print</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="405"/>
        <source>Resume the last print?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="406"/>
        <source>Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="406"/>
        <source>No</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Manual</name>
    <message>
        <location filename="../../UI/manual.ui" line="6"/>
        <source>Manual</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/manual.ui" line="13"/>
        <source>X</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/manual.ui" line="16"/>
        <source>Y</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/manual.ui" line="21"/>
        <source>Z</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/manual.ui" line="46"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OneButtonDialog</name>
    <message>
        <location filename="../../Dialog/onebuttondialog.ui" line="11"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PlatformLevel</name>
    <message>
        <location filename="../../UI/PlatformLevel.ui" line="9"/>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.ui" line="19"/>
        <location filename="../../UI/PlatformLevel.cpp" line="292"/>
        <source>Click the arrow to adjust the platform
so that it just touches the nozzle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.ui" line="49"/>
        <source>Z axis offset:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.ui" line="99"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.ui" line="122"/>
        <source>Ok</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="77"/>
        <source>Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="84"/>
        <source>Pre-adjusting, please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="131"/>
        <source>Calibration completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="167"/>
        <source>Complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="192"/>
        <source>The machine did not finish moving.
Please check the machine.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="219"/>
        <source>Moving to Point 2.
please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="225"/>
        <source>Unscrew corresponding nut under platform
until touching the nozzle.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="228"/>
        <source>Moving to Point 3.
please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/PlatformLevel.cpp" line="307"/>
        <source>Calibration is stored. Extruder is homing...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Preheat</name>
    <message>
        <location filename="../../UI/preheat.ui" line="6"/>
        <location filename="../../UI/preheat.cpp" line="210"/>
        <location filename="../../UI/preheat.cpp" line="243"/>
        <source>Preheat</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/preheat.ui" line="15"/>
        <location filename="../../UI/preheat.ui" line="24"/>
        <source>Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/preheat.ui" line="28"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/preheat.cpp" line="175"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/preheat.cpp" line="251"/>
        <source>Abnormal temperature,
Please check the extruder.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PrintCtl</name>
    <message>
        <location filename="../../UI/printctl.ui" line="6"/>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printctl.cpp" line="94"/>
        <source>Cancel print job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printctl.cpp" line="94"/>
        <source>Are you sure to
 pause print job?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printctl.cpp" line="94"/>
        <source>YES</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printctl.cpp" line="94"/>
        <source>NO</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PrintDetail</name>
    <message>
        <location filename="../../UI/printdetail.ui" line="6"/>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="9"/>
        <source>Print Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="19"/>
        <location filename="../../UI/printdetail.ui" line="111"/>
        <source>100%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="29"/>
        <source>Extruder temperature</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="39"/>
        <source>230℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="49"/>
        <source>Platform temperature</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="59"/>
        <source>100℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="77"/>
        <location filename="../../UI/printdetail.ui" line="129"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="81"/>
        <source>Z -Offset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="91"/>
        <source>0.1mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="101"/>
        <source>Filament</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="139"/>
        <location filename="../../UI/printdetail.cpp" line="185"/>
        <source>1/2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.ui" line="143"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.cpp" line="185"/>
        <source>2/2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.cpp" line="215"/>
        <source>Parameter set successfully</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.cpp" line="215"/>
        <source>Parameter set successfully.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.cpp" line="217"/>
        <source>Parameters applied, but they could not be saved</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/printdetail.cpp" line="218"/>
        <source>Parameters applied, but they could not be saved.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProgressDialog</name>
    <message>
        <location filename="../../Dialog/progressdialog.ui" line="12"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Setting</name>
    <message>
        <location filename="../../UI/setting.ui" line="9"/>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/setting.ui" line="19"/>
        <source>Probing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/setting.ui" line="52"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ShowList</name>
    <message>
        <location filename="../../UI/showtfcard.ui" line="9"/>
        <source>Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.ui" line="118"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ShowTFCard</name>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="495"/>
        <source>Are you sure to delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="495"/>
        <source>Are you sure
 to delete the file?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="496"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="496"/>
        <location filename="../../UI/showtfcard.cpp" line="562"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="541"/>
        <source>Please insert USB Disk !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="549"/>
        <location filename="../../UI/showtfcard.cpp" line="669"/>
        <source>Storage space is not enough</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="556"/>
        <location filename="../../UI/showtfcard.cpp" line="560"/>
        <location filename="../../UI/showtfcard.cpp" line="562"/>
        <location filename="../../UI/showtfcard.cpp" line="635"/>
        <source>Copy File...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="635"/>
        <source>Verifying file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="686"/>
        <source>Copy Complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="691"/>
        <source>Copy Failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="709"/>
        <source>Ok</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <location filename="../../UI/startup.cpp" line="65"/>
        <source>Machine stoppage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/startup.cpp" line="66"/>
        <source>Please reboot the machine</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TwoButtonDialog</name>
    <message>
        <location filename="../../Dialog/twobuttondialog.ui" line="11"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../Dialog/twobuttondialog.ui" line="12"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UnloadFilament</name>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="14"/>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="30"/>
        <source>unLoad</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="50"/>
        <source>100</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="70"/>
        <source>/230℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="89"/>
        <source>Heating...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="133"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.ui" line="149"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="40"/>
        <source>Heating extruder...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="118"/>
        <source>Unloading the filament
 about 1 minute...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="143"/>
        <source>Press and hold the handle.
pull out the filament, and
unloading is completed!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="164"/>
        <source>Unloading did not finish.
Please check the machine.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="193"/>
        <source>Abnormal temperature,
Please check the extruder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="208"/>
        <source>Cancel unload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/unloadfilament.cpp" line="209"/>
        <source>Are you sure to
 cancel unload?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
