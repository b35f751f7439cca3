#include "Config/CalibrationAlgorithm.h"

#include "Config/Config.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Grid x and y in point order (z comes from the settings).
constexpr float kGrid[9][2] = {{-100, 100}, {0, 100},  {100, 100},  {100, 0},   {0, 0},
                               {-100, 0},   {-100, -100}, {0, -100}, {100, -100}};
// Corners of each plane, as point numbers, in the order the plane is built.
constexpr int kTriangles[8][3] = {{1, 6, 5}, {1, 2, 5}, {2, 5, 3}, {3, 4, 5},
                                  {6, 7, 5}, {7, 5, 8}, {5, 8, 9}, {5, 4, 9}};
constexpr float kBorder = 0.0001f;
constexpr float kFadeHeight = 10.0f;   // mm: above it the platform's shape no longer matters

enum class Pick { Absent, Found };

// Where the value after the first `begin` lies, up to `end` or the end of source.
Pick locate(const char* source, const char* begin, const char* end, const char** value, size_t* length)
{
    if (!source || !begin || !end) {
        std::puts("Error parameter: NULL");
        return Pick::Absent;
    }
    const char* at = std::strstr(source, begin);
    if (!at)
        return Pick::Absent;
    if (std::strlen(source) < std::strlen(begin) + std::strlen(end)) {
        std::puts("Error paramenter: too long.");
        return Pick::Absent;
    }
    const char* start = at + std::strlen(begin);
    const char* stop = std::strstr(start, end);
    *value = start;
    *length = stop ? size_t(stop - start) : std::strlen(start);
    return Pick::Found;
}

// Decimal text in the C locale whatever the process locale is; not a number reads as 0.
double readNumber(const char* text)
{
    if (*text == '+')
        ++text;
    double v = 0;
    if (std::from_chars(text, text + std::strlen(text), v).ec != std::errc())
        return 0;
    return v;
}

std::string fixed3(float v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    std::string s(buf, r.ptr);
    return s == "-0.000" ? "0.000" : s;
}

// Whether the command word, after an optional line number, is "G0" or "G1" (in either form).
bool isMotion(const std::string& line)
{
    size_t i = line.find_first_not_of(' ');
    if (i == std::string::npos)
        return false;
    if (line[i] == 'N') {
        i = line.find(' ', i);
        if (i == std::string::npos || (i = line.find_first_not_of(' ', i)) == std::string::npos)
            return false;
    }
    const size_t wordEnd = std::min(line.find(' ', i), line.size());
    const std::string word = line.substr(i, wordEnd - i);
    return word == "G1" || word == "G01" || word == "G0" || word == "G00";
}
}

CalibrationAlgorithm::CalibrationAlgorithm()
{
    for (int i = 0; i < 9; ++i)
        m_points[i] = {kGrid[i][0], kGrid[i][1], 0.0f};
    initPlaneVector();
}

CalibrationAlgorithm::~CalibrationAlgorithm() = default;

void CalibrationAlgorithm::initCalibrationArguement(int limit)
{
    m_fadeLimit = limit;
    m_lowZCount = 0;
    m_lastZ = 0;
    m_zSeen = false;
}

void CalibrationAlgorithm::initCalibrationAlgorithm()
{
    m_lastZ = 0;
    m_zSeen = false;
    m_fadeLimit = 10;
    initNinePointValue();
    float sorted[9];
    bubbleSort(sorted, 9);
    m_baseHeight = sorted[0];
    m_maxDeviation = sorted[8] - sorted[0];
    changeNinePointValue();
    initPlaneVector();
}

void CalibrationAlgorithm::initNinePointValue()
{
    Config* config = getConfigFile().configFile();
    const float z[9] = {config->getAutoPoint1(), config->getAutoPoint2(), config->getAutoPoint3(),
                        config->getAutoPoint4(), config->getAutoPoint5(), config->getAutoPoint6(),
                        config->getAutoPoint7(), config->getAutoPoint8(), config->getAutoPoint9()};
    m_mapValid = true;
    for (int i = 0; i < 9; ++i) {
        m_points[i] = {kGrid[i][0], kGrid[i][1], z[i]};
        m_mapValid = m_mapValid && std::isfinite(z[i]);
    }
}

void CalibrationAlgorithm::bubbleSort(float* values, int count)
{
    for (int i = 0; i < 9; ++i)
        values[i] = m_points[i].z;
    count = count < 0 ? 0 : (count > 9 ? 9 : count);
    for (int pass = 0; pass + 1 < count; ++pass)
        for (int i = 0; i + 1 < count - pass; ++i)
            if (values[i] > values[i + 1])
                std::swap(values[i], values[i + 1]);
}

void CalibrationAlgorithm::getMaximumDeviation()
{
    initNinePointValue();
    float sorted[9];
    bubbleSort(sorted, 9);
    m_baseHeight = sorted[0];
}

void CalibrationAlgorithm::changeNinePointValue()
{
    for (calibration_point& p : m_points)
        p.z = std::fabs(m_baseHeight - p.z);
}

void CalibrationAlgorithm::createPlane(calibration_point& p1, calibration_point& p2, calibration_point& p3,
                                       plane_vector& plane)
{
    const float ux = p2.x - p1.x, uy = p2.y - p1.y, uz = p2.z - p1.z;
    const float vx = p3.x - p1.x, vy = p3.y - p1.y, vz = p3.z - p1.z;
    plane.a = uy * vz - vy * uz;
    plane.b = vx * uz - ux * vz;
    plane.c = ux * vy - uy * vx;
    plane.d = -(plane.a * p1.x + plane.b * p1.y + plane.c * p1.z);
}

void CalibrationAlgorithm::initPlaneVector()
{
    for (int i = 0; i < 8; ++i)
        createPlane(m_points[kTriangles[i][0] - 1], m_points[kTriangles[i][1] - 1], m_points[kTriangles[i][2] - 1],
                    m_planes[i]);
}

int CalibrationAlgorithm::planeIndex(float x, float y)
{
    if (y >= kBorder) {
        if (x <= kBorder)
            return y <= -x ? 0 : 1;
        return y >= x ? 2 : 3;
    }
    if (x <= kBorder)
        return y >= x ? 4 : 5;
    return x <= -y ? 6 : 7;
}

void CalibrationAlgorithm::getValueOfZAxisAfterCalibration(float x, float y, float& z)
{
    const plane_vector& p = m_planes[planeIndex(x, y)];
    z = -(p.a * x + p.b * y + p.d) / p.c;
}

char* CalibrationAlgorithm::pickStr(const char* source, const char* begin, const char* end, char* out,
                                    size_t outSize)
{
    if (!out) {
        std::puts("Error parameter: NULL");
        return nullptr;
    }
    const char* value = nullptr;
    size_t length = 0;
    if (locate(source, begin, end, &value, &length) != Pick::Found || length >= outSize)
        return nullptr;
    std::memcpy(out, value, length);
    out[length] = '\0';
    return out;
}

float CalibrationAlgorithm::fadeFactor() const
{
    if (m_lowZCount <= 0)
        return 1.0f;
    if (m_lowZCount >= m_fadeLimit)
        return 0.0f;   // the fade has run out: no jump back to the full correction
    return 1.0f - float(m_lowZCount) / float(m_fadeLimit);
}

void CalibrationAlgorithm::getCalibrationPoint(std::string& line, std::string& result)
{
    result = line;
    if (m_lowZCount >= m_fadeLimit || !m_mapValid)
        return;
    // Only motion lines, read from the words before a comment: a comment could hold any letter.
    const std::string words = line.substr(0, line.find(';'));
    if (!isMotion(words))
        return;

    struct Field {
        char letter[2];
        char text[FieldSize];
        bool present;
    };
    Field f[6] = {{"N", {}, false}, {"X", {}, false}, {"Y", {}, false},
                  {"Z", {}, false}, {"E", {}, false}, {"F", {}, false}};
    for (Field& field : f) {
        const char* value = nullptr;
        size_t length = 0;
        if (locate(words.c_str(), field.letter, " ", &value, &length) != Pick::Found)
            continue;
        if (length >= FieldSize)
            return;   // does not fit its field: the line goes out as it came
        std::memcpy(field.text, value, length);
        field.present = true;
    }
    const Field &n = f[0], &x = f[1], &y = f[2], &z = f[3], &e = f[4], &feed = f[5];
    const double zValue = z.present ? readNumber(z.text) : 0;
    if (!std::isfinite(float(zValue)))
        return;

    std::string text = n.present ? std::string("N") + n.text + " G1" : std::string("G1");
    if (x.present)
        text += std::string(" X") + x.text;
    if (y.present)
        text += std::string(" Y") + y.text;
    if (z.present) {
        m_lastZ = float(zValue);
        m_zSeen = true;
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf - 1, m_lastZ);
        *r.ptr = '\0';
        std::puts(buf);
        text += std::string(" Z") + z.text;
        if (m_lastZ < kFadeHeight)
            ++m_lowZCount;
    }
    // Before the first Z word the head's height is unknown: nothing to add to.
    if (x.present && y.present && m_zSeen) {
        if (m_lastZ > kFadeHeight)
            return;
        float h = 0;
        getValueOfZAxisAfterCalibration(float(readNumber(x.text)), float(readNumber(y.text)), h);
        const float newZ = fadeFactor() * h + m_lastZ;
        if (!std::isfinite(newZ))
            return;
        text += " Z" + fixed3(newZ);
    }
    if (e.present)
        text += std::string(" E") + e.text;
    if (feed.present)
        text += std::string(" F") + feed.text;
    result = text;
}
