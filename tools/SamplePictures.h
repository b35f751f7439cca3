#pragma once
// Small pictures of the demo's sample objects (a cube, a vase, a clip...),
// drawn as a slicer's preview would show them, for the sample files' thumbnails.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

namespace SamplePictures {

// The objects there are pictures of.
QStringList names();
// The object on a clear ground, w x h; a null image for an unknown name.
QImage draw(const QString& name, int w, int h);
// The same, PNG-encoded; empty for an unknown name.
QByteArray png(const QString& name, int w, int h);

}
