#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace duzsdk {

class KFile;
class KMemoryFile;

// One layer of a chain of files that all offer this interface. A layer either
// forwards every operation to the layer below it (`inner`) or, at the bottom
// of the chain, opens and owns a KFile or a KMemoryFile of its own. Layers that
// add behaviour (a CRC trailer, enciphering) derive from it.
//
// Every operation of a layer with nothing open below returns its neutral value
// (0, null, false, -1 for Truncate).
class KChainedFile {
public:
    // Open states.
    enum { kClosed = 0, kOpenRead = 1, kOpenWrite = 2 };

    explicit KChainedFile(int64_t dataStart = 0, KChainedFile* inner = nullptr,
                          int openState = kClosed, bool ownsInner = false);
    // Destroys `inner` when this layer owns it, and its own file. Does not
    // close anything on its own: callers close first.
    virtual ~KChainedFile();
    KChainedFile(const KChainedFile&) = delete;
    KChainedFile& operator=(const KChainedFile&) = delete;

    // Opens over a caller's memory buffer (see KMemoryFile); open state 1.
    virtual bool OpenMemory(void* data, size_t size, bool growable);
    // Opens a file with a standard-I/O mode text; open state 1 when the text
    // holds "r", else 2.
    virtual bool Open(const char* path, const char* mode);
    // Opens by mode number (KFile::OpenMode); open state 1 for mode 0, else 2.
    virtual bool OpenMode(const char* path, int mode, bool text);
    // Closes; open state 0. False when nothing was open or the close failed.
    virtual bool Close();

    virtual size_t Read(void* buffer, size_t count);
    virtual char* ReadLine(char* buffer, int capacity);
    virtual size_t Write(const void* data, size_t count);
    // Makes everything written so far reach the bottom of the chain (a layer's
    // cached block, a stream's buffer); take a memory buffer after this.
    virtual bool Flush();
    virtual bool Seek(int origin, int64_t offset);
    virtual int64_t Tell();
    virtual bool SeekFromStart(int64_t offset);
    virtual bool IsOpen();
    // Non-zero after a failed read or write, of this layer or one below.
    virtual int GetError();
    virtual void ClearError();
    virtual bool IsEOF();

    // Formats and writes the whole text without its terminator; any length.
    size_t Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual size_t VPrintf(const char* format, va_list arguments);

    virtual int Truncate(int64_t length);

    // The memory buffer of the innermost layer when it is a memory file, with
    // its capacity; null otherwise.
    void* GetBuffer(size_t* outSize);
    // The used size (bytes written, high-water mark) of the innermost layer
    // when it is a memory file; 0 otherwise.
    size_t GetUsedSize();
    // The memory file at the bottom of the chain; null when the bottom is a
    // disk file or nothing is open.
    KMemoryFile* GetMemoryFile();

    int GetOpenState() const { return openState_; }
    int64_t GetDataStart() const { return dataStart_; }
    KChainedFile* GetInner() const { return inner_; }
    // The KFile or KMemoryFile of the bottom layer; null above it or when closed.
    KFile* GetOwnFile() const { return ownFile_; }

protected:
    // Records a failure of this layer itself; GetError reports it until ClearError.
    void SetLayerError() { layerError_ = true; }
    // Clears the error indicators of the layers below, not this layer's own.
    void ClearErrorBelow();

    int64_t dataStart_;
    KChainedFile* inner_;
    int openState_;
    bool ownsInner_;
    KFile* ownFile_ = nullptr;

private:
    void ReplaceOwnFile(KFile* file);
    bool layerError_ = false;
};

}  // namespace duzsdk
