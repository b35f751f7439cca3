#include "serial/PrintLineAdjuster.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

struct Word {
    char letter = 0;           // upper-case letter, or 0 for a token that is no word
    std::string_view raw;      // the word as written
    size_t at = 0;             // where it starts in the line
    double value = 0;
    bool hasValue = false;
    bool replace = false;
    double newValue = 0;
    int decimals = 3;
};

constexpr int MaxWords = 256;           // a line of 512 bytes holds fewer
constexpr double MaxCode = 9999;
constexpr double MaxTemperature = 1000;
constexpr double MaxValue = 1e9;        // a rewritten value beyond this is no real one: the word stays

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// End of a word's number: digits, sign, point, and a lower-case exponent
// ("1.5e-3") that follows a digit and is followed by one.
size_t numberEnd(std::string_view line, size_t i)
{
    while (i < line.size()) {
        const char c = line[i];
        if (isDigit(c) || c == '.' || c == '+' || c == '-') {
            ++i;
        } else if (c == 'e' && i > 0 && isDigit(line[i - 1])) {   // "E" is a word of its own
            size_t j = i + 1;
            if (j < line.size() && (line[j] == '+' || line[j] == '-'))
                ++j;
            if (j >= line.size() || !isDigit(line[j]))
                break;
            i = j;
        } else {
            break;
        }
    }
    return i;
}

bool parseNumber(std::string_view text, double& out)
{
    if (text.empty())
        return false;
    const char* b = text.data();
    const char* e = b + text.size();
    if (*b == '+')
        ++b;
    const auto r = std::from_chars(b, e, out, std::chars_format::general);
    return r.ec == std::errc() && r.ptr == e && std::isfinite(out);
}

// Splits "G1 X10.5 Y3 E0.2" (blanks optional between words) into words.
int splitWords(std::string_view line, Word* words)
{
    int n = 0;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        if (n == MaxWords)
            return -1;
        Word& w = words[n++];
        w = Word();
        const size_t start = i;
        w.at = start;
        if (line[i] == '(') {
            // A comment, passed on as it stands.
            const size_t close = line.find(')', i);
            i = close == std::string_view::npos ? line.size() : close + 1;
        } else if (isLetter(line[i])) {
            w.letter = char(line[i] & ~0x20);
            i = numberEnd(line, i + 1);
            w.hasValue = parseNumber(line.substr(start + 1, i - start - 1), w.value);
        } else {
            while (i < line.size() && !isBlank(line[i]) && line[i] != '(' && !isLetter(line[i]))
                ++i;
        }
        w.raw = line.substr(start, i - start);
    }
    return n;
}

}

void PrintLineAdjuster::reset() { *this = PrintLineAdjuster(); }

void PrintLineAdjuster::appendNumber(std::string& out, double value, int decimals)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) {
        out += '0';
        return;
    }
    std::string_view s(buf, size_t(r.ptr - buf));
    if (s.find('.') != std::string_view::npos) {
        while (s.back() == '0')
            s.remove_suffix(1);
        if (s.back() == '.')
            s.remove_suffix(1);
    }
    if (s == "-0")
        s = "0";
    out.append(s);
}

PrintLineAdjuster::Result PrintLineAdjuster::process(std::string_view line, const LineAdjustments& adjust)
{
    return adjustOrPass(line, adjust, true);
}

PrintLineAdjuster::Result PrintLineAdjuster::track(std::string_view line, const LineAdjustments& adjust)
{
    return adjustOrPass(line, adjust, false);
}

PrintLineAdjuster::Result PrintLineAdjuster::adjustOrPass(std::string_view line, const LineAdjustments& adjust,
                                                          bool produce)
{
    m_out.clear();   // the copy below then costs no allocation
    const PrintLineAdjuster before = *this;
    const Result result = apply(line, adjust, produce, false);
    if (!m_unfit)
        return result;
    // The adjusted line would not fit: it goes out as written, and the stream
    // state follows what the controller then gets.
    *this = before;
    return apply(line, adjust, produce, true);
}

PrintLineAdjuster::Result PrintLineAdjuster::apply(std::string_view line, const LineAdjustments& adjust, bool produce,
                                                   bool verbatim)
{
    Result result;
    result.text = line;
    m_unfit = false;
    Word words[MaxWords];
    const int count = splitWords(line, words);
    if (count <= 0)
        return result;
    int first = 0;
    if (words[0].letter == 'N' && count > 1)   // line number
        first = 1;
    const Word& cmd = words[first];
    // A code outside any G or M command range is no command this loop knows
    // (and would not fit an int).
    if ((cmd.letter != 'G' && cmd.letter != 'M') || !cmd.hasValue || cmd.value != std::floor(cmd.value)
        || cmd.value < 0 || cmd.value > MaxCode)
        return result;
    const int code = int(cmd.value);
    bool changed = false;
    bool appendFeed = false;
    double appendedFeed = 0;
    bool tooLarge = false;   // a rewritten value no controller takes: the line cannot be adjusted

    if (cmd.letter == 'G' && (code == 0 || code == 1)) {
        const double speed = adjust.speed / 100.0;
        const double scale = adjust.extrusion / 100.0;
        bool sawFeed = false;
        for (int i = first + 1; i < count; ++i) {
            Word& w = words[i];
            if (!w.hasValue || std::fabs(w.value) > MaxValue)
                continue;   // no real value: passed on as written, not followed
            switch (w.letter) {
            case 'X':
                m_x = m_absXYZ ? w.value : m_x + w.value;
                m_hasX = m_hasX || m_absXYZ;
                break;
            case 'Y':
                m_y = m_absXYZ ? w.value : m_y + w.value;
                m_hasY = m_hasY || m_absXYZ;
                break;
            case 'Z':
                if (m_absXYZ) {
                    m_z = w.value + (verbatim ? 0 : adjust.zOffset / 100.0);
                    m_hasZ = true;
                    if (adjust.zOffset != 0 && !verbatim) {
                        w.replace = true;
                        w.newValue = m_z;
                        w.decimals = 3;
                    }
                } else {
                    m_z += w.value;
                }
                break;
            case 'E':
                if (m_absE) {
                    if (verbatim) {
                        m_ctrlE = w.value;
                        m_eSynced = true;
                    } else if (m_eSynced && adjust.extrusion == 100) {
                        m_ctrlE = w.value;
                    } else {
                        // Only the extruded length is scaled, so a change of the
                        // percentage never makes the extruder jump.
                        m_ctrlE += (w.value - m_fileE) * scale;
                        m_eSynced = false;
                        w.replace = true;
                        w.newValue = m_ctrlE;
                        w.decimals = 5;
                    }
                    m_fileE = w.value;
                } else {
                    const double e = verbatim ? w.value : w.value * scale;
                    m_fileE += w.value;
                    m_ctrlE += e;
                    if (adjust.extrusion != 100 && !verbatim) {
                        w.replace = true;
                        w.newValue = e;
                        w.decimals = 5;
                    }
                }
                break;
            case 'F':
                sawFeed = true;
                m_fileF = w.value;
                m_ctrlF = verbatim ? w.value : w.value * speed;
                m_appliedSpeed = verbatim ? 100 : adjust.speed;
                if (adjust.speed != 100 && !verbatim) {
                    w.replace = true;
                    w.newValue = m_ctrlF;
                    w.decimals = 3;
                }
                break;
            default:
                break;
            }
            if (w.replace && std::fabs(w.newValue) > MaxValue)
                tooLarge = true;
            changed = changed || w.replace;
        }
        if (!sawFeed && m_fileF >= 0 && adjust.speed != m_appliedSpeed && !verbatim) {
            // The speed changed since the file last set a feed rate: the
            // controller still runs at the old one, so set it afresh.
            appendFeed = true;
            appendedFeed = m_fileF * speed;
            m_ctrlF = appendedFeed;
            m_appliedSpeed = adjust.speed;
            changed = true;
        }
    } else if (cmd.letter == 'G' && code == 92) {
        bool any = false;
        for (int i = first + 1; i < count; ++i) {
            const Word& w = words[i];
            if (!w.hasValue)
                continue;
            any = true;
            if (w.letter == 'X') { m_x = w.value; m_hasX = true; }
            if (w.letter == 'Y') { m_y = w.value; m_hasY = true; }
            if (w.letter == 'Z') { m_z = w.value; m_hasZ = true; }
            if (w.letter == 'E') { m_fileE = m_ctrlE = w.value; m_eSynced = true; }
        }
        if (!any) {
            m_x = m_y = m_z = 0;
            m_hasX = m_hasY = m_hasZ = true;
            m_fileE = m_ctrlE = 0;
            m_eSynced = true;
        }
    } else if (cmd.letter == 'G' && code == 90) {
        m_absXYZ = m_absE = true;
    } else if (cmd.letter == 'G' && code == 91) {
        m_absXYZ = m_absE = false;
    } else if (cmd.letter == 'M' && code == 82) {
        m_absE = true;
    } else if (cmd.letter == 'M' && code == 83) {
        m_absE = false;
    } else if (cmd.letter == 'M' && (code == 104 || code == 109 || code == 140 || code == 190)) {
        const bool nozzle = code == 104 || code == 109;
        const int override = verbatim ? -1 : nozzle ? adjust.nozzleOverride : adjust.bedOverride;
        for (int i = first + 1; i < count; ++i) {
            Word& w = words[i];
            if (w.letter != 'S' || !w.hasValue)
                continue;
            int target = int(std::lround(std::clamp(w.value, -MaxTemperature, MaxTemperature)));
            if (override >= 0) {
                target = override;
                w.replace = true;
                w.newValue = override;
                w.decimals = 0;
                changed = true;
            }
            (nozzle ? result.nozzleTarget : result.bedTarget) = target;
            break;
        }
    } else if (cmd.letter == 'M' && code == 106) {
        m_fan = 255;
        for (int i = first + 1; i < count; ++i)
            if (words[i].letter == 'S' && words[i].hasValue)
                m_fan = int(std::lround(std::clamp(words[i].value, 0.0, 255.0)));
    } else if (cmd.letter == 'M' && code == 107) {
        m_fan = 0;
    } else if (cmd.letter == 'M' && code == 25) {
        result.kind = Kind::PauseMark;
        return result;
    }

    m_unfit = tooLarge;
    if (!changed)
        return result;
    // Everything but the rewritten words goes out as written.
    m_out.clear();
    size_t copied = 0;
    for (int i = 0; i < count; ++i) {
        const Word& w = words[i];
        if (!w.replace)
            continue;
        m_out.append(line.substr(copied, w.at - copied));
        m_out += w.letter;
        appendNumber(m_out, w.newValue, w.decimals);
        copied = w.at + w.raw.size();
    }
    m_out.append(line.substr(copied));
    if (appendFeed) {
        m_out += " F";
        appendNumber(m_out, appendedFeed, 3);
    }
    m_unfit = m_unfit || m_out.size() > MaxLine;
    if (produce)
        result.text = m_out;
    return result;
}
