#pragma once
// Plane compensation: nine probed platform heights ("point1".."point9" of the
// settings' "autoCalibration" section) make a height map of the platform out of
// eight planar triangles around the centre; G0/G1 lines are rebuilt as G1
// lines with a second Z word, the layer height plus the map's height under the
// head, faded out over the first Z words below 10 mm.
//
// Grid (mm), numbered as the probe visits it:
//     1 (-100, 100)   2 (0, 100)   3 (100, 100)
//     6 (-100,   0)   5 (0,   0)   4 (100,   0)
//     7 (-100,-100)   8 (0,-100)   9 (100,-100)
#include <cstddef>
#include <string>

struct calibration_point {
    float x, y, z;
};

// a·x + b·y + c·z + d = 0
struct plane_vector {
    float a, b, c, d;
};

class CalibrationAlgorithm {
public:
    // Field buffers of the line rewriting: a value of up to FieldSize - 1 characters.
    static constexpr size_t FieldSize = 10;

    // Starts with a flat map (height 0 everywhere) and a fade over 10 Z words.
    CalibrationAlgorithm();
    ~CalibrationAlgorithm();

    // Restarts the fade: limit, no low Z seen, last Z 0.
    void initCalibrationArguement(int limit);
    // Reads the nine heights and builds the map; fade limit 10, last Z 0, the count kept.
    void initCalibrationAlgorithm();
    void initNinePointValue();
    // values[0..8] = the nine current heights in point order; the first count sorted ascending.
    void bubbleSort(float* values, int count);
    // Re-reads the heights and refreshes the base height (the smallest) only.
    void getMaximumDeviation();
    // Every height becomes its distance above the lowest point.
    void changeNinePointValue();
    void createPlane(calibration_point& p1, calibration_point& p2, calibration_point& p3, plane_vector& plane);
    void initPlaneVector();
    void getValueOfZAxisAfterCalibration(float x, float y, float& z);

    // Copies the text between the first `begin` and the following `end` (or the
    // end of source) into out, which holds outSize zero-filled bytes; returns out,
    // or null when begin does not occur, an argument is null, or the value does
    // not fit (outSize - 1 characters at most).
    static char* pickStr(const char* source, const char* begin, const char* end, char* out,
                         size_t outSize = FieldSize);

    // Rewrites one line into result. Only G0/G1 lines change, rebuilt from the
    // words before any ";"; every other line, and a line the map cannot correct
    // safely, is copied unchanged.
    void getCalibrationPoint(std::string& line, std::string& result);

    float baseHeight() const { return m_baseHeight; }
    float maxDeviation() const { return m_maxDeviation; }
    int lowZCount() const { return m_lowZCount; }
    const plane_vector& plane(int i) const { return m_planes[i]; }
    const calibration_point& point(int n) const { return m_points[n - 1]; }   // n 1..9
    // The plane (0..7) that serves (x, y).
    static int planeIndex(float x, float y);

private:
    float fadeFactor() const;

    int m_fadeLimit = 10;
    int m_lowZCount = 0;
    float m_lastZ = 0;
    float m_baseHeight = 0;
    float m_maxDeviation = 0;
    plane_vector m_planes[8];
    calibration_point m_points[9];
    bool m_zSeen = false;       // a Z word has given the layer height
    bool m_mapValid = true;     // every stored height was finite
};
