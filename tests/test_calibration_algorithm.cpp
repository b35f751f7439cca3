// Plane compensation against a reference written from the geometry alone:
// barycentric interpolation over the eight triangles, in double precision.
#include "Config/CalibrationAlgorithm.h"
#include "Config/Config.h"
#include "serial/ControllerProtocol.h"
#include "tests/support/Sandbox.h"

#include <QTest>
#include <array>
#include <cmath>
#include <memory>

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
        if (la >= -1e-9 && lb >= -1e-9 && 1 - la - lb >= -1e-9)
            return la * z[a] + lb * z[b] + (1 - la - lb) * z[c] - low;
    }
    return NAN;
}

Heights tilted() { Heights z; for (int i = 0; i < 9; ++i) z[size_t(i)] = 0.5 + 0.001 * kX[i] - 0.002 * kY[i]; return z; }
const Heights kBump3 = {0, 0, 0.2, 0, 0, 0, 0, 0, 0};

}

class TestCalibrationAlgorithm : public QObject {
    Q_OBJECT
    std::unique_ptr<Sandbox> m_box;
    CalibrationAlgorithm m_c;

    // Stores the heights and prepares a fresh map with the fade over 10 Z words.
    void prepared(const Heights& z)
    {
        for (int i = 0; i < 9; ++i)
            getConfigFile().configFile()->setAutoPoint(i + 1, float(z[size_t(i)]));
        m_c = CalibrationAlgorithm();
        m_c.initCalibrationArguement(10);
        m_c.initCalibrationAlgorithm();
    }
    float mapAt(double x, double y) { float z = 0; m_c.getValueOfZAxisAfterCalibration(float(x), float(y), z); return z; }

private slots:
    void init() { m_box.reset(); m_box = std::make_unique<Sandbox>(); getConfigFile().configFile()->reload(); }

    // Equals the reference at the nodes, on edges, diagonals and borders and right beside
    // them (so it is continuous across the edges; a tilted plane stays that plane).
    void heightMap()
    {
        for (const Heights& z : {kBump3, tilted(), Heights{0.12, -0.05, 0.31, 0.07, 0.0, 0.22, -0.18, 0.4, 0.09}}) {
            prepared(z);
            const double low = *std::min_element(z.begin(), z.end());
            QCOMPARE(m_c.baseHeight(), float(low));
            QVERIFY(std::fabs(m_c.maxDeviation() - (*std::max_element(z.begin(), z.end()) - low)) < 1e-6);
            for (double x = -100; x <= 100; x += 12.5)
                for (double y = -100; y <= 100; y += 12.5)
                    for (double e : {0.0, 1e-3, -1e-3})
                        if (std::fabs(x + e) <= 100 && std::fabs(y - e) <= 100)
                            QVERIFY2(std::fabs(mapAt(x + e, y - e) - reference(z, x + e, y - e)) < 1e-5,
                                     qPrintable(QString("(%1, %2)").arg(x + e).arg(y - e)));
        }
        const float deviation = m_c.maxDeviation();
        getConfigFile().configFile()->setAutoPoint(4, -0.5f);
        m_c.getMaximumDeviation();   // the base height only, from the stored points
        QCOMPARE(std::make_pair(m_c.baseHeight(), m_c.maxDeviation()), std::make_pair(-0.5f, deviation));
    }

    // Lines through one object in order; "=" expects the line unchanged.
    void rewriting_data()
    {
        QTest::addColumn<Heights>("z");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("flat map") << Heights{1, 1, 1, 1, 1, 1, 1, 1, 1} << QStringList{"G1 X10 Y20 Z0.3 E1.5 F1200"}
                                  << QStringList{"G1 X10 Y20 Z0.3 Z0.300 E1.5 F1200"};
        QTest::newRow("worked example") << kBump3 << QStringList{"G1 X50 Y80 Z0.3 F1200", "N7 G1 X1 Y1", "G1 Z0.4 F600"}
                                        << QStringList{"G1 X50 Y80 Z0.3 Z0.390 F1200", "N7 G1 X1 Y1 Z0.302", "="};
        QTest::newRow("no Z before the first Z word") << kBump3 << QStringList{"G1 X50 Y80 E2 F1200", "G1 X10 Y5 Z1 A3"}
                                                      << QStringList{"=", "G1 X10 Y5 Z1 Z1.009"};
        QTest::newRow("above 10 mm") << kBump3 << QStringList{"G1 Z12 F600", "G1 X50 Y80 E2 A1"} << QStringList{"=", "="};
        QTest::newRow("other lines pass") << kBump3
            << QStringList{"M104 S200", "G92 E0", "G28 X", "T0", ";G1 X50 Y80 Z0.3", "", "G10"}
            << QStringList{"=", "=", "=", "=", "=", "=", "="};
        QTest::newRow("rebuilt as G1") << kBump3 << QStringList{"G0 X50 Y80 Z0.3", "N3 G00 X50 Y80 A1"}
                                       << QStringList{"G1 X50 Y80 Z0.3 Z0.390", "N3 G1 X50 Y80 Z0.390"};
        QTest::newRow("comment is no field") << kBump3 << QStringList{"G1 X50 Y80 Z0.3 ;Z hop E5", "G1 X50 Y80;X9 Y9 Z9"}
                                             << QStringList{"G1 X50 Y80 Z0.3 Z0.390", "G1 X50 Y80 Z0.390"};
        // Nine characters fit a field, ten do not.
        QTest::newRow("too long") << kBump3 << QStringList{"G1 X50.0000001 Y80 Z0.3", "G1 X50.000000 Y80 Z0.3"}
                                        << QStringList{"=", "G1 X50.000000 Y80 Z0.3 Z0.390"};
        QTest::newRow("stored height not finite") << Heights{} << QStringList{"G1 X50 Y80 Z0.3"} << QStringList{"="};
        // Full correction until the first low Z word, then 0.9 ... 0.1, then none (never
        // back up), then lines pass unchanged.
        QStringList fade, faded;
        for (int count = 1; count <= 12; ++count) {
            fade << "G1 X50 Y80 Z0.3";
            const double factor = std::max(0.0, 1 - count / 10.0);
            faded << (count > 10 ? "=" : "G1 X50 Y80 Z0.3 Z" + QString::number(0.3 + factor * 0.1, 'f', 3));
        }
        QTest::newRow("fade") << kBump3 << fade << faded;
    }
    void rewriting()
    {
        QFETCH(Heights, z);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, expected);
        prepared(z);
        if (QByteArray(QTest::currentDataTag()) == "stored height not finite") {   // only a hand-edited file holds it
            m_box->writeFile("/opt/PROGRAM/config/config.json", R"({"autoCalibration":{"point3":1e300}})");
            getConfigFile().configFile()->reload();
            m_c.initCalibrationAlgorithm();
        }
        for (int i = 0; i < lines.size(); ++i) {
            std::string line = lines[i].toStdString(), result;
            m_c.getCalibrationPoint(line, result);
            QCOMPARE(QString::fromStdString(result), expected[i] == "=" ? lines[i] : expected[i]);
        }
    }

    // The probe's height comes from the position reply: X, Y and Z by name, any spacing, E optional;
    // a reply missing one of them gives no height (an end-stop reply never fits the query).
    void positionReply()
    {
        const std::pair<QString, QString> rows[] = {   // reply, "x y z e" or "-"
            {"3 X:1.00 Y:-2.50 Z:0.31 E:7.00\n", "1 -2.5 0.31 7"}, {"3 X:1.00 Y:2.00 Z:0.31", "1 2 0.31 0"},
            {"ok X: 10.00  Y: 2.00 Z:  0.31 E: 1.00", "10 2 0.31 1"}, {"3 X : 1 Y :2 Z: 3", "1 2 3 0"},
            {"3 X:1.00 Y:2.00 E:0.00", "-"}, {"3 X:1.00 Y:2.00 Z:abc", "-"}, {ControllerProtocol::SendFailed, "-"}};
        for (const auto& [reply, position] : rows) {
            const auto p = ControllerProtocol::parseM114(reply);
            QCOMPARE(p ? QString("%1 %2 %3 %4").arg(p->x).arg(p->y).arg(p->z).arg(p->e) : QString("-"), position);
        }
        QVERIFY(!ControllerProtocol::replyFits("M114", "3 X:0 Y:1 Z:0"));
    }
};

QTEST_MAIN(TestCalibrationAlgorithm)
#include "test_calibration_algorithm.moc"
