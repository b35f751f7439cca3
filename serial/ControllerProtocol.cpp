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
    const QString head = reply.trimmed().section(' ', 0, 0);
    bool ok = false;
    const int n = head.toInt(&ok);
    return ok && n >= 0 ? n : -1;
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
    // As the QString form: the first blank-separated field, trimmed, a whole number >= 0.
    size_t b = 0, e = reply.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    while (b < e && blank(reply[b]))
        ++b;
    while (e > b && blank(reply[e - 1]))
        --e;
    size_t end = b;
    while (end < e && reply[end] != ' ')
        ++end;
    if (end == b || end - b > 9)
        return -1;
    size_t i = b;
    if (reply[i] == '+')
        ++i;
    if (i == end)
        return -1;
    int n = 0;
    for (; i < end; ++i) {
        if (reply[i] < '0' || reply[i] > '9')
            return -1;
        n = n * 10 + (reply[i] - '0');
    }
    return n;
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

std::optional<Position> parseM114(const QString& reply)
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
    if (!(seen[0] && seen[1] && seen[2]))
        return std::nullopt;
    return Position{values[0], values[1], values[2], values[3]};
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
    return word != "M105" && word != "M114" && word != "M119" && word != "M121" && word != "M113" && word != "M130";
}

static bool queryReplyFits(std::string_view word, std::string_view payload)
{
    const auto starts = [](std::string_view text, std::string_view head) {
        return text.substr(0, head.size()) == head;
    };
    if (word == "M105")
        return starts(payload, "T:");
    if (word == "M114") {
        // An end-stop reply ("X:0 Y:1 Z:0") is no position.
        static const QRegularExpression endStops(R"(^X:[01] Y:[01] Z:[01]$)");
        const QString text = QString::fromUtf8(payload.data(), int(payload.size()));
        return parseM114(text).has_value() && !endStops.match(text).hasMatch();
    }
    if (word == "M119")
        return starts(payload, "X:") && payload.find(" E:") == std::string_view::npos;
    if (word == "M121")
        return payload == "F" || payload == "B";
    if (word == "M113")
        return starts(payload, "FIL:") || payload.find("Fail") != std::string_view::npos;
    return starts(payload, "PROBE:");
}


namespace {
std::atomic<double> machineTimeScale{1.0};
}

void setMachineTimeScale(double scale) { machineTimeScale.store(scale > 0 ? scale : 1.0); }

int moveLimitMs(double mm, double feedMmPerMin)
{
    const double moveMs = feedMmPerMin > 0 ? std::fabs(mm) / feedMmPerMin * 60000.0 : 0.0;
    return int((2.0 * moveMs + 10000.0) / machineTimeScale.load());
}

int homingLimitMs() { return moveLimitMs(230.0, 600.0); }

}
