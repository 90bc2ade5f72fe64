#include "sdk/base/KEncryptedFile.h"

#include <gcrypt.h>

#include <algorithm>
#include <cstring>

#include "sdk/base/KFile.h"
#include "sdk/base/KMemoryFile.h"

namespace duzsdk {

namespace {

// libgcrypt wants to be initialised once before its first use; a host that
// has done so already keeps its own settings.
bool CipherLibraryReady()
{
    static const bool ready = [] {
        if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P) != 0)
            return true;
        if (gcry_check_version(GCRYPT_VERSION) == nullptr)
            return false;
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    return ready;
}

// Positions beyond this are refused, so block arithmetic never overflows.
constexpr int64_t kMaxPosition = int64_t{1} << 60;

}  // namespace

// The block cipher: Twofish with a 128-bit key, one 16-byte block at a time.
struct KEncryptedFile::Cipher {
    gcry_cipher_hd_t handle = nullptr;

    ~Cipher()
    {
        if (handle != nullptr)
            gcry_cipher_close(handle);
    }

    bool Encrypt(unsigned char* out, const unsigned char* in) const
    {
        return gcry_cipher_encrypt(handle, out, kBlockSize, in, kBlockSize) == 0;
    }

    bool Decrypt(unsigned char* out, const unsigned char* in) const
    {
        return gcry_cipher_decrypt(handle, out, kBlockSize, in, kBlockSize) == 0;
    }
};

KEncryptedFile::KEncryptedFile(const KEncryptionKey& key, int64_t dataStart, KChainedFile* inner,
                               int openState, bool ownsInner)
    : KChainedFile(std::clamp<int64_t>(dataStart, 0, kMaxPosition), inner, openState, ownsInner),
      logicalPosition_(dataStart_)
{
    if (CipherLibraryReady()) {
        auto* cipher = new Cipher;
        unsigned char keyBytes[kBlockSize];
        for (int w = 0; w < 4; ++w)
            for (int b = 0; b < 4; ++b)
                keyBytes[w * 4 + b] = static_cast<unsigned char>(key.words[w] >> (8 * b));
        if (gcry_cipher_open(&cipher->handle, GCRY_CIPHER_TWOFISH128, GCRY_CIPHER_MODE_ECB, 0) == 0 &&
            gcry_cipher_setkey(cipher->handle, keyBytes, sizeof(keyBytes)) == 0) {
            cipher_ = cipher;
        } else {
            delete cipher;
        }
        std::memset(keyBytes, 0, sizeof(keyBytes));
    }
    if (openState_ != kClosed && inner_ != nullptr && inner_->IsOpen()) {
        logicalPosition_ = inner_->Tell();
        lastBlock_ = ComputeLastBlock();
    }
}

KEncryptedFile::~KEncryptedFile()
{
    if (dirty_)
        FlushBlock();
    delete cipher_;
}

void KEncryptedFile::ResetCache()
{
    cacheState_ = 0;
    cachedBlock_ = -1;
    lastIoBlock_ = -1;
    dirty_ = false;
}

int64_t KEncryptedFile::BlockIndex(int64_t position) const
{
    return position < dataStart_ ? -1 : (position - dataStart_) / kBlockSize;
}

int64_t KEncryptedFile::BlockStart(int64_t block) const
{
    return block * kBlockSize + dataStart_;
}

int KEncryptedFile::BlockOffset(int64_t position) const
{
    return position < dataStart_ ? 0 : static_cast<int>((position - dataStart_) % kBlockSize);
}

int64_t KEncryptedFile::LengthBelow()
{
    // A growable memory buffer is one being written: it has slack past the
    // bytes written, and its data ends at the high-water mark.
    KMemoryFile* memory = GetMemoryFile();
    if (memory != nullptr && memory->IsGrowable())
        return static_cast<int64_t>(memory->GetUsedSize());
    const int64_t saved = KChainedFile::Tell();
    if (saved < 0 || !KChainedFile::Seek(2, 0))
        return -1;
    const int64_t length = KChainedFile::Tell();
    KChainedFile::SeekFromStart(saved);
    // The position below is back where it was, but the stream must see a seek
    // before it changes direction; the next block access seeks anew.
    lastIoBlock_ = -1;
    return length;
}

int64_t KEncryptedFile::ComputeLastBlock()
{
    // Only whole blocks count: a partial block cannot be deciphered.
    const int64_t length = LengthBelow();
    if (length - dataStart_ < kBlockSize)
        return -1;
    return (length - dataStart_) / kBlockSize - 1;
}

int64_t KEncryptedFile::EndPosition()
{
    const int64_t length = LengthBelow();
    int64_t end = length;
    if (length > dataStart_)
        end = BlockStart((length - dataStart_) / kBlockSize);
    if (lastBlock_ >= 0)
        end = std::max(end, BlockStart(lastBlock_ + 1));
    if (dirty_ && cachedBlock_ >= 0)
        end = std::max(end, BlockStart(cachedBlock_ + 1));
    return std::max<int64_t>(end, 0);
}

bool KEncryptedFile::FinishOpen(bool opened, bool atEnd)
{
    writeFailed_ = false;
    if (!opened) {
        openState_ = kClosed;
        lastBlock_ = -1;
        return false;
    }
    lastBlock_ = ComputeLastBlock();
    logicalPosition_ = atEnd ? std::max(EndPosition(), dataStart_) : dataStart_;
    KChainedFile::SeekFromStart(logicalPosition_);
    return true;
}

bool KEncryptedFile::OpenMemory(void* data, size_t size, bool growable)
{
    ResetCache();
    logicalPosition_ = dataStart_;
    if (!IsCipherReady())
        return FinishOpen(false, false);
    return FinishOpen(KChainedFile::OpenMemory(data, size, growable), false);
}

bool KEncryptedFile::Open(const char* path, const char* mode)
{
    const bool hasR = mode != nullptr && std::strchr(mode, 'r') != nullptr;
    const bool hasA = mode != nullptr && std::strchr(mode, 'a') != nullptr;
    const bool text = mode != nullptr && std::strchr(mode, 't') != nullptr;
    const int number = hasR ? KFile::kModeRead : (hasA ? KFile::kModeAppend : KFile::kModeReadWrite);
    return OpenMode(path, number, text);
}

bool KEncryptedFile::OpenMode(const char* path, int mode, bool text)
{
    ResetCache();
    logicalPosition_ = dataStart_;
    if (!IsCipherReady())
        return FinishOpen(false, false);
    if (mode == KFile::kModeAppend) {
        // Appending must keep what the file holds: read/write without emptying
        // it, and create it only when it is missing.
        bool opened = KChainedFile::Open(path, text ? "r+t" : "r+b");
        if (!opened)
            opened = KChainedFile::Open(path, text ? "w+t" : "w+b");
        if (opened)
            openState_ = kOpenWrite;
        return FinishOpen(opened, true);
    }
    // Writing reads blocks back (read, modify, write), so any writing mode
    // opens below for reading and writing.
    const int below = mode == KFile::kModeRead ? KFile::kModeRead : KFile::kModeReadWrite;
    const bool opened = KChainedFile::OpenMode(path, below, text);
    return FinishOpen(opened, false);
}

bool KEncryptedFile::Close()
{
    bool ok = true;
    if (dirty_)
        ok = FlushBlock();
    ok = ok && !writeFailed_;
    const bool closed = KChainedFile::Close();
    ResetCache();
    lastBlock_ = -1;
    logicalPosition_ = dataStart_;
    writeFailed_ = false;
    return ok && closed;
}

bool KEncryptedFile::WriteBlock(int64_t block, const unsigned char* plain)
{
    if (!cipher_->Encrypt(cipherBlock_, plain))
        return false;
    const bool follows = lastIoBlock_ == block - 1 && cacheState_ == 2;
    if (!follows && !KChainedFile::SeekFromStart(BlockStart(block))) {
        lastIoBlock_ = -1;
        return false;
    }
    if (KChainedFile::Write(cipherBlock_, kBlockSize) != static_cast<size_t>(kBlockSize)) {
        lastIoBlock_ = -1;
        return false;
    }
    lastIoBlock_ = block;
    cacheState_ = 2;
    lastBlock_ = std::max(lastBlock_, block);
    return true;
}

bool KEncryptedFile::FlushBlock()
{
    if (!dirty_ || cachedBlock_ < 0 || cipher_ == nullptr)
        return true;
    // Blocks skipped by a seek past the end are written as enciphered zeros,
    // so that they read back as zeros rather than as noise.
    static const unsigned char kZeros[kBlockSize] = {};
    for (int64_t gap = lastBlock_ + 1; gap < cachedBlock_; ++gap) {
        if (!WriteBlock(gap, kZeros)) {
            writeFailed_ = true;
            SetLayerError();
            return false;
        }
    }
    if (!WriteBlock(cachedBlock_, plainBlock_)) {
        writeFailed_ = true;
        SetLayerError();
        return false;
    }
    dirty_ = false;
    return true;
}

bool KEncryptedFile::LoadBlock(int64_t block)
{
    if (block > lastBlock_) {
        std::memset(plainBlock_, 0, sizeof(plainBlock_));
        cachedBlock_ = block;
        dirty_ = false;
        return true;
    }
    const bool follows = lastIoBlock_ == block - 1 && cacheState_ == 1;
    bool ok = follows || KChainedFile::SeekFromStart(BlockStart(block));
    // A block that cannot be read whole is missing, never half deciphered.
    ok = ok && KChainedFile::Read(cipherBlock_, kBlockSize) == static_cast<size_t>(kBlockSize);
    ok = ok && cipher_->Decrypt(plainBlock_, cipherBlock_);
    if (!ok) {
        lastIoBlock_ = -1;
        cachedBlock_ = -1;
        SetLayerError();
        return false;
    }
    lastIoBlock_ = block;
    cacheState_ = 1;
    cachedBlock_ = block;
    dirty_ = false;
    return true;
}

bool KEncryptedFile::GetBlockBytes(int64_t block, int offset, void* out, int count)
{
    if (block != cachedBlock_) {
        if (block > lastBlock_) {
            // A gap before a block not yet written out reads as the zeros that
            // writing it out will put there.
            if (dirty_ && block < cachedBlock_) {
                std::memset(out, 0, static_cast<size_t>(count));
                return true;
            }
            return false;
        }
        if (dirty_ && !FlushBlock())
            return false;
        if (!LoadBlock(block))
            return false;
    }
    std::memcpy(out, plainBlock_ + offset, static_cast<size_t>(count));
    return true;
}

bool KEncryptedFile::PutBlockBytes(int64_t block, int offset, const void* in, int count)
{
    if (block != cachedBlock_) {
        if (dirty_ && !FlushBlock())
            return false;
        if (offset != 0 || count != kBlockSize) {
            if (!LoadBlock(block))
                return false;
        }
        cachedBlock_ = block;
    }
    std::memcpy(plainBlock_ + offset, in, static_cast<size_t>(count));
    dirty_ = true;
    return true;
}

size_t KEncryptedFile::Read(void* buffer, size_t count)
{
    if (buffer == nullptr || count == 0 || cipher_ == nullptr || !IsOpen())
        return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    size_t copied = 0;
    while (copied < count && logicalPosition_ >= dataStart_) {
        const int64_t block = BlockIndex(logicalPosition_);
        const int offset = BlockOffset(logicalPosition_);
        const int take = static_cast<int>(std::min<size_t>(kBlockSize - offset, count - copied));
        if (!GetBlockBytes(block, offset, out + copied, take))
            break;
        copied += static_cast<size_t>(take);
        logicalPosition_ += take;
    }
    return copied;
}

char* KEncryptedFile::ReadLine(char* buffer, int capacity)
{
    if (buffer == nullptr || capacity < 1)
        return nullptr;
    int used = 0;
    char c = 0;
    while (used < capacity - 1 && Read(&c, 1) == 1) {
        // Padding of the last block, and the terminators that older writers
        // put after every formatted text.
        if (c == '\0')
            continue;
        buffer[used++] = c;
        if (c == '\n')
            break;
    }
    buffer[used] = '\0';
    return used == 0 ? nullptr : buffer;
}

size_t KEncryptedFile::Write(const void* data, size_t count)
{
    if (data == nullptr || count == 0 || cipher_ == nullptr || !IsOpen())
        return 0;
    const auto* in = static_cast<const unsigned char*>(data);
    size_t taken = 0;
    while (taken < count) {
        if (logicalPosition_ < dataStart_ || logicalPosition_ >= kMaxPosition) {
            SetLayerError();
            break;
        }
        const int64_t block = BlockIndex(logicalPosition_);
        const int offset = BlockOffset(logicalPosition_);
        const int take = static_cast<int>(std::min<size_t>(kBlockSize - offset, count - taken));
        if (!PutBlockBytes(block, offset, in + taken, take)) {
            writeFailed_ = true;
            break;
        }
        taken += static_cast<size_t>(take);
        logicalPosition_ += take;
    }
    return taken;
}

bool KEncryptedFile::Flush()
{
    const bool flushed = FlushBlock();
    return KChainedFile::Flush() && flushed;
}

int64_t KEncryptedFile::Tell()
{
    if (!IsOpen())
        return 0;
    if (KChainedFile::Tell() == -1)
        return -1;
    return logicalPosition_;
}

bool KEncryptedFile::SeekFromStart(int64_t offset)
{
    if (!IsOpen() || offset < 0 || offset > kMaxPosition)
        return false;
    ClearErrorBelow();
    lastIoBlock_ = -1;
    // Every block access after this seeks below anyway. A memory file refuses
    // positions past its end, which this layer still has (a block not yet
    // written out, gaps that read as zeros), so that refusal is not an error.
    KChainedFile::SeekFromStart(offset);
    logicalPosition_ = offset;
    return true;
}

bool KEncryptedFile::Seek(int origin, int64_t offset)
{
    if (!IsOpen())
        return false;
    int64_t base = 0;
    if (origin == 1)
        base = logicalPosition_;
    else if (origin == 2)
        base = EndPosition();
    int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target))
        return false;
    return SeekFromStart(target);
}

bool KEncryptedFile::IsEOF()
{
    if (!IsOpen() || logicalPosition_ < dataStart_)
        return false;
    int64_t last = lastBlock_;
    if (dirty_)
        last = std::max(last, cachedBlock_);
    return BlockIndex(logicalPosition_) > last;
}

int KEncryptedFile::Truncate(int64_t length)
{
    if (dirty_ && !FlushBlock())
        return -1;
    const int result = KChainedFile::Truncate(length);
    ResetCache();
    lastBlock_ = ComputeLastBlock();
    return result;
}

}  // namespace duzsdk
