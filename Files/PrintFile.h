#pragma once
// Layout of the print files (".gx" with header and thumbnails, ".g", ".gcode")
// and the checks made before a print. No widgets here.
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

namespace PrintFile {

constexpr int HeaderSize = 60;

struct Header {
    uint32_t firstImageOffset = 0;
    uint32_t secondImageOffset = 0;
    uint32_t gcodeOffset = 0;
    int32_t timeUsed = 0;       // seconds
    int32_t materialUsed = 0;   // mm of filament
    uint16_t layerHeight = 0;   // micrometres
    uint16_t speed = 0;         // mm/s
    uint16_t thumbnailGuard = 0;
};

// ".gx" exactly, from the path alone.
bool isGxFile(const QString& path);
// The header when the file has all 60 bytes.
std::optional<Header> readHeader(const QString& path);
// The chosen thumbnail decoded; a null image when there is none or it is unsafe.
QImage readThumbnail(const QString& path);

// What the pre-print check finds (see BuildPrint::getPrintFileParam).
struct CheckResult {
    bool passed = false;        // every check made passed
    bool accepted = true;       // cleared when the range line holds "T1"
    bool isGx = false;
    bool headerComplete = false;
    bool gxFlagReported = false; // the check got past the tail test
    int timeUsed = 0;
    int materialUsed = 0;
    int nozzleTemp = 0;         // 0..260
    int platformTemp = 0;       // 0..110
    int layerCount = 0;
    bool layerCountFound = false;
};
CheckResult checkPrintFile(const QString& path);

}
