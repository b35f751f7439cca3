// gxwrite: writes a ".gx" print file (or plain G-code with --plain).
#include "tools/gxwrite/GxWriter.h"
#include "tools/SamplePictures.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "gxwrite: %s\n", qPrintable(message));
    std::exit(2);
}

qint64 number(const QCommandLineParser& p, const QString& name, qint64 min, qint64 max, qint64 fallback)
{
    if (!p.isSet(name))
        return fallback;
    bool ok = false;
    const qint64 v = p.value(name).toLongLong(&ok, 0);
    if (!ok || v < min || v > max)
        fail(QStringLiteral("--%1: expected a whole number in %2..%3").arg(name).arg(min).arg(max));
    return v;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("can't read %1: %2").arg(path, f.errorString()));
    return f.readAll();
}

}

int main(int argc, char** argv)
{
    // Pictures with text need fonts, which need a GUI application; no display is used.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName("gxwrite");

    QCommandLineParser p;
    p.setApplicationDescription("Writes a .gx print file: 60-byte header, one or two pictures, G-code.");
    p.addHelpOption();
    p.addPositionalArgument("output", "The file to write.");
    const qint64 i32max = std::numeric_limits<int32_t>::max();
    const qint64 i32min = std::numeric_limits<int32_t>::min();
    const qint64 u32max = std::numeric_limits<uint32_t>::max();
    p.addOptions({
        {"time", "Print time in seconds (header).", "s"},
        {"material", "Filament length in mm (header).", "mm"},
        {"layer-height", "Layer height in micrometres (header).", "um"},
        {"speed", "Print speed in mm/s (header).", "mm/s"},
        {"guard", "Thumbnail guard value (header).", "n"},
        {"first-offset", "Raw firstImageOffset instead of the computed one.", "n"},
        {"second-offset", "Raw secondImageOffset instead of the computed one.", "n"},
        {"gcode-offset", "Raw gcodeOffset instead of the computed one.", "n"},
        {"image", "A picture file for the first image, then the second (up to two).", "file"},
        {"draw", "Draw a picture with this text (one per use, up to two).", "text"},
        {"object", "Draw a picture of a sample object (one per use, up to two): "
                   + SamplePictures::names().join(", ") + ".", "name"},
        {"size", "Size of drawn pictures, WxH.", "WxH", "120x120"},
        {"gcode", "Take the G-code from this file.", "file"},
        {"lines", "Generated G-code: total lines at least.", "n"},
        {"layers", "Generated G-code: layer count.", "n"},
        {"nozzle", "Generated G-code: nozzle target (\"none\" leaves out M104).", "t"},
        {"bed", "Generated G-code: bed target (\"none\" leaves out M140).", "t"},
        {"range", "Generated G-code: the range line (\"\" leaves it out).", "line"},
        {"slicer", "Generated G-code: slicer first line and \"end gcode\" tail."},
        {"plain", "Write only the G-code (a .g/.gcode file)."},
    });
    p.process(app);
    if (p.positionalArguments().size() != 1)
        fail("give exactly one output path (see --help)");
    const QString output = p.positionalArguments().first();

    GxWriter::GxContent gx;
    gx.timeUsed = int32_t(number(p, "time", i32min, i32max, 0));
    gx.materialUsed = int32_t(number(p, "material", i32min, i32max, 0));
    gx.layerHeight = uint16_t(number(p, "layer-height", 0, 65535, 200));
    gx.speed = uint16_t(number(p, "speed", 0, 65535, 60));
    gx.thumbnailGuard = uint16_t(number(p, "guard", 0, 65535, 0));
    if (p.isSet("first-offset"))
        gx.firstImageOffset = uint32_t(number(p, "first-offset", 0, u32max, 0));
    if (p.isSet("second-offset"))
        gx.secondImageOffset = uint32_t(number(p, "second-offset", 0, u32max, 0));
    if (p.isSet("gcode-offset"))
        gx.gcodeOffset = uint32_t(number(p, "gcode-offset", 0, u32max, 0));

    QList<QByteArray> images;
    for (const QString& f : p.values("image"))
        images << readAll(f);
    const QStringList size = p.value("size").split('x');
    bool okW = false, okH = false;
    const int w = size.value(0).toInt(&okW), h = size.value(1).toInt(&okH);
    if (!okW || !okH || w < 1 || h < 1 || w > 4096 || h > 4096)
        fail("--size: expected WxH, each 1..4096");
    for (const QString& text : p.values("draw"))
        images << GxWriter::drawPicture(text, w, h);
    for (const QString& name : p.values("object")) {
        images << SamplePictures::png(name, w, h);
        if (images.last().isEmpty())
            fail("--object: no picture of " + name);
    }
    if (images.size() > 2)
        fail("at most two pictures");
    gx.firstImage = images.value(0);
    gx.secondImage = images.value(1);

    if (p.isSet("gcode")) {
        gx.gcode = readAll(p.value("gcode"));
    } else {
        GxWriter::GcodeOptions g;
        g.layers = int(number(p, "layers", 1, 100000, g.layers));
        g.lines = int(number(p, "lines", 0, 100000000, 0));
        if (p.value("nozzle") == "none")
            g.nozzle.reset();
        else
            g.nozzle = int(number(p, "nozzle", -1000, 1000, *g.nozzle));
        if (p.value("bed") == "none")
            g.bed.reset();
        else
            g.bed = int(number(p, "bed", -1000, 1000, *g.bed));
        if (p.isSet("range"))
            g.rangeLine = p.value("range").toUtf8();
        g.slicer = p.isSet("slicer");
        gx.gcode = GxWriter::generateGcode(g);
    }

    QString error;
    const QByteArray bytes = p.isSet("plain") ? gx.gcode : GxWriter::buildGx(gx);
    if (!GxWriter::writeFile(output, bytes, &error))
        fail(QStringLiteral("can't write %1: %2").arg(output, error));
    return 0;
}
