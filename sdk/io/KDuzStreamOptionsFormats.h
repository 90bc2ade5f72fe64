// The option sets of the formats other than DUZ, one per direction: motion
// files, 3DS, DXF, OBJ and Collada. Each is created through the SDK
// manager, has its options in a fixed order and clones by copying them.
#pragma once

#include "sdk/base/KTime.h"
#include "sdk/io/KDuzStreamOptions.h"

namespace duzsdk {

// Declares the creation members every option class has.
#define DUZ_STREAM_OPTIONS_MEMBERS(Class)                          \
public:                                                                   \
    Class(KDuzSdkManager* manager, const char* name);                     \
    ~Class() override;                                                    \
    static Class* Create(KDuzSdkManager* manager, const char* name);      \
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name); \
    static KClassId ClassId();                                            \
    KClassId GetClassId() const override;                                 \
    KDuzObject* Clone(int mode) override;                                 \
    void Reset() override;

// Motion files. Nothing reads these options yet; the sets keep the scene
// of a skeleton definition ("ASF") read alongside, and a time mode.
class KDuzStreamOptionsMotionReader : public KDuzStreamOptions {
    DUZ_STREAM_OPTIONS_MEMBERS(KDuzStreamOptionsMotionReader)

    // Not owned unless "ASF SCENE OWNED" is set; then a reset destroys it.
    KDuzObject* GetAsfScene() const { return mAsfScene; }
    void SetAsfScene(KDuzObject* scene) { mAsfScene = scene; }
    int GetTimeMode() const { return mTimeMode; }
    void SetTimeMode(int mode) { mTimeMode = mode; }

private:
    KDuzObject* mAsfScene = nullptr;
    int mTimeMode = 0;
};

class KDuzStreamOptionsMotionWriter : public KDuzStreamOptions {
    DUZ_STREAM_OPTIONS_MEMBERS(KDuzStreamOptionsMotionWriter)

    KDuzObject* GetAsfScene() const { return mAsfScene; }
    void SetAsfScene(KDuzObject* scene) { mAsfScene = scene; }
    int GetTimeMode() const { return mTimeMode; }
    void SetTimeMode(int mode) { mTimeMode = mode; }

private:
    KDuzObject* mAsfScene = nullptr;
    int mTimeMode = 0;
};

class KDuzStreamOptions3dsReader : public KDuzStreamOptions {
    DUZ_STREAM_OPTIONS_MEMBERS(KDuzStreamOptions3dsReader)
};

class KDuzStreamOptions3dsWriter : public KDuzStreamOptions {
    DUZ_STREAM_OPTIONS_MEMBERS(KDuzStreamOptions3dsWriter)
};

// The DXF sets are not reset when constructed: their options hold the
// values of new properties until Reset runs.
class KDuzStreamOptionsDxfReader : public KDuzStreamOptions {
    DUZ_STREAM_OPTIONS_MEMBERS(KDuzStreamOptionsDxfReader)

    // The value of "OBJECT DERIVATION".
    int GetObjectDerivation() const;
};

class KDuzStreamOptionsDxfWriter : public KDuzStreamOptions {
    DUZ_STREAM_OPTIONS_MEMBERS(KDuzStreamOptionsDxfWriter)
};

class KDuzStreamOptionsObjReader : public KDuzStreamOptions {
    DUZ_STREAM_OPTIONS_MEMBERS(KDuzStreamOptionsObjReader)
};

class KDuzStreamOptionsObjWriter : public KDuzStreamOptions {
    DUZ_STREAM_OPTIONS_MEMBERS(KDuzStreamOptionsObjWriter)
};

class KDuzStreamOptionsColladaReader : public KDuzStreamOptions {
    DUZ_STREAM_OPTIONS_MEMBERS(KDuzStreamOptionsColladaReader)

    // A mode other than 0 sets the mode and its frame rate; mode 0 with rate
    // 0.0 the global mode and its rate; mode 0 with another rate the mode of
    // that rate (0 when none matches) and the rate itself. Returns whether
    // "FRAME RATE" was set.
    bool SetTimeMode(int mode, double frameRate);
    int GetTimeMode() const { return mTimeMode; }

private:
    int mTimeMode = 0;
};

class KDuzStreamOptionsColladaWriter : public KDuzStreamOptions {
    DUZ_STREAM_OPTIONS_MEMBERS(KDuzStreamOptionsColladaWriter)

    // One frame at the set's time mode; with mode 0 one over "FRAME RATE"
    // seconds (30 frames a second when that rate is not a usable number).
    KTime GetFramePeriod() const;
    int GetTimeMode() const { return mTimeMode; }
    void SetTimeMode(int mode) { mTimeMode = mode; }

private:
    int mTimeMode = 0;
};

#undef DUZ_STREAM_OPTIONS_MEMBERS

}  // namespace duzsdk
