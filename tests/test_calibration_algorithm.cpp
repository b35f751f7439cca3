// Plane compensation against a reference written from the geometry alone:
// barycentric interpolation over the eight triangles, in double precision.
#include "Config/CalibrationAlgorithm.h"
#include "Config/Config.h"
#include "tests/support/Sandbox.h"

#include <QTest>
#include <array>
#include <cmath>

using Heights = std::array<double, 9>;
Q_DECLARE_METATYPE(Heights)

namespace {

const double kX[9] = {-100, 0, 100, 100, 0, -100, -100, 0, 100};
const double kY[9] = {100, 100, 100, 0, 0, 0, -100, -100, -100};
// Each quadrant cut along its diagonal through the centre (point 5).
const int kTri[8][3] = {{1, 6, 5}, {1, 2, 5}, {2, 3, 5}, {3, 4, 5}, {6, 7, 5}, {7, 8, 5}, {8, 9, 5}, {9, 4, 5}};

// Height above the lowest point at (x, y) inside the grid.
double reference(const Heights& z, double x, double y)
{
    const double low = *std::min_element(z.begin(), z.end());
    for (const auto& t : kTri) {
        const int a = t[0] - 1, b = t[1] - 1, c = t[2] - 1;
        const double det = (kY[b] - kY[c]) * (kX[a] - kX[c]) + (kX[c] - kX[b]) * (kY[a] - kY[c]);
        const double la = ((kY[b] - kY[c]) * (x - kX[c]) + (kX[c] - kX[b]) * (y - kY[c])) / det;
        const double lb = ((kY[c] - kY[a]) * (x - kX[c]) + (kX[a] - kX[c]) * (y - kY[c])) / det;
        const double lc = 1 - la - lb;
        if (la >= -1e-9 && lb >= -1e-9 && lc >= -1e-9)
            return la * z[a] + lb * z[b] + lc * z[c] - low;
    }
    return NAN;
}

void store(const Heights& z)
{
    for (int i = 0; i < 9; ++i)
        getConfigFile().configFile()->setAutoPoint(i + 1, float(z[size_t(i)]));
}

float mapAt(CalibrationAlgorithm& c, double x, double y)
{
    float z = 0;
    c.getValueOfZAxisAfterCalibration(float(x), float(y), z);
    return z;
}

Heights tilted() { Heights z; for (int i = 0; i < 9; ++i) z[size_t(i)] = 0.5 + 0.001 * kX[i] - 0.002 * kY[i]; return z; }
const Heights kFlat = {0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3};
const Heights kBump3 = {0, 0, 0.2, 0, 0, 0, 0, 0, 0};

}

class TestCalibrationAlgorithm : public QObject {
    Q_OBJECT
private slots:
    void heightMap_data()
    {
        QTest::addColumn<Heights>("z");
        QTest::newRow("flat") << kFlat;
        QTest::newRow("point 3 raised") << kBump3;
        QTest::newRow("tilted") << tilted();
        QTest::newRow("uneven") << Heights{0.12, -0.05, 0.31, 0.07, 0.0, 0.22, -0.18, 0.4, 0.09};
    }
    // Equals the reference everywhere inside the grid (nodes, edges, diagonals,
    // borders and the points right beside them), so it is continuous across the edges.
    void heightMap()
    {
        QFETCH(Heights, z);
        Sandbox box;
        getConfigFile().configFile()->reload();
        store(z);
        CalibrationAlgorithm c;
        c.initCalibrationAlgorithm();
        const double low = *std::min_element(z.begin(), z.end());
        QCOMPARE(c.baseHeight(), float(low));
        QVERIFY(std::fabs(c.maxDeviation() - (*std::max_element(z.begin(), z.end()) - low)) < 1e-6);
        for (int i = 0; i < 9; ++i)
            QVERIFY2(std::fabs(mapAt(c, kX[i], kY[i]) - (z[size_t(i)] - low)) < 1e-5, qPrintable(QString::number(i + 1)));
        for (double x = -100; x <= 100; x += 12.5)
            for (double y = -100; y <= 100; y += 12.5)
                for (double e : {0.0, 1e-3, -1e-3})
                    if (std::fabs(x + e) <= 100 && std::fabs(y - e) <= 100)
                        QVERIFY2(std::fabs(mapAt(c, x + e, y - e) - reference(z, x + e, y - e)) < 1e-5,
                                 qPrintable(QString("(%1, %2)").arg(x + e).arg(y - e)));
        if (QByteArray(QTest::currentDataTag()) == "tilted")   // a plane stays that plane, outside the grid too
            for (double x : {-150.0, -37.0, 0.0, 64.0, 150.0})
                for (double y : {-150.0, -0.5, 0.0, 81.0, 150.0})
                    QVERIFY(std::fabs(mapAt(c, x, y) - (0.5 + 0.001 * x - 0.002 * y - low)) < 1e-5);
    }

    void planeChoice_data()
    {
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<int>("plane");
        QTest::newRow("centre") << 0.f << 0.f << 4;
        QTest::newRow("upper left") << -50.f << 50.f << 0;
        QTest::newRow("upper right diagonal") << 50.f << 50.f << 2;
        QTest::newRow("y 0 is lower") << 30.f << 0.f << 7;
        QTest::newRow("x 0 is left") << 0.f << 30.f << 1;
        QTest::newRow("lower right diagonal") << 50.f << -50.f << 6;
        QTest::newRow("lower left") << -50.f << -80.f << 5;
        QTest::newRow("right") << 80.f << 20.f << 3;
    }
    void planeChoice()
    {
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(int, plane);
        QCOMPARE(CalibrationAlgorithm::planeIndex(x, y), plane);
    }

    // Lines through one object in order; "=" expects the line unchanged.
    void rewriting_data()
    {
        QTest::addColumn<Heights>("z");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("flat map") << kFlat << QStringList{"G1 X10 Y20 Z0.3 E1.5 F1200"}
                                  << QStringList{"G1 X10 Y20 Z0.3 Z0.300 E1.5 F1200"};
        QTest::newRow("worked example") << kBump3 << QStringList{"G1 X50 Y80 Z0.3 F1200", "N7 G1 X1 Y1"}
                                        << QStringList{"G1 X50 Y80 Z0.3 Z0.390 F1200", "N7 G1 X1 Y1 Z0.302"};
        QTest::newRow("no Z before the first Z word") << kBump3 << QStringList{"G1 X50 Y80 E2 F1200", "G1 X10"}
                                                      << QStringList{"=", "G1 X10"};
        QTest::newRow("above 10 mm") << kBump3 << QStringList{"G1 Z12 F600", "G1 X50 Y80 E2"}
                                     << QStringList{"G1 Z12 F600", "="};
        QTest::newRow("other lines pass") << kBump3
            << QStringList{"M104 S200", "G92 E0", "G28 X", "T0", "G1 X50 Y80 Z0.3 ;Z hop", "", "G10"}
            << QStringList{"=", "=", "=", "=", "=", "=", "="};
        QTest::newRow("G0 stays G0") << kBump3 << QStringList{"G0 X50 Y80 Z0.3"} << QStringList{"G0 X50 Y80 Z0.3 Z0.390"};
        QTest::newRow("value too long") << kBump3 << QStringList{"G1 X50.00000001 Y80 Z0.3", "G1 X50 Y80 Z0.3"}
                                        << QStringList{"=", "G1 X50 Y80 Z0.3 Z0.390"};
        QTest::newRow("stored height not finite") << Heights{0, 0, 1e300, 0, 0, 0, 0, 0, 0}
                                                  << QStringList{"G1 X50 Y80 Z0.3"} << QStringList{"="};
    }
    void rewriting()
    {
        QFETCH(Heights, z);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, expected);
        Sandbox box;
        getConfigFile().configFile()->reload();
        if (z[2] < 1e30) {
            store(z);
        } else {   // out of a float's range: only a hand-edited file holds it
            box.writeFile("/opt/PROGRAM/config/config.json", R"({"autoCalibration":{"point3":1e300}})");
            getConfigFile().configFile()->reload();
        }
        CalibrationAlgorithm c;
        c.initCalibrationArguement(10);
        c.initCalibrationAlgorithm();
        for (int i = 0; i < lines.size(); ++i) {
            std::string line = lines[i].toStdString(), result;
            c.getCalibrationPoint(line, result);
            QCOMPARE(QString::fromStdString(result), expected[i] == "=" ? lines[i] : expected[i]);
        }
    }

    // Full correction until the first low Z word, then 0.9 ... 0.1, then none,
    // never back up; afterwards lines pass unchanged.
    void fade()
    {
        Sandbox box;
        getConfigFile().configFile()->reload();
        store(kBump3);
        CalibrationAlgorithm c;
        c.initCalibrationArguement(10);
        c.initCalibrationAlgorithm();
        for (int count = 1; count <= 12; ++count) {
            std::string line = "G1 X50 Y80 Z0.3", result;
            c.getCalibrationPoint(line, result);
            const double factor = std::max(0.0, 1.0 - count / 10.0);
            QCOMPARE(QString::fromStdString(result),
                     count > 10 ? QString::fromStdString(line)
                                : "G1 X50 Y80 Z0.3 Z" + QString::number(0.3 + factor * 0.1, 'f', 3));
        }
    }

    void pickStr_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("begin");
        QTest::addColumn<QByteArray>("expected");   // "-" for null
        QTest::newRow("middle") << QByteArray("G1 X10 Y20") << QByteArray("X") << QByteArray("10");
        QTest::newRow("last") << QByteArray("G1 X10 Y20") << QByteArray("Y") << QByteArray("20");
        QTest::newRow("absent") << QByteArray("G1 X10") << QByteArray("Z") << QByteArray("-");
        QTest::newRow("shorter than markers") << QByteArray("X") << QByteArray("X") << QByteArray("-");
        QTest::newRow("nine characters fit") << QByteArray("G1 X123456789") << QByteArray("X") << QByteArray("123456789");
        QTest::newRow("ten do not") << QByteArray("G1 X1234567890 Y1") << QByteArray("X") << QByteArray("-");
        QTest::newRow("null source") << QByteArray() << QByteArray("X") << QByteArray("-");
    }
    void pickStr()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, begin);
        QFETCH(QByteArray, expected);
        char out[CalibrationAlgorithm::FieldSize] = {};
        const char* r = CalibrationAlgorithm::pickStr(source.isNull() ? nullptr : source.constData(), begin.constData(),
                                                      " ", out);
        QCOMPARE(r ? QByteArray(r) : QByteArray("-"), expected);
        QCOMPARE(CalibrationAlgorithm::pickStr("G1 X1", "X", " ", nullptr), nullptr);
    }

    void sortAndBaseHeight()
    {
        Sandbox box;
        getConfigFile().configFile()->reload();
        store({0.5, 0.25, 1.0, -0.25, 0.75, 0.0, 0.125, 0.375, 0.625});
        CalibrationAlgorithm c;
        c.initCalibrationAlgorithm();
        float v[9];
        c.bubbleSort(v, 4);   // the adjusted heights, only the first four sorted
        QCOMPARE(QList<float>(v, v + 9), QList<float>({0, 0.5f, 0.75f, 1.25f, 1.0f, 0.25f, 0.375f, 0.625f, 0.875f}));
        getConfigFile().configFile()->setAutoPoint(4, -0.5f);
        c.getMaximumDeviation();   // the base height only
        QCOMPARE(c.baseHeight(), -0.5f);
        QCOMPARE(c.maxDeviation(), 1.25f);
    }
};

QTEST_MAIN(TestCalibrationAlgorithm)
#include "test_calibration_algorithm.moc"
