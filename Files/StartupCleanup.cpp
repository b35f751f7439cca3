#include "Files/StartupCleanup.h"

#include "Files/FileCopy.h"
#include "tools/AtomicFile.h"
#include "tools/Log.h"
#include "tools/RootPath.h"

#include <QDebug>

void removeStaleTemporaryFiles()
{
    std::vector<std::string> files;
    for (const char* file : {PrinterPath::ConfigFile, PrinterPath::ResumePrintFile, PrinterPath::ResumeBuildFile,
                             PrinterPath::ResumePrintDetailFile})
        files.push_back(rootPath(std::string(file)));
    int removed = AtomicFile::removeStale(files);
    removed += FileCopyJob::removeStaleTemporaries(rootPath(std::string(PrinterPath::Data)));
    if (removed > 0)
        qWarning() << LOG_SRC("Files/StartupCleanup.cpp") << "removed" << removed << "stale temporary files";
}
