#pragma once
// Opening a file a stream is read from. Only a regular file or a block
// device holds a stream that can be sized and read again; a pipe, a
// terminal, /dev/zero, a socket or a folder is refused before anything is
// opened for writing. The open never waits: a FIFO without a writer is
// refused at once instead of blocking the run.

#include <string>

#include "platform/file_io.h"
#include "platform/status.h"

namespace tscard {

// Not ok when the file does not open (the status carries the system's
// error number) or is not a regular file or block device ("<path>: is not
// a regular file (a FIFO)", error number 0).
Status OpenInputFile(const std::string& path, File& out);

}  // namespace tscard
