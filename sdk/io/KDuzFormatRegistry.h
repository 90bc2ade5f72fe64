// The one table of file formats the SDK reads and writes. It lives while any
// SDK manager lives: the first manager creates it (which registers the
// built-in formats), the last one destroys it.
#pragma once

#include <vector>

namespace duzsdk {

class KDuzSdkManager;
class KDuzImporter;
class KDuzExporter;
class KDuzReader;
class KDuzWriter;

// Makes the reader or writer of format `formatNumber` of a group.
using KDuzReaderFactory = KDuzReader* (*)(KDuzSdkManager* manager, KDuzImporter* importer,
                                          int formatNumber);
using KDuzWriterFactory = KDuzWriter* (*)(KDuzSdkManager* manager, KDuzExporter* exporter,
                                          int formatNumber);

// What a group tells about its formats, by request code.
enum EDuzFormatInfoRequest : int {
    eDuzFormatInfoExtensions = 0,     // null-terminated array of extension texts
    eDuzFormatInfoDescriptions = 1,   // array of description texts, same order
    eDuzFormatInfoVersions = 2,       // writers: null-terminated version list of format n, or null
    eDuzFormatInfoFlag = 0xFBFB,      // pointer to the flag byte of format n, or null
};
using KDuzFormatInfo = const void* (*)(int request, int formatNumber);

class KDuzFormatRegistry {
public:
    struct ReaderEntry {
        const char* extension;
        const char* description;
        KDuzReaderFactory factory;
        int baseIndex;
        unsigned char flag;   // 1 for the DUZ formats
    };
    struct WriterEntry {
        const char* extension;
        const char* description;
        const char* const* versions;   // may be null
        KDuzWriterFactory factory;
        int baseIndex;
        unsigned char flag;
    };

    // Counts one more user; the first creates the registry. Returns it.
    static KDuzFormatRegistry* Acquire();
    // Drops one user; the last destroys the registry. Without a user it does
    // nothing.
    static void Release();
    // Null while no user exists.
    static KDuzFormatRegistry* Get();
    static int GetUserCount();

    KDuzFormatRegistry(const KDuzFormatRegistry&) = delete;
    KDuzFormatRegistry& operator=(const KDuzFormatRegistry&) = delete;

    // Register one group in format order. The out values (either may be null)
    // get the index of the group's first entry (-1 when nothing was
    // registered) and the number of entries. True when anything was added.
    bool RegisterReaders(KDuzReaderFactory factory, KDuzFormatInfo info, int* firstIndex,
                         int* count);
    bool RegisterWriters(KDuzWriterFactory factory, KDuzFormatInfo info, int* firstIndex,
                         int* count);

    // Null for an index outside the table or an entry without factory; else
    // the entry's factory with the format number within its group.
    KDuzReader* CreateReader(KDuzSdkManager* manager, KDuzImporter* importer, int index) const;
    KDuzWriter* CreateWriter(KDuzSdkManager* manager, KDuzExporter* exporter, int index) const;

    int GetReaderCount() const { return static_cast<int>(mReaders.size()); }
    int GetWriterCount() const { return static_cast<int>(mWriters.size()); }
    // Null outside the table.
    const ReaderEntry* GetReaderEntry(int index) const;
    const WriterEntry* GetWriterEntry(int index) const;
    // 0 outside the table.
    unsigned char GetReaderFlag(int index) const;
    unsigned char GetWriterFlag(int index) const;

    // The first entries of the DUZ groups, -1 until they are registered.
    int GetFirstDuzReaderIndex() const { return mFirstDuzReader; }
    int GetFirstDuzWriterIndex() const { return mFirstDuzWriter; }
    void SetFirstDuzReaderIndex(int index) { mFirstDuzReader = index; }
    void SetFirstDuzWriterIndex(int index) { mFirstDuzWriter = index; }

private:
    KDuzFormatRegistry();
    ~KDuzFormatRegistry() = default;

    std::vector<ReaderEntry> mReaders;
    std::vector<WriterEntry> mWriters;
    int mFirstDuzReader = -1;
    int mFirstDuzWriter = -1;
};

// Registers the built-in groups (DUZ, DXF, 3DS, OBJ, Collada) in that order
// and sets the first DUZ indices. Every new registry runs it once, so the
// indices are the same every time. The readers and writers sit above this
// layer, so it is defined at the top of the SDK.
void KDuzRegisterBuiltinFormats(KDuzFormatRegistry& registry);

}  // namespace duzsdk
