#pragma once
// Applies the user's in-print adjustments to one streamed G-code line and
// keeps the modal state of the stream (absolute or relative axes and
// extruder, last feed rate, extruder position, commanded position), so that a
// change of an adjustment in mid-job neither jumps the extruder nor loses the
// feed rate, and a pause knows how to restore the stream's modes.
#include <string>
#include <string_view>

struct LineAdjustments {
    int speed = 100;          // percent, scales F
    int zOffset = 0;          // hundredths of a millimetre, added to absolute Z
    int extrusion = 100;      // percent, scales E
    int nozzleOverride = -1;  // replaces the S of M104/M109 when >= 0
    int bedOverride = -1;     // replaces the S of M140/M190 when >= 0
};

class PrintLineAdjuster {
public:
    enum class Kind { Send, PauseMark };   // PauseMark: an "M25" line, never sent

    struct Result {
        Kind kind = Kind::Send;
        std::string_view text;   // the line to send: the input itself or the rewritten copy
        int nozzleTarget = -1;   // set when the line sets the nozzle target
        int bedTarget = -1;      // set when the line sets the bed target
    };

    void reset();
    // Longest line the controller takes; a line whose adjusted form would be
    // longer, or would hold a value beyond any real one, goes out unchanged.
    static constexpr size_t MaxLine = 512;

    // line: trimmed, non-empty, without ";". The result may point into an internal buffer.
    Result process(std::string_view line, const LineAdjustments& adjust);
    // Follows a line that is skipped (power-off resume) as if it had been sent,
    // without producing output; the result tells the targets it sets.
    Result track(std::string_view line, const LineAdjustments& adjust);

    bool absoluteAxes() const { return m_absXYZ; }
    bool absoluteExtruder() const { return m_absE; }
    // The controller's feed rate last set by the stream (mm/min), or < 0 when none yet.
    double controllerFeed() const { return m_ctrlF; }
    // The last commanded position in controller coordinates; valid once set by the stream.
    bool hasPosition() const { return m_hasX && m_hasY && m_hasZ; }
    double x() const { return m_x; }
    double y() const { return m_y; }
    double z() const { return m_z; }
    double controllerE() const { return m_ctrlE; }
    // Fan speed last set by the stream (0..255), -1 when none yet.
    int fan() const { return m_fan; }

    // Number text without needless zeros: at most `decimals` places.
    static void appendNumber(std::string& out, double value, int decimals);

private:
    Result adjustOrPass(std::string_view line, const LineAdjustments& adjust, bool produce);
    // verbatim: no word is rewritten and the state follows the line as written.
    Result apply(std::string_view line, const LineAdjustments& adjust, bool produce, bool verbatim);

    bool m_absXYZ = true;
    bool m_absE = true;
    double m_fileE = 0, m_ctrlE = 0;
    bool m_eSynced = true;          // controller E equals file E (no scaling applied since last G92)
    double m_fileF = -1, m_ctrlF = -1;
    int m_appliedSpeed = 100;
    double m_x = 0, m_y = 0, m_z = 0;
    bool m_hasX = false, m_hasY = false, m_hasZ = false;
    int m_fan = -1;
    bool m_unfit = false;   // the last line's adjusted form would not fit
    std::string m_out;
};
