#pragma once
// What a streamed print must look like on the controller's side.
#include "serial/SerialObject.h"

#include <QByteArray>
#include <QSet>
#include <QStringList>

namespace StreamCheck {

// Short link time-outs (reply, quiet, flow) so fault tests finish quickly.
inline LinkTiming quickTiming(int portLostMs = 3000) { return LinkTiming{250, 30, 4000, portLostMs}; }

// Unique moves (a repeat or a loss shows) with a layer mark every `perLayer` moves.
inline QByteArray makeMoves(int count, int perLayer = 100, double step = 1.0, const QByteArray& head = "G90\nM82\nG92 E0\n")
{
    QByteArray f = head;
    for (int i = 0; i < count; ++i) {
        if (i % perLayer == 0)
            f += ";layer:" + QByteArray::number(i / perLayer) + "\n";
        const double x = 50 + ((i % 2) ? step : 0) + i * 0.0001;
        f += "G1 X" + QByteArray::number(x, 'f', 4) + " Y50 E" + QByteArray::number(i * 0.01, 'f', 3) + " F6000\n";
    }
    return f;
}

// The file's lines as the controller must receive them: no ";" lines, no blanks, trimmed.
inline QStringList expectedLines(const QByteArray& file)
{
    QStringList out;
    for (const QByteArray& raw : file.split('\n')) {
        if (raw.contains(';'))
            continue;
        const QString line = QString::fromLatin1(raw).trimmed();
        if (!line.isEmpty() && line != "M25")
            out << line;
    }
    return out;
}

// What the controller received, without the link's own buffer polls.
inline QStringList withoutPolls(QStringList transcript)
{
    transcript.removeAll("M117");
    return transcript;
}

// The lines of the transcript that belong to the file, in order.
inline QStringList fileLinesIn(const QStringList& transcript, const QStringList& expected)
{
    const QSet<QString> wanted(expected.begin(), expected.end());
    QStringList out;
    for (const QString& l : transcript)
        if (wanted.contains(l))
            out << l;
    return out;
}

}
