#include "sdk/scene/KDuzGlobalCameraSettings.h"

#include "sdk/base/KString.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/object/KPlugHandle.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzNode.h"

#include <cstring>
#include <new>

namespace duzsdk {

namespace {

constexpr const char* kCameraSettingsErrors[KDuzGlobalCameraSettings::eErrorCount] = {
    "Null parameter.",
    "Unknown camera name.",
};

constexpr const char* kProducerNames[KDuzGlobalCameraSettings::eProducerCount] = {
    "Producer Perspective", "Producer Top",   "Producer Bottom", "Producer Front",
    "Producer Back",        "Producer Right", "Producer Left",
};

constexpr const char* kCameraSwitcherName = "Camera Switcher";
constexpr double kDefaultFieldOfView = 40.0;

struct ProducerDefaults {
    int projectionType;
    double nearPlane;
    double farPlane;
    double position[3];
    double upVector[3];
};

// In producer order: perspective, top, bottom, front, back, right, left.
constexpr ProducerDefaults kProducerDefaults[KDuzGlobalCameraSettings::eProducerCount] = {
    {0, 10.0, 4000.0, {0.0, 71.3, 287.5}, {0.0, 1.0, 0.0}},
    {1, 1.0, 30000.0, {0.0, 4000.0, 0.0}, {0.0, 0.0, -1.0}},
    {1, 1.0, 30000.0, {0.0, -4000.0, 0.0}, {0.0, 0.0, -1.0}},
    {1, 1.0, 30000.0, {0.0, 0.0, 4000.0}, {0.0, 1.0, 0.0}},
    {1, 1.0, 30000.0, {0.0, 0.0, -4000.0}, {0.0, 1.0, 0.0}},
    {1, 1.0, 30000.0, {4000.0, 0.0, 0.0}, {0.0, 1.0, 0.0}},
    {1, 1.0, 30000.0, {-4000.0, 0.0, 0.0}, {0.0, 1.0, 0.0}},
};

// The order in which CopyProducerCamera tries the names.
constexpr int kCopyOrder[KDuzGlobalCameraSettings::eProducerCount] = {
    KDuzGlobalCameraSettings::ePerspective, KDuzGlobalCameraSettings::eTop,
    KDuzGlobalCameraSettings::eFront,       KDuzGlobalCameraSettings::eBack,
    KDuzGlobalCameraSettings::eRight,       KDuzGlobalCameraSettings::eLeft,
    KDuzGlobalCameraSettings::eBottom,
};

template <typename T>
T* LiveObject(const HdlKObject& handle)
{
    return dynamic_cast<T*>(KDuzGetPublicObject(handle.Get()));
}

}  // namespace

// The nodes and cameras belong to the manager, which may destroy them on
// its own (when it goes down, or through DestroyAllObjects); weak handles
// keep the settings from touching them afterwards.
struct KDuzGlobalCameraSettings::Impl {
    KDuzSdkManager* manager = nullptr;
    KDuzObject* scene = nullptr;
    KString defaultCamera;
    int defaultViewingMode = 0;
    HdlKObject cameras[eProducerCount];
    HdlKObject nodes[eProducerCount];
    KErrorState error{kCameraSettingsErrors, eErrorCount};
};

const char* KDuzGlobalCameraSettings::ProducerName(int producer)
{
    return producer >= 0 && producer < eProducerCount ? kProducerNames[producer] : nullptr;
}

KDuzGlobalCameraSettings::KDuzGlobalCameraSettings(KDuzSdkManager* manager, KDuzObject* scene) : mImpl(new Impl)
{
    mImpl->manager = manager;
    mImpl->scene = scene;
    if (manager != nullptr) {
        // All seven cameras first, then the nodes that carry them: the
        // manager's object order (which writers walk) stays stable.
        KDuzCamera* cameras[eProducerCount] = {};
        for (int i = 0; i < eProducerCount; ++i) {
            cameras[i] = KDuzCamera::Create(manager, "");
            if (cameras[i] != nullptr) mImpl->cameras[i] = HdlKObject::FromPlug(cameras[i]->GetInternalPlug());
        }
        for (int i = 0; i < eProducerCount; ++i) {
            KDuzNode* node = KDuzNode::Create(manager, kProducerNames[i]);
            if (node == nullptr) continue;
            mImpl->nodes[i] = HdlKObject::FromPlug(node->GetInternalPlug());
            if (cameras[i] != nullptr) node->SetNodeAttribute(cameras[i]);
            node->SetVisibility(false);
        }
    }
    RestoreDefaultSettings();
}

KDuzGlobalCameraSettings::~KDuzGlobalCameraSettings()
{
    for (int i = 0; i < eProducerCount; ++i) {
        // The node takes its camera with it.
        if (KDuzNode* node = GetProducerNode(i)) node->Destroy(false, false);
        // A camera that lost its node is still ours.
        if (KDuzCamera* camera = GetProducerCamera(i)) camera->Destroy(false, false);
        mImpl->nodes[i] = HdlKObject();
        mImpl->cameras[i] = HdlKObject();
    }
    delete mImpl;
}

bool KDuzGlobalCameraSettings::SetDefaultCamera(const char* name)
{
    if (name == nullptr) {
        mImpl->error.SetLastError(eNullParameter);
        return false;
    }
    bool known = std::strcmp(name, kCameraSwitcherName) == 0;
    for (int i = 0; i < eProducerCount && !known; ++i) known = std::strcmp(name, kProducerNames[i]) == 0;
    if (!known && mImpl->scene != nullptr) {
        known = mImpl->scene->FindSrcObject(KDuzNode::ClassId(), name) != nullptr;
    }
    if (!known) {
        mImpl->error.SetLastError(eUnknownCameraName);
        return false;
    }
    mImpl->defaultCamera = name;
    return true;
}

const char* KDuzGlobalCameraSettings::GetDefaultCamera() const { return mImpl->defaultCamera.Buffer(); }
void KDuzGlobalCameraSettings::SetDefaultViewingMode(int mode) { mImpl->defaultViewingMode = mode; }
int KDuzGlobalCameraSettings::GetDefaultViewingMode() const { return mImpl->defaultViewingMode; }

KDuzCamera* KDuzGlobalCameraSettings::GetProducerCamera(int producer) const
{
    if (producer < 0 || producer >= eProducerCount) return nullptr;
    return LiveObject<KDuzCamera>(mImpl->cameras[producer]);
}

KDuzNode* KDuzGlobalCameraSettings::GetProducerNode(int producer) const
{
    if (producer < 0 || producer >= eProducerCount) return nullptr;
    return LiveObject<KDuzNode>(mImpl->nodes[producer]);
}

bool KDuzGlobalCameraSettings::CopyProducerCamera(const char* name, const KDuzCamera* camera)
{
    if (name == nullptr || name[0] == '\0' || camera == nullptr) return false;
    for (int producer : kCopyOrder) {
        if (std::strcmp(name, kProducerNames[producer]) != 0) continue;
        KDuzCamera* target = GetProducerCamera(producer);
        if (target == nullptr) return false;
        if (target == camera) return true;
        // The copy includes the lens channels (field of view, focal length,
        // optical centre), so a file's producer camera keeps its lens.
        target->CopyFrom(*camera);
        return true;
    }
    return false;
}

void KDuzGlobalCameraSettings::RestoreDefaultSettings()
{
    for (int i = 0; i < eProducerCount; ++i) {
        KDuzCamera* camera = GetProducerCamera(i);
        if (camera == nullptr) continue;
        const ProducerDefaults& d = kProducerDefaults[i];
        camera->Reset();
        camera->SetFieldOfView(kDefaultFieldOfView);
        camera->SetFocalLength(camera->ComputeFocalLength(kDefaultFieldOfView));
        camera->SetProjectionType(d.projectionType);
        camera->SetNearPlane(d.nearPlane);
        camera->SetFarPlane(d.farPlane);
        camera->SetPosition(KgeTVector(d.position[0], d.position[1], d.position[2], 1.0));
        camera->SetUpVector(KgeTVector(d.upVector[0], d.upVector[1], d.upVector[2], 1.0));
    }
    mImpl->defaultCamera = kProducerNames[ePerspective];
    mImpl->defaultViewingMode = 0;
}

KErrorState& KDuzGlobalCameraSettings::GetError() { return mImpl->error; }
const KErrorState& KDuzGlobalCameraSettings::GetError() const { return mImpl->error; }

}  // namespace duzsdk
