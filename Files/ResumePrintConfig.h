#pragma once
#include <string>
// Power-off resume records under /data. Each is written to a temporary file,
// synced and renamed, so a power loss leaves the old or the new record.
namespace FILESNAMESPACE {

class CResumePrintConfigSaveFile {
public:
    int getResumeBuildTime();              // seconds, /data/resume_build_file; 0 when missing or bad
    int setResumeBuildTime(int seconds);
    int getResumePrintNumber();            // line to resume from, /data/resume_print_file; 0 when missing or bad
    int setResumePrintNumber(int line);
};

CResumePrintConfigSaveFile& ResumePrintConfigSaveFile();

// The records of a job about to stream, from printerPath. A fresh job clears
// the stored name before its line goes back to 0 and stores its own name last,
// so no power cut between the writes pairs one job's name with another's line.
// A resumed job keeps its line. storeName false: nothing of this job is kept.
void beginResumeRecords(const std::string& printerPath, bool resumed, bool storeName);
// Nothing left to resume: name, line, build time and adjustments.
void clearResumeRecords();

}

struct _printcfg_t {
    int speed;      // percent
    int extrusion;  // percent
    int plate;      // bed target, C
    int Extruder;   // nozzle target, C
    int zoffset;    // hundredths of a millimetre
    int set_flag;   // 1 when written by the adjustments page
};

int printdetail_write_config(_printcfg_t* cfg);
int printdetail_read_config(_printcfg_t* cfg);   // 0, or -1 when missing or unreadable
int printdetail_clear_config();
