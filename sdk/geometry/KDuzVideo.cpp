#include "sdk/geometry/KDuzVideo.h"

#include "sdk/base/KMemory.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/KPropertyTemplate.h"
#include "sdk/scene/KDuzLight.h"

#include <cstring>
#include <new>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzVideo_internal");

constexpr const char* kInterlaceModeNames[] = {"Disk", "Memory", "Disk Async"};
constexpr const char* kAccessModeNames[] = {"None",           "Fields",          "Half Frame Even",
                                            "Half Frame Odd", "Full Frame Even", "Full Frame Odd",
                                            "Full Frame Even/Odd", "Full Frame Odd/Even"};

template <size_t N>
const char* NameAt(const char* const (&names)[N], int value) {
    return value >= 0 && static_cast<size_t>(value) < N ? names[value] : nullptr;
}

template <int Enumeration>
const char* EnumCallback(KPlug*, int index) {
    return KDuzVideoEnumName(Enumeration, index);
}

KDuzVideoData* DataOf(KPlug* owner) {
    auto* internal = dynamic_cast<KDuzVideo_internal*>(owner);
    return internal != nullptr ? &internal->Data() : nullptr;
}

// Accessors that bind a value property to one field of the video's data, so
// that videos sharing the data show the same values.
template <typename T, T KDuzVideoData::*Field>
void GetField(KPlug* owner, void* out) {
    if (KDuzVideoData* data = DataOf(owner)) *static_cast<T*>(out) = data->*Field;
}

template <typename T, T KDuzVideoData::*Field>
void SetField(KPlug* owner, const void* in) {
    if (KDuzVideoData* data = DataOf(owner)) data->*Field = *static_cast<const T*>(in);
}

void GetPathField(KPlug* owner, void* out) {
    KDuzVideoData* data = DataOf(owner);
    *static_cast<const char**>(out) = data != nullptr ? data->GetPath() : nullptr;
}

void SetPathField(KPlug* owner, const void* in) {
    KDuzVideoData* data = DataOf(owner);
    const char* text = *static_cast<const char* const*>(in);
    if (data != nullptr && text != nullptr) data->SetPath(text);
}

template <typename T, T KDuzVideoData::*Field>
KProperty* BindField(KProperty* property) {
    property->GetInfo().getter = &GetField<T, Field>;
    property->GetInfo().setter = &SetField<T, Field>;
    return property;
}

bool SameText(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

}  // namespace

const char* KDuzVideoEnumName(int enumeration, int value) {
    switch (enumeration) {
        case eDuzVideoEnumInterlaceMode: return NameAt(kInterlaceModeNames, value);
        case eDuzVideoEnumAccessMode: return NameAt(kAccessModeNames, value);
        default: return nullptr;
    }
}

// ---- data ----------------------------------------------------------------------------

bool KDuzVideoData::SetPath(const char* text) {
    if (text == nullptr) return false;
    if (text == mPath) return true;
    const std::size_t length = std::strlen(text);
    if (mPath == nullptr || length + 1 > mPathCapacity) {
        // A fresh buffer rather than a reallocation: the text may lie in the old one.
        auto* grown = static_cast<char*>(KMemAlloc(length + 1));
        if (grown == nullptr) return false;
        std::memcpy(grown, text, length + 1);
        KMemFree(mPath);
        mPath = grown;
        mPathCapacity = length + 1;
        return true;
    }
    std::memmove(mPath, text, length + 1);
    return true;
}

void KDuzVideoData::ReleasePath() {
    KMemFree(mPath);
    mPath = nullptr;
    mPathCapacity = 0;
}

// ---- internal --------------------------------------------------------------------------

KDuzVideo_internal::KDuzVideo_internal(KDuzVideo* video)
    : KDuzTakeNodeContainer_internal(video), mData(std::make_shared<KDuzVideoData>()) {
    auto keep = [this](EProperty which, KProperty* property) {
        mProperties[which] = HdlKObject::FromPlug(property);
    };
    using D = KDuzVideoData;
    auto enumeration = [this](const char* name) {
        return new KPropertyTemplate<int>(this, name, nullptr, false, nullptr, 0, eKPropEnum);
    };
    keep(eFrameRate, BindField<double, &D::frameRate>(new KPropertyTemplate<double>(this, "FrameRate")));
    keep(eLastFrame, BindField<int, &D::lastFrame>(new KPropertyTemplate<int>(this, "LastFrame")));
    keep(eWidth, BindField<int, &D::width>(new KPropertyTemplate<int>(this, "Width")));
    keep(eHeight, BindField<int, &D::height>(new KPropertyTemplate<int>(this, "Height")));
    KProperty* path = new KPropertyCharPtr(this, "Path");
    path->GetInfo().getter = &GetPathField;
    path->GetInfo().setter = &SetPathField;
    keep(ePath, path);
    keep(eStartFrame, BindField<int, &D::startFrame>(new KPropertyTemplate<int>(this, "StartFrame")));
    keep(eStopFrame, BindField<int, &D::stopFrame>(new KPropertyTemplate<int>(this, "StopFrame")));
    keep(ePlaySpeed, BindField<double, &D::playSpeed>(new KPropertyTemplate<double>(this, "PlaySpeed")));
    keep(eOffset, BindField<KTime, &D::offset>(new KPropertyTemplate<KTime>(this, "Offset")));
    KProperty* interlace = BindField<int, &D::interlaceMode>(enumeration("InterlaceMode"));
    interlace->GetInfo().SetEnumList(&EnumCallback<eDuzVideoEnumInterlaceMode>);
    keep(eInterlaceMode, interlace);
    keep(eFreeRunning, BindField<bool, &D::freeRunning>(new KPropertyTemplate<bool>(this, "FreeRunning")));
    keep(eLoop, BindField<bool, &D::loop>(new KPropertyTemplate<bool>(this, "Loop")));
    KProperty* access = BindField<int, &D::accessMode>(enumeration("AccessMode"));
    access->GetInfo().SetEnumList(&EnumCallback<eDuzVideoEnumAccessMode>);
    keep(eAccessMode, access);
}

KPlugTypeInfo* KDuzVideo_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzVideo_internal::GetStaticTypeNumber() const { return kTypeNumber; }

KProperty* KDuzVideo_internal::GetProperty(EProperty which) const {
    if (which < 0 || which >= ePropertyCount) return nullptr;
    return KPropertyCast(mProperties[which].Get());
}

void KDuzVideo_internal::ShareData(const std::shared_ptr<KDuzVideoData>& data) {
    if (data != nullptr) mData = data;
}

// ---- video -----------------------------------------------------------------------------

KErrorState& KDuzVideo::SharedError() {
    static KErrorState error;
    return error;
}

KDuzVideo::KDuzVideo(KDuzSdkManager* manager, const char* name)
    : KDuzTakeNodeContainer(manager, name, &SharedError()) {
    SetInternalObject(new KDuzVideo_internal(this));
    CreateDefaultTakeNode();
    InitDefaults();
    WrapInternalProperties();
}

KDuzVideo::~KDuzVideo() = default;

KDuzVideo* KDuzVideo::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzVideo*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzVideo::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* video = new (std::nothrow) KDuzVideo(manager, name);
    if (video == nullptr) return nullptr;
    video->PostCreate();
    return video;
}

KClassId KDuzVideo::ClassId() { return KDuzClassIdOf(eDuzClassVideo); }

KClassId KDuzVideo::GetClassId() const { return ClassId(); }

KDuzVideo_internal* KDuzVideo::GetVideoInternal() const {
    return static_cast<KDuzVideo_internal*>(const_cast<KDuzObject_internal*>(GetInternalObject()));
}

void KDuzVideo::InitDefaults() {
    KDuzVideo_internal* internal = GetVideoInternal();
    if (internal == nullptr) return;
    KDuzVideoData& data = internal->Data();
    data.frameRate = 0.0;
    data.lastFrame = data.width = data.height = 0;
    data.startFrame = data.stopFrame = 0;
    data.playSpeed = 1.0;
    data.offset = KTime();
    data.interlaceMode = data.accessMode = 0;
    data.freeRunning = data.loop = false;
    data.useMipMap = false;
    data.originalFormat = true;
}

KStringList KDuzVideo::GetTypeFlags() const {
    KStringList flags;
    flags.Append("Clip");
    return flags;
}

// ---- file names --------------------------------------------------------------------------

bool KDuzVideo::SetFileName(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    KDuzVideo_internal* internal = GetVideoInternal();
    if (internal == nullptr) return false;
    if (SameText(internal->Data().GetPath(), name)) return true;
    if (!internal->Data().SetPath(name)) return false;
    if (auto* texture = dynamic_cast<KDuzTexture*>(GetDstObject(KDuzTexture::ClassId(), 0)))
        texture->SetFileName(internal->Data().GetPath());
    return true;
}

bool KDuzVideo::SetRelativeFileName(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    KDuzVideo_internal* internal = GetVideoInternal();
    if (internal == nullptr) return false;
    KString& stored = internal->Data().relativeFileName;
    if (SameText(stored.Buffer(), name)) return true;
    const KString copy(name);   // the text may be a connected texture's own buffer
    stored = copy;
    if (auto* texture = dynamic_cast<KDuzTexture*>(GetDstObject(KDuzTexture::ClassId(), 0)))
        texture->SetRelativeFileName(stored.Buffer());
    return true;
}

const char* KDuzVideo::GetFileName() const {
    KDuzVideo_internal* internal = GetVideoInternal();
    return internal != nullptr ? internal->Data().GetPath() : nullptr;
}

const char* KDuzVideo::GetRelativeFileName() const {
    KDuzVideo_internal* internal = GetVideoInternal();
    return internal != nullptr ? internal->Data().relativeFileName.Buffer() : "";
}

// ---- embedded content ----------------------------------------------------------------------

void KDuzVideo::SetUseMipMap(bool use) {
    if (KDuzVideo_internal* internal = GetVideoInternal()) internal->Data().useMipMap = use;
}

bool KDuzVideo::GetUseMipMap() const {
    KDuzVideo_internal* internal = GetVideoInternal();
    return internal != nullptr && internal->Data().useMipMap;
}

void KDuzVideo::SetOriginalFormat(bool original) {
    if (KDuzVideo_internal* internal = GetVideoInternal()) internal->Data().originalFormat = original;
}

bool KDuzVideo::GetOriginalFormat() const {
    KDuzVideo_internal* internal = GetVideoInternal();
    return internal != nullptr && internal->Data().originalFormat;
}

void KDuzVideo::SetOriginalFilename(const char* name) {
    if (KDuzVideo_internal* internal = GetVideoInternal()) {
        const KString copy(name != nullptr ? name : "");
        internal->Data().originalFilename = copy;
    }
}

const char* KDuzVideo::GetOriginalFilename() const {
    KDuzVideo_internal* internal = GetVideoInternal();
    return internal != nullptr ? internal->Data().originalFilename.Buffer() : "";
}

// ---- virtual operations ----------------------------------------------------------------------

bool KDuzVideo::ConnectNotify(const KDuzConnectEvent& event) {
    if (event.source == this && event.code == eDuzConnectedSource && event.destination != nullptr) {
        if (auto* texture = dynamic_cast<KDuzTexture*>(event.destination)) {
            texture->SetFileName(GetFileName());
            texture->SetRelativeFileName(GetRelativeFileName());
            texture->SetMediaName(GetName());
        }
        if (auto* light = dynamic_cast<KDuzLight*>(event.destination)) light->SetFileName(GetFileName());
    }
    return KDuzTakeNodeContainer::ConnectNotify(event);
}

KDuzObject* KDuzVideo::Clone(int cloneType) {
    if (cloneType != 2) return nullptr;
    KDuzVideo* clone = Create(GetSdkManager(), GetName());
    if (clone == nullptr) return nullptr;
    clone->CopyTakeNodes(*this);
    KDuzVideo_internal* mine = GetVideoInternal();
    KDuzVideo_internal* theirs = clone->GetVideoInternal();
    // Both show the same names and frame values; the clone's own data goes
    // at once, the shared one with the last video that holds it.
    if (mine != nullptr && theirs != nullptr) theirs->ShareData(mine->SharedData());
    return clone;
}

void KDuzVideo::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KDuzObject_internal* internal = GetInternalObject();
    if (internal == nullptr || takeNode == nullptr) return;
    // Only user properties carry the animatable flag here.
    for (int i = 0; i < internal->GetPropertyCount(); ++i) {
        KProperty* property = internal->GetProperty(i);
        if (property != nullptr && property->TestInfoFlag2()) AddPropertyCurveNodes(property, takeNode);
    }
}

}  // namespace duzsdk
