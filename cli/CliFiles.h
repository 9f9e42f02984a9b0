#pragma once

#include <cstdio>
#include <string>

namespace vexlo::cli {

// What the command line asks of the system for its CSV file and its standard output, one file per
// platform (CliFiles_posix.cpp, CliFiles_win.cpp). A false return leaves the reason in errno.

struct FileFacts {
    bool exists = false;
    bool regular = true;  // a plain file, or nothing yet (a device such as /dev/full is not)
    long long size = 0;
};
FileFacts LookAt(const std::string& path);

// Adds text at the end of the file, created when missing if create; flushed to the disk if sync.
bool AppendToFile(const std::string& path, const std::string& text, bool create, bool sync);

// Writes text whole into a temporary file beside path, flushes it to the disk and renames it over
// path: path holds either its old content or the new one, never a part.
bool ReplaceWholeFile(const std::string& path, const std::string& text);

// The reader of the pipe behind file went away, seen without writing to it.
bool PipeReaderGone(std::FILE* file);

}  // namespace vexlo::cli
