#include "sdk/scene/KDuzThumbnail.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

KDuzThumbnail::KDuzThumbnail(KDuzSdkManager* manager, const char* name) : KDuzObject(manager, name) {}

KDuzThumbnail::~KDuzThumbnail() { delete[] mImage; }

KDuzThumbnail* KDuzThumbnail::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzThumbnail*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzThumbnail::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* thumbnail = new KDuzThumbnail(manager, name);
    thumbnail->PostCreate();
    return thumbnail;
}

KClassId KDuzThumbnail::ClassId() { return KDuzClassIdOf(eDuzClassThumbnail); }

KClassId KDuzThumbnail::GetClassId() const { return ClassId(); }

int KDuzThumbnail::SizeInBytes(int size, int format) {
    const int bytesPerPixel = format == eRGB_24 ? 3 : 4;
    switch (size) {
        case e64x64: return 64 * 64 * bytesPerPixel;
        case e128x128: return 128 * 128 * bytesPerPixel;
        default: return 0;
    }
}

int KDuzThumbnail::GetSizeInBytes() const { return SizeInBytes(mSize, mDataFormat); }

void KDuzThumbnail::Reallocate() {
    delete[] mImage;
    mImage = nullptr;
    const int bytes = GetSizeInBytes();
    if (bytes > 0) mImage = new unsigned char[static_cast<size_t>(bytes)]();
}

void KDuzThumbnail::SetDataFormat(int format) {
    const int before = GetSizeInBytes();
    mDataFormat = format;
    // Readers copy GetSizeInBytes bytes into the image: it must never be
    // larger than what is allocated.
    if (GetSizeInBytes() != before) Reallocate();
}

void KDuzThumbnail::SetSize(int size) {
    mSize = size;
    Reallocate();
}

}  // namespace duzsdk
