// Node attribute bodies inside "Model" records: type flags for nulls,
// markers and skeletons, camera fields, lights, camera switchers and meshes.
#include "sdk/base/KStringList.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"

namespace duzsdk {

namespace {

}  // namespace

void KDuzWriterDuz6::WriteTypeFlags(const KDuzObject* attribute) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz6::kTypeFlags);
    if (attribute == nullptr) {
        duz.FieldWriteString("Null");
    } else {
        const KStringList flags = attribute->GetTypeFlags();
        for (int i = 0; i < flags.GetCount(); ++i) duz.FieldWriteString(flags.GetStringAt(i));
    }
    duz.FieldWriteEnd();
}

bool KDuzWriterDuz6::WriteNodeAttribute(KDuzNode* node) {
    KDuzObject* attribute = node->GetNodeAttribute();
    const int type = attribute != nullptr ? KDuzNode::GetAttributeTypeOf(attribute) : KDuzNodeAttribute::eNull;
    const bool model = Option("MODEL");
    switch (type) {
        case KDuzNodeAttribute::eNull:
        case KDuzNodeAttribute::eMarker:
        case KDuzNodeAttribute::eSkeleton:
            WriteTypeFlags(attribute);
            return true;
        case KDuzNodeAttribute::eCamera:
            return WriteCameraBody(static_cast<KDuzCamera*>(attribute));
        case KDuzNodeAttribute::eLight:
            WriteLightTypeFlags(static_cast<KDuzLight*>(attribute));
            return true;
        default:
            break;
    }
    if (!model) {
        // Without geometry the node is written as if it had no attribute.
        WriteTypeFlags(nullptr);
        return true;
    }
    if (type == KDuzNodeAttribute::eCameraSwitcher)
        return WriteCameraSwitcherBody(static_cast<KDuzCameraSwitcher*>(attribute));
    // Geometry as in its "Geometry" record; other types have no body.
    return WriteSeparateGeometryBody(attribute);
}

bool KDuzWriterDuz6::WriteCameraBody(KDuzCamera* camera) {
    KDuz& duz = *GetFieldFile();
    WriteTypeFlags(camera);
    duz.FieldWriteBegin(duz6::kGeometryVersion);
    duz.FieldWriteInt(duz6::kGeometryVersionNumber);
    duz.FieldWriteEnd();
    KDuz6WriteVector3Field(duz, "Position", camera->GetPosition());
    KDuz6WriteVector3Field(duz, "Up", camera->GetUpVector());
    KDuz6WriteVector3Field(duz, "LookAt", camera->GetInterestPosition());
    duz.FieldWriteBegin("ShowInfoOnMoving");
    duz.FieldWriteInt(camera->GetShowInfoOnMoving() ? 1 : 0);
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("ShowAudio");
    duz.FieldWriteInt(camera->GetShowAudio() ? 1 : 0);
    duz.FieldWriteEnd();
    const KDuzRGBAColor audio = camera->GetAudioColor();
    duz.FieldWriteBegin("AudioColor");
    duz.FieldWriteDouble(audio.mRed);
    duz.FieldWriteDouble(audio.mGreen);
    duz.FieldWriteDouble(audio.mBlue);
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("CameraOrthoZoom");
    duz.FieldWriteDouble(camera->GetOrthoZoom());
    duz.FieldWriteEnd();
    return true;
}

}  // namespace duzsdk
