#pragma once
// Files with 64-bit offsets, and the buffered sequential reader and writer
// that stream work uses: large system calls, the same bytes as small ones.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"

namespace tscard {

// Error text naming the file and the system's reason, from errno.
Words FileError(const std::string& path, const char* what);

class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    ~File();

    static Status OpenRead(const std::string& path, File& out);
    static Status OpenReadWrite(const std::string& path, File& out);
    // Creates the file, or empties an existing one.
    static Status Create(const std::string& path, File& out);
    // Takes over a descriptor opened elsewhere (devices, for example).
    static File Adopt(int fd, std::string path);
    // Takes over a descriptor that is written front to back only (a pipe,
    // a character device, the standard output): WriteAt then writes at the
    // current position whatever offset it is given, so its callers write
    // such a file in order and never go back.
    static File AdoptStream(int fd, std::string path);

    bool IsOpen() const { return fd_ >= 0; }
    bool IsStream() const { return stream_; }
    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }

    // The bytes it holds; a block device's from the device.
    Status Size(std::uint64_t& size) const;
    // Reads up to len bytes at offset; fewer only at the end of the file.
    // Returns -1 on a read error (errno set).
    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t len) const;
    Status WriteAt(std::uint64_t offset, const void* buffer, std::size_t len);
    Status Truncate(std::uint64_t size);
    Status Close();
    // Closes a file that was only read, or one whose failure is already
    // being told: what the close could report no longer matters.
    void CloseQuietly() { static_cast<void>(Close()); }

private:
    int fd_ = -1;
    std::string path_;
    bool stream_ = false;
};

// The failure of a reader whose file ended before the size it was measured
// with: "clip.ts: the file shrank while it was read (was N bytes, now M)".
Status ShrankStatus(const File& file, std::uint64_t was);

// Reads a file front to back from a start offset in large blocks.
class BlockReader {
public:
    BlockReader(const File& file, std::uint64_t start, std::size_t block_size = 1 << 20);

    // Copies up to len bytes; fewer only at the end of the file or after an
    // error (see Failed).
    std::size_t Read(void* dest, std::size_t len);
    // Moves the reading position forward without copying.
    std::size_t Skip(std::size_t len);
    std::uint64_t Position() const { return position_; }
    bool Failed() const { return failed_; }
    const Words& Error() const { return error_; }

private:
    bool Fill();

    const File& file_;
    std::vector<unsigned char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::uint64_t next_offset_;   // file offset of the byte after the buffer
    std::uint64_t position_;      // file offset of the next byte handed out
    bool eof_ = false;
    bool failed_ = false;
    Words error_;
};

// Gathers sequential writes into large ones. The first error is kept and
// every later write is dropped; Flush reports it.
class BlockWriter {
public:
    // Writes from file offset start on.
    explicit BlockWriter(File& file, std::uint64_t start = 0, std::size_t block_size = 1 << 20);
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    void Write(const void* data, std::size_t len);
    Status Flush();
    bool Failed() const { return failed_; }
    Status LastStatus() const;
    // Bytes handed to Write so far (written or pending).
    std::uint64_t BytesWritten() const { return written_; }

private:
    bool Drain();

    File& file_;
    std::vector<unsigned char> buffer_;
    std::size_t used_ = 0;
    std::uint64_t start_;
    std::uint64_t written_ = 0;
    bool failed_ = false;
    Words error_;
};

// Removes a file (its name; a file still open stays readable until closed).
Status RemoveFile(const std::string& path);

}  // namespace tscard
