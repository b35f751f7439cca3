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
        <location filename="../../UI/buildfilemanage.cpp" line="130"/>
        <source>h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="130"/>
        <source>min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="131"/>
        <source>M</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="132"/>
        <source>mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="133"/>
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
        <location filename="../../UI/buildfilemanage.cpp" line="234"/>
        <location filename="../../UI/buildfilemanage.cpp" line="294"/>
        <location filename="../../UI/buildfilemanage.cpp" line="375"/>
        <location filename="../../UI/buildfilemanage.cpp" line="404"/>
        <source>Storage space is not enough</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="237"/>
        <source>Copy File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="237"/>
        <source>Waiting...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="288"/>
        <source>Please insert USB Disk !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="300"/>
        <source>Copying...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="358"/>
        <source>Verifying file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="370"/>
        <source>Copy completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildfilemanage.cpp" line="378"/>
        <location filename="../../UI/buildfilemanage.cpp" line="407"/>
        <location filename="../../UI/buildfilemanage.cpp" line="470"/>
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
        <location filename="../../UI/buildprint.cpp" line="741"/>
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
        <location filename="../../UI/buildprint.cpp" line="574"/>
        <location filename="../../UI/buildprint.cpp" line="812"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="574"/>
        <source>No material detected. Please
load material before resuming
the print.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="647"/>
        <source>The print could not be started.
Please try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="700"/>
        <source>Abnormally print.
Please check the extruder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="812"/>
        <source>Out of material.You can
load more material to
continue this print.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="868"/>
        <location filename="../../UI/buildprint.cpp" line="920"/>
        <source>Pausing...
please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="899"/>
        <source>Prepare to resume...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1079"/>
        <source>Cancel print job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1079"/>
        <source>Are you sure to
 cancel print job?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1079"/>
        <source>YES</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1079"/>
        <source>NO</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1104"/>
        <location filename="../../UI/buildprint.cpp" line="1152"/>
        <source>Cancelling Build...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1199"/>
        <source>Build Completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/buildprint.cpp" line="1199"/>
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
        <location filename="../../UI/home.cpp" line="70"/>
        <source>Homing, please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/home.ui" line="66"/>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/home.cpp" line="107"/>
        <source>Homing completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/home.cpp" line="119"/>
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
        <location filename="../../UI/mainwindow.cpp" line="190"/>
        <source>USB stick</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="190"/>
        <source>No USB stick</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="425"/>
        <source>Resume Print</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="426"/>
        <source>Resume the last print?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="427"/>
        <source>Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/mainwindow.cpp" line="427"/>
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
        <location filename="../../UI/showtfcard.cpp" line="491"/>
        <source>Are you sure to delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="491"/>
        <source>Are you sure
 to delete the file?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="492"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="492"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="538"/>
        <source>Please insert USB Disk !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="546"/>
        <location filename="../../UI/showtfcard.cpp" line="633"/>
        <source>Storage space is not enough</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="553"/>
        <location filename="../../UI/showtfcard.cpp" line="615"/>
        <source>Copy File...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="615"/>
        <source>Verifying file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="654"/>
        <source>Copy Complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="659"/>
        <source>Copy Failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/showtfcard.cpp" line="676"/>
        <location filename="../../UI/showtfcard.cpp" line="679"/>
        <source>Ok</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <location filename="../../UI/startup.cpp" line="39"/>
        <source>Machine stoppage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../UI/startup.cpp" line="40"/>
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
