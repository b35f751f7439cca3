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
        <location filename="../../UI/buildfilemanage.cpp" line="128"/>
        <source>h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="128"/>
        <source>min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="129"/>
        <source>M</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="130"/>
        <source>mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="131"/>
        <source>mm/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="178"/>
        <source>Are you sure to delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="178"/>
        <source>Are you sure
 to delete the file?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="179"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="179"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="230"/>
        <location filename="../../UI/buildfilemanage.cpp" line="286"/>
        <location filename="../../UI/buildfilemanage.cpp" line="397"/>
        <source>Storage space is not enough</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="233"/>
        <source>Copy File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="233"/>
        <source>Waiting...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="280"/>
        <source>Please insert USB Disk !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="292"/>
        <source>Copying...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="350"/>
        <source>Verifying file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="364"/>
        <source>Copy completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="397"/>
        <location filename="../../UI/buildfilemanage.cpp" line="457"/>
        <source>Please retry</source>
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
        <location filename="../../UI/buildprint.cpp" line="339"/>
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
        <location filename="../../UI/buildprint.cpp" line="295"/>
        <location filename="../../UI/buildprint.cpp" line="777"/>
        <source>Layer: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="311"/>
        <source>File format error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="464"/>
        <location filename="../../UI/buildprint.cpp" line="611"/>
        <location filename="../../UI/buildprint.cpp" line="842"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="611"/>
        <source>No material detected. Please
load material before resuming
the print.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="683"/>
        <source>The print could not be started.
Please try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="736"/>
        <source>Abnormally print.
Please check the extruder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="842"/>
        <source>Out of material.You can
load more material to
continue this print.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="499"/>
        <source>Pausing...
please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="919"/>
        <source>Prepare to resume...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1066"/>
        <source>Cancel print job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1066"/>
        <source>Are you sure to
 cancel print job?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1066"/>
        <source>YES</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1066"/>
        <source>NO</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1091"/>
        <location filename="../../UI/buildprint.cpp" line="1136"/>
        <source>Cancelling Build...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1179"/>
        <source>Build Completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1179"/>
        <source>Build completed!</source>
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
        <location filename="../../UI/home.cpp" line="69"/>
        <source>Homing, please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/home.ui" line="66"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/home.cpp" line="106"/>
        <source>Homing completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/home.cpp" line="118"/>
        <source>Homing did not finish.
Please check the machine.</source>
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
        <location filename="../../UI/mainwindow.cpp" line="186"/>
        <source>USB stick</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="186"/>
        <source>No USB stick</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="393"/>
        <source>Resume Print</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="394"/>
        <source>Resume the last print?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="395"/>
        <source>Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="395"/>
        <source>No</source>
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
    <name>ProgressDialog</name>
    <message>
        <location filename="../../Dialog/progressdialog.ui" line="12"/>
        <source>Cancel</source>
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
        <location filename="../../UI/showtfcard.cpp" line="490"/>
        <source>Are you sure to delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="490"/>
        <source>Are you sure
 to delete the file?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="491"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="491"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="537"/>
        <source>Please insert USB Disk !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="545"/>
        <source>Storage space is not enough</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="552"/>
        <location filename="../../UI/showtfcard.cpp" line="614"/>
        <source>Copy File...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="614"/>
        <source>Verifying file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="651"/>
        <source>Copy Complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="656"/>
        <source>Copy Failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="673"/>
        <location filename="../../UI/showtfcard.cpp" line="676"/>
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
</TS>
