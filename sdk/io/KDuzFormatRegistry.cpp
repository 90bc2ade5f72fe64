#include "sdk/io/KDuzFormatRegistry.h"

#include "sdk/object/KDuzFormatRegistryUse.h"

namespace duzsdk {

namespace {

// Managers are created and destroyed from one thread at a time, so plain
// values do.
KDuzFormatRegistry* gRegistry = nullptr;
int gUserCount = 0;

// The texts a group gives for one request; null when it gives none.
const char* const* TextList(KDuzFormatInfo info, int request, int formatNumber) {
    return static_cast<const char* const*>(info(request, formatNumber));
}

// Walks a group the same way for readers and writers; `add` appends one entry.
template <typename AddEntry>
bool RegisterGroup(KDuzFormatInfo info, int baseIndex, int* firstIndex, int* count,
                   AddEntry add) {
    if (firstIndex != nullptr) *firstIndex = -1;
    if (count != nullptr) *count = 0;
    if (info == nullptr) return false;
    const char* const* extensions = TextList(info, eDuzFormatInfoExtensions, 0);
    const char* const* descriptions = TextList(info, eDuzFormatInfoDescriptions, 0);
    if (extensions == nullptr || extensions[0] == nullptr) return false;
    int added = 0;
    for (int n = 0; extensions[n] != nullptr; ++n) {
        const auto* flag = static_cast<const unsigned char*>(info(eDuzFormatInfoFlag, n));
        // A group without descriptions still registers; dialogs show "".
        const char* description =
            descriptions != nullptr && descriptions[n] != nullptr ? descriptions[n] : "";
        add(n, extensions[n], description, flag != nullptr ? *flag : 0);
        ++added;
    }
    if (firstIndex != nullptr) *firstIndex = baseIndex;
    if (count != nullptr) *count = added;
    return true;
}

}  // namespace

KDuzFormatRegistry::KDuzFormatRegistry() {
    mReaders.reserve(16);
    mWriters.reserve(16);
}

KDuzFormatRegistry* KDuzFormatRegistry::Acquire() {
    if (gRegistry == nullptr) {
        gRegistry = new KDuzFormatRegistry;
        KDuzRegisterBuiltinFormats(*gRegistry);
    }
    ++gUserCount;
    return gRegistry;
}

void KDuzFormatRegistry::Release() {
    // A release without a matching acquire must not drive the count below
    // zero, or the next manager would share a registry nobody counts.
    if (gUserCount <= 0) return;
    if (--gUserCount == 0) {
        delete gRegistry;
        gRegistry = nullptr;
    }
}

KDuzFormatRegistry* KDuzFormatRegistry::Get() { return gRegistry; }

int KDuzFormatRegistry::GetUserCount() { return gUserCount; }

bool KDuzFormatRegistry::RegisterReaders(KDuzReaderFactory factory, KDuzFormatInfo info,
                                         int* firstIndex, int* count) {
    int base = GetReaderCount();
    return RegisterGroup(info, base, firstIndex, count,
                         [&](int, const char* extension, const char* description,
                             unsigned char flag) {
                             mReaders.push_back({extension, description, factory, base, flag});
                         });
}

bool KDuzFormatRegistry::RegisterWriters(KDuzWriterFactory factory, KDuzFormatInfo info,
                                         int* firstIndex, int* count) {
    int base = GetWriterCount();
    return RegisterGroup(info, base, firstIndex, count,
                         [&](int n, const char* extension, const char* description,
                             unsigned char flag) {
                             const char* const* versions = TextList(info, eDuzFormatInfoVersions, n);
                             mWriters.push_back(
                                 {extension, description, versions, factory, base, flag});
                         });
}

const KDuzFormatRegistry::ReaderEntry* KDuzFormatRegistry::GetReaderEntry(int index) const {
    return index >= 0 && index < GetReaderCount() ? &mReaders[index] : nullptr;
}

const KDuzFormatRegistry::WriterEntry* KDuzFormatRegistry::GetWriterEntry(int index) const {
    return index >= 0 && index < GetWriterCount() ? &mWriters[index] : nullptr;
}

KDuzReader* KDuzFormatRegistry::CreateReader(KDuzSdkManager* manager, KDuzImporter* importer,
                                             int index) const {
    const ReaderEntry* entry = GetReaderEntry(index);
    if (entry == nullptr || entry->factory == nullptr) return nullptr;
    return entry->factory(manager, importer, index - entry->baseIndex);
}

KDuzWriter* KDuzFormatRegistry::CreateWriter(KDuzSdkManager* manager, KDuzExporter* exporter,
                                             int index) const {
    const WriterEntry* entry = GetWriterEntry(index);
    if (entry == nullptr || entry->factory == nullptr) return nullptr;
    return entry->factory(manager, exporter, index - entry->baseIndex);
}

unsigned char KDuzFormatRegistry::GetReaderFlag(int index) const {
    const ReaderEntry* entry = GetReaderEntry(index);
    return entry != nullptr ? entry->flag : 0;
}

unsigned char KDuzFormatRegistry::GetWriterFlag(int index) const {
    const WriterEntry* entry = GetWriterEntry(index);
    return entry != nullptr ? entry->flag : 0;
}

void KDuzFormatRegistryAcquire() { KDuzFormatRegistry::Acquire(); }

void KDuzFormatRegistryRelease() { KDuzFormatRegistry::Release(); }

}  // namespace duzsdk
