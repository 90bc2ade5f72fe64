// A video clip: the image or movie file behind a texture, a camera
// background or a light's gobo, with how to play it (frame rate, range,
// speed, offset, interlacing, looping, access). It is connected as a source
// of the textures and lights that use it and keeps their file names in step.
#pragma once

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"
#include "sdk/base/KStringList.h"
#include "sdk/base/KTime.h"
#include "sdk/object/KPlugHandle.h"

#include <cstddef>
#include <memory>

namespace duzsdk {

class KDuzSdkManager;
class KDuzVideo;
class KProperty;

// Which enumeration KDuzVideoEnumName reads.
enum EDuzVideoEnum : int { eDuzVideoEnumInterlaceMode = 0, eDuzVideoEnumAccessMode = 1 };
// The text of an interlace-mode or access-mode value; null for other values.
const char* KDuzVideoEnumName(int enumeration, int value);

// What a video shows: its file names and frame values. A clone shares it
// with the video it was cloned from, so both show the same values; it goes
// away with the last video that holds it.
struct KDuzVideoData {
    KDuzVideoData() = default;
    KDuzVideoData(const KDuzVideoData&) = delete;
    KDuzVideoData& operator=(const KDuzVideoData&) = delete;
    ~KDuzVideoData() { ReleasePath(); }

    // The path text: null until first set. The buffer grows only when a
    // longer text comes; a shorter or equal one reuses it. False when the
    // buffer cannot grow (the old path stays).
    bool SetPath(const char* text);
    const char* GetPath() const { return mPath; }
    std::size_t GetPathCapacity() const { return mPathCapacity; }
    void ReleasePath();

    double frameRate = 0.0;
    int lastFrame = 0;
    int width = 0;
    int height = 0;
    int startFrame = 0;
    int stopFrame = 0;
    double playSpeed = 1.0;
    KTime offset;
    int interlaceMode = 0;
    bool freeRunning = false;
    bool loop = false;
    int accessMode = 0;
    bool useMipMap = false;
    bool originalFormat = true;
    KString originalFilename;
    KString relativeFileName;

private:
    char* mPath = nullptr;
    std::size_t mPathCapacity = 0;
};

class KDuzVideo_internal : public KDuzTakeNodeContainer_internal {
public:
    // Creates the thirteen properties, each reading and writing the data.
    explicit KDuzVideo_internal(KDuzVideo* video);
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;

    enum EProperty : int {
        eFrameRate,
        eLastFrame,
        eWidth,
        eHeight,
        ePath,
        eStartFrame,
        eStopFrame,
        ePlaySpeed,
        eOffset,
        eInterlaceMode,
        eFreeRunning,
        eLoop,
        eAccessMode,
        ePropertyCount,
    };
    // Null when the property went away.
    KProperty* GetProperty(EProperty which) const;
    using KDuzTakeNodeContainer_internal::GetProperty;

    KDuzVideoData& Data() { return *mData; }
    const KDuzVideoData& Data() const { return *mData; }
    const std::shared_ptr<KDuzVideoData>& SharedData() const { return mData; }
    // Drops this internal object's own data for the given one.
    void ShareData(const std::shared_ptr<KDuzVideoData>& data);

private:
    std::shared_ptr<KDuzVideoData> mData;
    HdlKObject mProperties[ePropertyCount];
};

class KDuzVideo : public KDuzTakeNodeContainer {
public:
    static KDuzVideo* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    static KErrorState& SharedError();

    KDuzVideo(KDuzSdkManager* manager, const char* name);
    ~KDuzVideo() override;

    // ---- KDuzPlug / KDuzObject ----
    KClassId GetClassId() const override;
    int GetNameKind() const override { return 5; }
    // A connection made with this video as source hands its names to a
    // texture destination (file, relative, media name) or a light (gobo).
    bool ConnectNotify(const KDuzConnectEvent& event) override;
    KDuzObject* Clone(int cloneType) override;
    KString GetTypeName() const override { return KString("Clip"); }
    KStringList GetTypeFlags() const override;
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;

    // ---- file names ----
    // False for a null or empty text (the stored name stays); true otherwise.
    // A new name goes on to the first destination texture.
    bool SetFileName(const char* name);
    bool SetRelativeFileName(const char* name);
    // Null before the first SetFileName.
    const char* GetFileName() const;
    const char* GetRelativeFileName() const;

    // ---- embedded content ----
    void SetUseMipMap(bool use);
    bool GetUseMipMap() const;
    void SetOriginalFormat(bool original);
    bool GetOriginalFormat() const;
    void SetOriginalFilename(const char* name);
    const char* GetOriginalFilename() const;

    KDuzVideo_internal* GetVideoInternal() const;

protected:
    void InitDefaults();
};

}  // namespace duzsdk
