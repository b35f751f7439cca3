// Pause and resume of a printing job from every side (the page's button, an
// "M25" line, filament run-out, the LAN and the cloud), their races with the
// print thread, preparing the machine again, and the power-off resume.
#include "Config/Config.h"
#include "Files/ResumePrintConfig.h"
#include "tests/support/PrintPageRig.h"

namespace {

bool resumeLook(PrintPageRig& rig)
{
    return rig.button("play_pause")->styleSheet().contains("Resume.png");
}

}

class TestBuildPrintPause : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { PrintPageRig::closeDialogs(); QApplication::processEvents(); }

    void pauseAndResumeFromEverySide()
    {
        PrintPageRig rig;
        rig.startJob("long.gcode", makeJob(2, 400, 200, 60));
        QVERIFY(rig.waitSent("G1 Z0.30 F600"));
        QTest::qWait(200);

        // The page's button; a LAN resume while the head still parks is not carried out.
        int mark = rig.mark();
        rig.press("play_pause");
        QCOMPARE(rig.state(), 2);
        QCOMPARE(PrintPageRig::noticeText(), QString("Pausing...\nplease wait..."));
        QVERIFY(!rig.button("play_pause")->isEnabled());
        QVERIFY(rig.button("stop")->isEnabled());   // a park that never ends must not lock the user out
        emit rig.lan()->sig_printresume();
        QCOMPARE(rig.state(), 2);
        QVERIFY(rig.waitSettled(2));
        QStringList since = rig.commands(mark);
        const int park = since.indexOf("G1 Z212.00 F300");
        QVERIFY(park > 0);
        QCOMPARE(since.mid(park - 1), QStringList({"G90", "G1 Z212.00 F300", "G1 X95 Y97 F2000"}));
        QVERIFY(since.mid(0, park).contains("M104 S0 T0"));
        QCOMPARE(rig.cloud->sentUpdates().last(), QString("Paused"));
        QVERIFY(resumeLook(rig));

        // Resumed from the button: heated back to the targets last commanded.
        mark = rig.mark();
        rig.press("play_pause");
        QCOMPARE(PrintPageRig::noticeText(), QString("Prepare to resume..."));
        QVERIFY(rig.waitSettled(1));
        QCOMPARE(rig.firstTwo(mark), PrintPageRig::jobHeat());
        QVERIFY(!resumeLook(rig));
        QCOMPARE(rig.cloud->sentUpdates().last(), QString("Printing"));

        // LAN pause, cloud resume; a LAN pause while the resume runs is kept
        // and carried out once the resume has finished.
        QTest::qWait(200);
        emit rig.lan()->sig_printpause();
        QCOMPARE(rig.state(), 2);
        QVERIFY(rig.waitSettled(2));
        emit rig.cloud->sig_cloudprintresume();
        QCOMPARE(rig.state(), 1);
        QCOMPARE(PrintPageRig::noticeText(), QString("Prepare to resume..."));
        emit rig.lan()->sig_printpause();
        QCOMPARE(rig.state(), 1);
        QVERIFY(rig.waitSettled(2));
        emit rig.cloud->sig_cloudprintresume();
        QVERIFY(rig.waitSettled(1));

        // An "M25" line pauses even within the one-press guard's 100 ms, and
        // never resumes a paused job.
        OneTimesClicked().setOneTimesClicked(nullptr, "TOOLBUTTON_R25_STYLE");
        emit rig.link()->readM25();
        QCOMPARE(rig.state(), 2);
        QVERIFY(rig.waitSettled(2));
        emit rig.link()->readM25();
        QTest::qWait(100);
        QCOMPARE(rig.state(), 2);
        // Paused soon after a resume: still the targets last commanded, never a
        // heater reading of 0 left over from the pause before.
        mark = rig.mark();
        emit rig.lan()->sig_printresume();
        QCOMPARE(rig.firstTwo(mark), PrintPageRig::jobHeat());
        QVERIFY(rig.waitSettled(1));

        // Cloud pause, then the cloud cancels the paused job.
        QTest::qWait(200);
        emit rig.cloud->sig_cloudprintpause();
        QVERIFY(rig.waitSettled(2));
        mark = rig.mark();
        emit rig.cloud->sig_cloudprintcancel();
        QCOMPARE(rig.state(), 3);
        QVERIFY(rig.waitPageGone());
        since = rig.commands(mark);
        QCOMPARE(since.mid(0, 7), QStringList({"M107", "M112", "M140 S0", "M104 S0 T0", "G90", "G1 Z212.00 F300",
                                               "G1 X90 Y92 F2000"}));
        QCOMPARE(rig.cloud->sentUpdates().last(), QString("Idle"));
    }

    // An "M25" line in the file pauses the job; filament run-out pauses it and
    // a resume without filament is refused with a message.
    void m25LineAndRunOut()
    {
        PrintPageRig rig;
        // A short first layer, an "M25" line, then a long second layer.
        QByteArray job = makeJob(1, 30, 200, 60);
        job.chop(QByteArray("M107\n").size());
        job += "M25\n;layer:1\nG1 Z0.50 F600\n";
        for (int m = 0; m < 400; ++m)
            job += (m % 2) ? "G1 X30 Y11 F600\n" : "G1 X10 Y11 F600\n";
        rig.startJob("m25.gcode", job);
        QVERIFY(rig.waitSettled(2, 30000));
        QVERIFY(!rig.sent("G1 Z0.50 F600") && !rig.sent("M25"));   // the second layer waits
        rig.press("play_pause");
        QVERIFY(rig.waitSettled(1));
        QVERIFY(rig.waitSent("G1 Z0.50 F600"));

        buzzerPlay::getInstance("pwm1")->clearPlayed();
        rig.sim().setFilament(false);
        QVERIFY(rig.waitFor([&] { return !PrintPageRig::messageText().isEmpty(); }, 5000));
        QVERIFY(PrintPageRig::messageText().startsWith("No material detected."));
        QVERIFY(rig.waitSettled(2));
        QCOMPARE(PrintPageRig::visibleMessageBoxes(), 1);
        QVERIFY(PrintPageRig::tunePlayed(buzzerPlay::Tune5));

        PrintPageRig::closeMessage();
        rig.press("play_pause");
        QVERIFY(PrintPageRig::messageText().startsWith("Out of material."));
        QTest::qWait(300);
        QCOMPARE(rig.state(), 2);

        // The LAN resumes without asking the sensor.
        PrintPageRig::closeMessage();
        emit rig.lan()->sig_printresume();
        QVERIFY(rig.state() == 1 && PrintPageRig::messageText().isEmpty());
        rig.sim().setFilament(true);
        QVERIFY(rig.waitSettled(1));
    }

    // Paused by the LAN while homing: the heaters go off, homing ends and the
    // head parks at its start. Resumed, it heats; paused again before the print
    // thread started, it parks at X70 Y-70 Z150; the print starts after that.
    void pauseBeforeStart()
    {
        PrintPageRig rig;
        rig.startHeldJob();
        QVERIFY(rig.waitSent("G28 Z"));
        int mark = rig.mark();
        emit rig.lan()->sig_printpause();
        QCOMPARE(rig.state(), 2);
        QCOMPARE(rig.firstTwo(mark), QStringList({"M140 S0", "M104 S0 T0"}));
        QCOMPARE(PrintPageRig::noticeText(), QString("Pausing...\nplease wait..."));
        QVERIFY(rig.waitSent("G1 X-90 Y-90 F2000"));
        QStringList cmds = rig.commands(mark);
        QCOMPARE(cmds.mid(cmds.indexOf("M112")),
                 QStringList({"M112", "G90", "G92 X100 Y102 Z212.00 A0 B0", "M140 S0", "M104 S0 T0",
                              "G1 X-90 Y-90 F2000"}));
        QVERIFY(!cmds.contains("G1 X70 Y-70 Z150"));
        QVERIFY(rig.waitSettled(2));

        mark = rig.mark();
        emit rig.lan()->sig_printresume();
        QCOMPARE(rig.firstTwo(mark), PrintPageRig::jobHeat());
        QVERIFY(rig.waitSettled(1, 1));

        mark = rig.mark();
        rig.press("play_pause");
        QCOMPARE(rig.commands(mark).mid(0, 4), QStringList({"M140 S0", "M104 S0 T0", "G90", "G1 X70 Y-70 Z150"}));
        QVERIFY(rig.waitSettled(2));
        rig.sim().pinNozzleTemperature(-1);
        QTest::qWait(1200);
        QVERIFY(!rig.sent("G1 Z0.30 F600"));

        rig.press("play_pause");
        QVERIFY(rig.waitSent("G1 Z0.30 F600"));
    }

    // A filament change that ends before the print thread started: the next
    // resume heats and homes again before the print starts.
    void filamentChangeRedoesPreparation()
    {
        PrintPageRig rig;
        rig.startHeldJob();
        QVERIFY(rig.waitSent("G1 X-90 Y-90 F2000"));
        QVERIFY(rig.waitFor([&] { return rig.state() == 1; }));

        int mark = rig.mark();
        rig.page()->PausePrint();
        QCOMPARE(rig.state(), 2);
        QCOMPARE(rig.commands(mark), QStringList({"M140 S0", "M104 S0 T0", "M112"}));
        rig.page()->EnablePrint();

        mark = rig.mark();
        rig.press("play_pause");
        QVERIFY(rig.waitFor([&] { return rig.commands(mark).contains("G1 X-90 Y-90 F2000"); }));
        QCOMPARE(rig.commands(mark).mid(0, 11),
                 QStringList({"M140 S60", "M104 S200 T0", "M140 S60", "M104 S200 T0", "G28 Z", "G28 X", "G28 Y",
                              "M112", "G90", "G92 X100 Y102 Z212.00 A0 B0", "G1 X-90 Y-90 F2000"}));
        rig.sim().pinNozzleTemperature(-1);
        QVERIFY(rig.waitSent("G1 Z0.30 F600"));
    }

    // A power-off resume streams from the saved line.
    // Restarted controller at E0, the file in absolute or relative extrusion,
    // fan and nozzle target changed in the part already printed.
    void powerOffResumeRestoresTheMachine_data()
    {
        QTest::addColumn<bool>("relative");
        QTest::newRow("absolute E") << false;
        QTest::newRow("relative E") << true;
    }
    void powerOffResumeRestoresTheMachine()
    {
        QFETCH(bool, relative);
        PrintPageRig rig;
        QByteArray job = "M104 S200 T0\nM140 S60\nG90\n" + QByteArray(relative ? "M83\n" : "M82\n") + "G92 E0\n";
        QByteArray rest;
        double e = 0;
        for (int layer = 0; layer < 3; ++layer) {
            QByteArray part = ";layer:" + QByteArray::number(layer) + "\nG1 Z" + QByteArray::number(0.3 * (layer + 1)) + " F600\n";
            for (int i = 0; i < 5; ++i) {
                e += 0.5;
                part += "G1 X" + QByteArray::number(20 + i * 2 + layer) + " Y" + QByteArray::number(30 + i) + " E"
                    + QByteArray::number(relative ? 0.5 : e) + " F1800\n";
            }
            if (layer == 1)
                part += "M106 S128\nM104 S205 T0\n";
            (layer < 2 ? job : rest) += part;
        }
        const int saved = job.count('\n');   // the line of the last layer's mark
        job += rest;
        const QString path = rig.writeJob("resume.gcode", job);
        getConfigFile().configFile()->setPowerOffResumePrintFileName("/data/resume.gcode");
        FILESNAMESPACE::ResumePrintConfigSaveFile().setResumePrintNumber(saved);
        printdetail_clear_config();

        rig.mainWindow->powerOffResumePrint(path);
        QVERIFY(rig.waitFor([&] { return !rig.page() || rig.state() == 3; }, 30000));
        const QStringList cmds = rig.commands();
        const int start = cmds.indexOf("G1 X-90 Y-90 F2000");
        QStringList restore{"M140 S60", "M104 S205 T0", "G90"};
        restore << (relative ? "M83" : "G92 E5") << "G1 Z212.00 F300" << "G1 X29.00 Y34.00 F2000"
                << "G1 Z0.60 F300" << "M106 S128" << "G1 F1800";
        const QStringList streamed = StreamCheck::expectedLines(rest);
        // From the saved line on, what an unbroken print would have sent, in the same modes and E.
        QCOMPARE(cmds.mid(start + 1, restore.size() + streamed.size()), restore + streamed);
    }
};

QTEST_MAIN(TestBuildPrintPause)
#include "test_buildprint_pause.moc"
