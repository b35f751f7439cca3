#pragma once
// Copies print files between the USB stick and internal storage on a worker
// thread. No widgets here: the file page and the file list poll progress().
//
// Each file is written to a hidden temporary file in the target folder, synced,
// checked by MD5 against the source and only then renamed over its final name,
// so a failed or cancelled copy never replaces a good file. The job's state is
// shared with its thread: the owner may drop the job at any time; the thread
// then stops at the next block, removes its temporary file and ends by itself.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class FileCopyResult {
    Running,            // not finished yet (also before start())
    Done,               // every file copied, verified and in place
    Cancelled,          // cancel() was noticed; files finished before stay
    ReadError,          // a source could not be read, or is not a plain file
    WriteError,         // the copy could not be written completely
    DiskFull,           // the target storage has too little space
    SourceMissing,      // a source is gone (the stick was pulled)
    TargetMissing,      // the target folder is gone (the stick was pulled)
    SameFile,           // a source and its target are the same file
    TargetNotCreated,   // the copy cannot be made at the target (read-only, no permission, a folder in the way)
    NameClash,          // a source has the name of an earlier one of the job: not copied
    VerifyFailed,       // the copy's MD5 differs from the source's, or the copy cannot be read back
    ThreadNotCreated,   // the worker thread could not be started
};

const char* fileCopyResultName(FileCopyResult result);

struct FileCopyProgress {
    FileCopyResult result = FileCopyResult::Running;
    bool verifying = false;     // the current file is being checked
    int fileIndex = 0;          // 1-based number of the current file, 0 before the first
    int fileCount = 0;
    int64_t fileDone = 0;       // bytes of the current file copied
    int64_t fileTotal = 0;      // size of the current file
    int64_t bytesDone = 0;      // bytes of the whole job copied
    int64_t bytesTotal = 0;     // size of the whole job
    int failedIndex = 0;        // 1-based file that ended the job, 0 when none
    std::string failedPath;     // its source path
    std::vector<std::string> copiedTargets;   // final paths of the files in place
    bool finished() const { return result != FileCopyResult::Running; }
};

// The system calls the copy makes; tests replace them to inject faults.
struct FileCopyIo {
    // open(2): a descriptor, or -1 with errno.
    std::function<int(const char* path, int flags, mode_t mode)> open;
    std::function<ssize_t(int fd, void* buffer, size_t count)> read;
    std::function<ssize_t(int fd, const void* buffer, size_t count)> write;
    std::function<int(int fd)> fsync;
    // Starts the worker thread (pthread_create semantics: 0 or an error number).
    std::function<int(void* (*routine)(void*), void* argument)> startThread;
    static FileCopyIo system();
};

class FileCopyJob {
public:
    // Measured (bench_filecopy): 4 KiB blocks cost about a third more time than
    // 64 KiB to 4 MiB, which measure alike; 256 KiB keeps system calls few on a slow board.
    static constexpr size_t DefaultBlockSize = 256 * 1024;

    FileCopyJob();
    // Cancels a running copy without waiting for it.
    ~FileCopyJob();
    FileCopyJob(const FileCopyJob&) = delete;
    FileCopyJob& operator=(const FileCopyJob&) = delete;

    // Queues source for the folder targetDir under its own file name, and
    // returns the final path. A second file of the same name in one job would
    // replace the first one: the job ends with NameClash when it reaches it.
    std::string addFile(const std::string& source, const std::string& targetDir);
    // Free bytes of the file system holding a path, -1 when unknown; when set,
    // the job refuses to start writing into a folder with less free space
    // than the files it gets.
    void setFreeSpaceQuery(std::function<int64_t(const char* path)> query);
    // With a free-space query: a folder that has room for the copies only once
    // the old files they replace are gone gets those removed before the first
    // write, rather than the job ending with DiskFull. They are then lost if
    // the copy fails; with room beside them they stay until each copy is verified.
    void setRemoveOldFilesWhenShort(bool on);
    // Gives each copy the next "modifyTime" stamp of the settings (copies into
    // internal storage, so they list as the newest files).
    void setStampNewest(bool on);
    void setBlockSize(size_t bytes);

    // Starts the worker thread. false when it could not be started; the result
    // is then ThreadNotCreated and nothing was touched. A job starts once.
    bool start();
    // Asks the thread to stop; noticed between blocks and between files.
    void cancel();
    // Asks the thread to stop before it starts another file: the file being
    // copied is finished first. The result is then Cancelled.
    void stopBeforeNextFile();
    FileCopyProgress progress() const;
    bool finished() const;
    FileCopyResult result() const;
    // Blocks up to timeoutMs (negative: without limit) for the end; true when finished.
    bool wait(int timeoutMs) const;
    // The thread takes the job to its end (copied, verified, in place) after
    // this object is gone; otherwise dropping the job cancels it.
    void detach();

    // Sum of the sizes of the regular files among paths (missing ones count 0).
    static int64_t totalSize(const std::vector<std::string>& paths);
    // Bytes freed by removing the file that a copy of source into targetDir
    // replaces: only a plain file with no other name that is not the source
    // itself counts; 0 when there is none.
    static int64_t bytesFreedByReplacing(const std::string& source, const std::string& targetDir);
    // Removes the hidden temporary files that copies cut short by a power
    // loss or a pulled stick left in folder; never one a running copy of this
    // process owns. The number removed. Every copy does this for its target
    // folders before it writes.
    static int removeStaleTemporaries(const std::string& folder);
    // Worker threads still running in this process (tests wait for 0 before leaving).
    static int runningThreads();
    // Replaces the system calls of jobs created afterwards; nullptr restores them.
    static void setIoForTesting(std::shared_ptr<const FileCopyIo> io);

    struct State;
private:
    std::shared_ptr<State> m_state;
    bool m_started = false;
    bool m_detached = false;
};
