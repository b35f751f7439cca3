#pragma once
// What a streamed print must look like on the controller's side.
#include "serial/SerialObject.h"

#include <QByteArray>
#include <QSet>
#include <QStringList>

namespace StreamCheck {

// Short link time-outs so fault tests finish quickly.
inline LinkTiming quickTiming(int portLostMs = 3000)
{
    LinkTiming t;
    t.replyMs = 250;
    t.quietMs = 30;
    t.flowMs = 4000;
    t.portLostMs = portLostMs;
    return t;
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
