#include "serial/ControllerProtocol.h"

#include <atomic>
#include <cmath>

#include <QRegularExpression>
#include <QStringList>

namespace ControllerProtocol {

QString frame(const QString& command) { return "~" + command + "\r\n"; }

QString reply(int free, const QString& payload) { return QString::number(free) + " " + payload + "\n"; }

bool isLinkError(const QString& reply)
{
    return reply == QLatin1String(SendFailed) || reply == QLatin1String(FlowTimeout)
        || reply == QLatin1String(Unconfirmed);
}

int freeSlots(const QString& reply)
{
    const QByteArray bytes = reply.toLatin1();
    return freeSlots(std::string_view(bytes.constData(), size_t(bytes.size())));
}

void frameInto(std::string& out, std::string_view command)
{
    out.clear();
    out += '~';
    out.append(command);
    out += "\r\n";
}

void replyInto(std::string& out, int free, std::string_view payload)
{
    out = std::to_string(free);
    out += ' ';
    out.append(payload);
    out += '\n';
}

int freeSlots(std::string_view reply)
{
    // Leading blanks, then 1 to 6 decimal digits (leading zeros allowed), then
    // a blank or the end. No sign: a count is never negative, and a longer
    // number is no count of any controller.
    constexpr size_t MaxDigits = 6;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t i = 0;
    while (i < reply.size() && blank(reply[i]))
        ++i;
    const size_t first = i;
    int n = 0;
    while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9') {
        if (i - first == MaxDigits)
            return -1;
        n = n * 10 + (reply[i] - '0');
        ++i;
    }
    if (i == first || (i < reply.size() && !blank(reply[i])))
        return -1;
    return n;
}

int okRepliesIn(std::string_view line, bool* syncReply)
{
    // Two replies run together when a line end was lost: "7 ok7 ok", "7 ok7 T:25/0 B:25/0".
    *syncReply = false;
    int oks = 0;
    size_t i = 0;
    for (;;) {
        const size_t first = i;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9' && i - first < 6)
            ++i;
        if (i == first || i >= line.size() || line[i] != ' ')
            return oks;
        ++i;
        const std::string_view rest = line.substr(i);
        if (rest.substr(0, 2) == "T:") {
            *syncReply = true;
            return oks;
        }
        i += 2;
        if (rest.substr(0, 2) != "ok" || (i < line.size() && !(line[i] >= '0' && line[i] <= '9') && line[i] != ' '
                                          && line[i] != '\r'))
            return oks;
        ++oks;
        while (i < line.size() && (line[i] == '\r' || line[i] == ' '))
            ++i;
        if (i == line.size())
            return oks;
    }
}

static QString payloadOf(const QString& reply)
{
    const QString t = reply.trimmed();
    const int blank = t.indexOf(' ');
    return blank < 0 ? QString() : t.mid(blank + 1);
}

QString formatM105(const Temperatures& t)
{
    return QString("T:%1/%2 B:%3/%4").arg(t.nozzle).arg(t.nozzleTarget).arg(t.bed).arg(t.bedTarget);
}

std::optional<Temperatures> parseM105(const QString& reply)
{
    static const QRegularExpression re(R"(T:(-?\d+)/(-?\d+)\s+B:(-?\d+)/(-?\d+))");
    const auto m = re.match(reply);
    if (!m.hasMatch())
        return std::nullopt;
    return Temperatures{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt()};
}

QString formatM114(const Position& p)
{
    return QString("X:%1 Y:%2 Z:%3 E:%4")
        .arg(p.x, 0, 'f', 2).arg(p.y, 0, 'f', 2).arg(p.z, 0, 'f', 2).arg(p.e, 0, 'f', 2);
}

PositionReading readM114(const QString& reply)
{
    // "<n> X:<x> Y:<y> Z:<z> E:<e>": each axis read by its name, blanks allowed
    // around the colon; E may be missing.
    static const QRegularExpression field(R"((?:^|\s)([XYZE])\s*:\s*([-+]?[0-9.]+(?:[eE][-+]?\d+)?)(?=\s|$))");
    double values[4] = {0, 0, 0, 0};
    bool seen[4] = {false, false, false, false};
    for (auto it = field.globalMatch(reply.trimmed()); it.hasNext();) {
        const auto m = it.next();
        const int axis = QString("XYZE").indexOf(m.captured(1));
        if (seen[axis])
            continue;
        bool ok = false;
        values[axis] = m.captured(2).toDouble(&ok);
        seen[axis] = ok && std::isfinite(values[axis]);
    }
    PositionReading r;
    r.at = Position{values[0], values[1], values[2], values[3]};
    r.x = seen[0], r.y = seen[1], r.z = seen[2];
    return r;
}

std::optional<Position> parseM114(const QString& reply)
{
    const PositionReading r = readM114(reply);
    if (!(r.x && r.y && r.z))
        return std::nullopt;
    return r.at;
}

QString formatM121(bool movesEnded) { return movesEnded ? "F" : "B"; }

bool motionEnded(const QString& m121Reply)
{
    return m121Reply.split(' ').value(1).trimmed() == "F";
}

QString formatM119(const EndStops& e)
{
    return QString("X:%1 Y:%2 Z:%3").arg(int(e.x)).arg(int(e.y)).arg(int(e.z));
}

std::optional<EndStops> parseM119(const QString& reply)
{
    static const QRegularExpression re(R"(X:([01])\s+Y:([01])\s+Z:([01]))");
    const auto m = re.match(reply);
    if (!m.hasMatch())
        return std::nullopt;
    return EndStops{m.captured(1) == "1", m.captured(2) == "1", m.captured(3) == "1"};
}

QString formatM113(bool present) { return present ? "FIL:1" : "FIL:0"; }

bool filamentPresent(const QString& m113Reply)
{
    if (m113Reply.contains("Fail"))
        return true;
    return !payloadOf(m113Reply).startsWith("FIL:0");
}

QString formatM130(bool fitted) { return fitted ? "PROBE:1" : "PROBE:0"; }

bool probeFitted(const QString& m130Reply) { return payloadOf(m130Reply).startsWith("PROBE:1"); }

QString homeCommand(char axis) { return QString("G28 ") + QChar(axis); }


static bool queryReplyFits(std::string_view word, std::string_view payload);

bool replyFits(std::string_view command, std::string_view reply)
{
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r' || reply.back() == ' '))
        reply.remove_suffix(1);
    const size_t blank = reply.find(' ');
    const std::string_view payload = blank == std::string_view::npos ? std::string_view() : reply.substr(blank + 1);
    const std::string_view word = command.substr(0, command.find(' '));
    if (!answersOk(word))
        return queryReplyFits(word, payload);
    return payload == "ok";
}

bool answersOk(std::string_view command)
{
    const std::string_view word = command.substr(0, command.find(' '));
    return word != "M105" && word != "M114" && word != "M119" && word != "M121" && word != "M113" && word != "M130"
        && word != CountQuery;
}

static bool queryReplyFits(std::string_view word, std::string_view payload)
{
    const auto starts = [](std::string_view text, std::string_view head) {
        return text.substr(0, head.size()) == head;
    };
    if (word == "M105")
        return starts(payload, "T:");
    if (word == "M114") {
        // A reply that reads only some axes is still this query's answer: of
        // the other replies only the end stops' ("X:0 Y:1 Z:0") name an axis
        // with a number, and that one is no position.
        static const QRegularExpression endStops(R"(^X:[01] Y:[01] Z:[01]$)");
        const QString text = QString::fromUtf8(payload.data(), int(payload.size()));
        return readM114(text).any() && !endStops.match(text).hasMatch();
    }
    if (word == "M119")
        return starts(payload, "X:") && payload.find(" E:") == std::string_view::npos;
    if (word == "M121")
        return payload == "F" || payload == "B";
    if (word == "M113")
        return starts(payload, "FIL:") || payload.find("Fail") != std::string_view::npos;
    if (word == CountQuery)
        return payload == CountPayload;
    return starts(payload, "PROBE:");
}


namespace {
std::atomic<double> machineTimeScale_{1.0};
}

void setMachineTimeScale(double scale) { machineTimeScale_.store(scale > 0 ? scale : 1.0); }

int moveLimitMs(double mm, double feedMmPerMin)
{
    const double moveMs = feedMmPerMin > 0 ? std::fabs(mm) / feedMmPerMin * 60000.0 : 0.0;
    return int((2.0 * moveMs + 10000.0) / machineTimeScale_.load());
}

double machineTimeScale() { return machineTimeScale_.load(); }

// Homing: Z travels at most from the bed to its homed height of 215 mm plus the
// nozzle offset's range, 230 mm; X and Y less. The slowest plausible homing
// speeds are 600 mm/min for X and Y and 120 mm/min for Z (half the slowest
// usual for a lead-screw Z axis); the limit is twice that time and 10 s more.
int homingLimitMs(char axis)
{
    constexpr double TravelMm = 230.0;
    return moveLimitMs(TravelMm, axis == 'Z' ? 120.0 : 600.0);
}

}
