// Skin links and poses of version 5 files, the "CHARACTER" records with
// their links, solver parameters and control sets, and the "Constraints"
// section that lists the characters.
#include <cstring>

#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzCharacterLink.h"
#include "sdk/character/KDuzCharacterParameterBlock.h"
#include "sdk/character/KDuzCharacterPose.h"
#include "sdk/character/KDuzControlSet.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

struct GroupField {
    const char* field;
    int group;
};
constexpr GroupField kCharacterGroups[] = {
    {"BASE", 0},     {"AUXILIARY", 1}, {"SPINE", 2},     {"NECK", 9},       {"ROLL", 3},  {"SPECIAL", 4},
    {"LEFTHAND", 5}, {"RIGHTHAND", 6}, {"LEFTFOOT", 10}, {"RIGHTFOOT", 11}, {"PROPS", 7},
};
// The control set has no "PROPS" group.
constexpr GroupField kControlSetGroups[] = {
    {"BASE", 0},     {"AUXILIARY", 1}, {"SPINE", 2},     {"NECK", 9},       {"ROLL", 3},
    {"SPECIAL", 4},  {"LEFTHAND", 5},  {"RIGHTHAND", 6}, {"LEFTFOOT", 10},  {"RIGHTFOOT", 11},
};
constexpr GroupField kFloorContacts[] = {
    {"REFERENCE", kDuzCharacterReferenceId},         {"LEFT_FLOOR", kDuzCharacterLeftFootFloorId},
    {"RIGHT_FLOOR", kDuzCharacterRightFootFloorId},  {"LEFT_HANDFLOOR", kDuzCharacterLeftHandFloorId},
    {"RIGHT_HANDFLOOR", kDuzCharacterRightHandFloorId},
};

void WriteMatrix(KDuz& duz, const char* name, const KgeMatrix& matrix) {
    duz.FieldWriteBegin(name);
    for (int k = 0; k < 16; ++k) duz.FieldWriteDouble(matrix.Data()[k]);
    duz.FieldWriteEnd();
}

// matrix x inverse(link), as a reader multiplies it by the link again.
KgeMatrix RelativeToLink(const KgeMatrix& link, const KgeMatrix& matrix) {
    KgeMatrix out;
    KgeMatrixMultiplyInverseOrthogonal(out.Data(), link.Data(), matrix.Data());
    return out;
}

void BeginBlock(KDuz& duz, const char* name) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteBlockBegin();
}

void EndBlock(KDuz& duz) {
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

bool InScene(const KDuzNode* node, const KDuzScene* scene) { return node != nullptr && node->GetScene() == scene; }

}  // namespace

// ---- skin links and poses -----------------------------------------------------

bool KDuzWriterDuz::WriteClusterLink(KDuzCluster* cluster) {
    if (cluster->GetLink() == nullptr) return false;
    KDuz& duz = *GetFieldFile();
    // Readers take the value for the name of the linked model and find the
    // link by it; the cluster's own name has no place in this layout.
    duz.FieldWriteBegin(duz5::kLink);
    duz.FieldWriteKString(cluster->GetLink()->GetNameWithPrefix());
    duz.FieldWriteBlockBegin();
    if (cluster->GetLinkMode() == 1) duz.FieldWriteNamedString("Mode", "Additive");
    if (cluster->GetLinkMode() == 2) duz.FieldWriteNamedString("Mode", "Total1");
    duz.FieldWriteBegin("UserData");
    duz.FieldWriteKString(cluster->GetUserDataID());
    duz.FieldWriteKString(cluster->GetUserData());
    duz.FieldWriteEnd();
    const int count = cluster->GetControlPointIndicesCount();
    duz.FieldWriteBegin("Indexes");
    for (int i = 0; i < count; ++i) duz.FieldWriteInt(cluster->GetControlPointIndices()[i]);
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("Weights");
    for (int i = 0; i < count; ++i) duz.FieldWriteDouble(cluster->GetControlPointWeights()[i]);
    duz.FieldWriteEnd();
    const KgeMatrix& link = cluster->GetStoredTransformLinkMatrix();
    WriteMatrix(duz, "Transform", RelativeToLink(link, cluster->GetStoredTransformMatrix()));
    WriteMatrix(duz, "TransformLink", link);
    if (KDuzNode* associate = cluster->GetAssociateModel()) {
        duz.FieldWriteBegin("AssociateModel");
        duz.FieldWriteKString(associate->GetNameWithPrefix());
        duz.FieldWriteBlockBegin();
        WriteMatrix(duz, "Transform", RelativeToLink(link, cluster->GetStoredTransformAssociateModelMatrix()));
        EndBlock(duz);
    }
    if (cluster->IsTransformParentSet()) WriteMatrix(duz, "TransformParent", cluster->GetStoredTransformParentMatrix());
    EndBlock(duz);
    return true;
}

void KDuzWriterDuz::WritePoses(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    for (KDuzObject* object : Collect(scene, eDuzClassPose)) {
        const auto* pose = dynamic_cast<const KDuzPose*>(object);
        if (pose == nullptr) continue;
        duz.FieldWriteBegin(duz5::kPose);
        duz.FieldWriteKString(pose->GetNameWithPrefix());
        duz.FieldWriteBlockBegin();
        duz.FieldWriteNamedString(duz5::kType, pose->IsBindPose() ? "BindPose" : "RestPose");
        KDuzWritePoseNodes(duz, pose);
        EndBlock(duz);
    }
}

void KDuzWriterDuz::WriteCharacterPoses(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    for (KDuzObject* object : Collect(scene, eDuzClassCharacterPose)) {
        auto* pose = dynamic_cast<KDuzCharacterPose*>(object);
        if (pose == nullptr) continue;
        duz.FieldWriteBegin(duz5::kPose);
        duz.FieldWriteKString(pose->GetNameWithPrefix());
        duz.FieldWriteBlockBegin();
        duz.FieldWriteNamedString(duz5::kType, "CharacterPose");
        BeginBlock(duz, duz5::kPoseScene);
        WriteCharacterPoseScene(pose);
        EndBlock(duz);
        EndBlock(duz);
    }
}

bool KDuzWriterDuz::WriteCharacterPoseScene(KDuzCharacterPose* pose) {
    IDuzObject* file = mTarget != nullptr ? mTarget : mFile;
    if (pose->GetScene() == nullptr || file == nullptr) return false;
    KDuzExporter* exporter = KDuzExporter::Create(GetSdkManager(), "");
    KDuzStreamOptionsDuzWriter* options = KDuzStreamOptionsDuzWriter::Create(GetSdkManager(), "");
    bool written = false;
    if (exporter != nullptr && options != nullptr) {
        for (const char* name : {"MODEL", "MATERIAL", "TEXTURE", "SHAPE", "GOBO", "PIVOT", "ANIMATION",
                                 "GLOBAL SETTINGS", "EMBEDDED"})
            options->SetBoolOption(name, false);
        written = exporter->WriteEmbeddedDuz5(pose->GetScene(), options, file);
    }
    if (options != nullptr) options->Destroy();
    if (exporter != nullptr) exporter->Destroy();
    return written;
}

// ---- constraints and characters -------------------------------------------------

void KDuzWriterDuz::WriteConstraints(KDuzScene* scene) {
    if (scene->GetCharacterCount() == 0) return;
    KDuz& duz = *GetFieldFile();
    BeginBlock(duz, duz5::kConstraints);
    KDuz6WriteDoubleField(duz, "Version", 4.0);
    duz.FieldWriteBegin(duz5::kGroup);
    duz.FieldWriteString("Constraint Group");
    duz.FieldWriteBlockBegin();
    for (KDuzObject* character : Collect(scene, eDuzClassCharacter)) {
        duz.FieldWriteBegin(duz5::kConstraint);
        duz.FieldWriteKString(character->GetNameWithPrefix());
        duz.FieldWriteBlockBegin();
        duz.FieldWriteNamedString(duz5::kType, "Character");
        KDuz6WriteIntField(duz, duz5::kMultiLayer, 1);
        duz.FieldWriteNamedString("Flags", "Active");
        duz.FieldWriteNamedString("Description", "Character");
        EndBlock(duz);
    }
    EndBlock(duz);
    EndBlock(duz);
}

void KDuzWriterDuz::WriteCharacters(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    const int count = static_cast<int>(Collect(scene, eDuzClassCharacter).size());
    for (int i = 0; i < count; ++i) {
        BeginBlock(duz, duz5::kCharacter);
        WriteCharacter(scene, i);
        EndBlock(duz);
    }
}

void KDuzWriterDuz::WriteCharacter(KDuzScene* scene, int index) {
    auto* character = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(index));
    if (character == nullptr) return;
    KDuz& duz = *GetFieldFile();
    KDuz6WriteIntField(duz, "CHARACTERIZE", 1);
    KDuz6WriteIntField(duz, "LOCK_XFORM", 0);
    KDuz6WriteIntField(duz, "LOCK_PICK", 0);
    duz.FieldWriteNamedString(duz5::kCharacterName, character->GetNameWithPrefix().Buffer());
    const int input = character->GetInputType();
    KDuz6WriteIntField(duz, duz5::kInputOutputType, input);
    if (input != 0) {
        KDuz6WriteIntField(duz, duz5::kActorIndex, -1);
        int characterIndex = -1;
        if (input == 1) {
            const KDuzObject* source = character->GetInputObject();
            const std::vector<KDuzObject*> characters = Collect(scene, eDuzClassCharacter);
            for (size_t i = 0; i < characters.size() && characterIndex < 0; ++i)
                if (source != nullptr && characters[i] == source) characterIndex = static_cast<int>(i);
        }
        KDuz6WriteIntField(duz, duz5::kCharacterIndex, characterIndex);
    }
    for (const GroupField& contact : kFloorContacts) {
        BeginBlock(duz, contact.field);
        WriteCharacterLink(character, contact.group, scene, true);
        EndBlock(duz);
    }
    for (const GroupField& group : kCharacterGroups) {
        BeginBlock(duz, group.field);
        WriteCharacterLinkGroup(character, group.group, scene);
        EndBlock(duz);
    }
    BeginBlock(duz, duz5::kFilterSet);
    WriteCharacterParameters(character);
    EndBlock(duz);
    BeginBlock(duz, duz5::kGameModeParent);
    WriteCharacterLinkGroup(character, 8, scene);
    EndBlock(duz);
    BeginBlock(duz, duz5::kOldControlSet);
    if (character->GetControlSet() != nullptr) WriteControlSet(character->GetControlSet(), scene);
    EndBlock(duz);
}

void KDuzWriterDuz::WriteCharacterLinkGroup(KDuzCharacter* character, int group, KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    for (int entry = 0; entry < KDuzCharacterNodeGroupSize(group); ++entry) {
        const int id = KDuzCharacterNodeGroupId(group, entry);
        KDuzCharacterLink link;
        if (!character->GetCharacterLink(id, &link) || !link.IsSet()) continue;
        if (!InScene(link.mNode, scene) && link.mTemplateName.IsEmpty()) continue;
        duz.FieldWriteBegin("LINK");
        duz.FieldWriteString(KDuzCharacterNodeGroupName(group, entry));
        duz.FieldWriteBlockBegin();
        WriteCharacterLink(character, id, scene, false);
        EndBlock(duz);
    }
}

void KDuzWriterDuz::WriteCharacterLink(KDuzCharacter* character, int nodeId, KDuzScene* scene, bool writeDefaults) {
    KDuz& duz = *GetFieldFile();
    KDuzCharacterLink link;
    const bool exists = character->GetCharacterLink(nodeId, &link) && link.IsSet() &&
                        (InScene(link.mNode, scene) || !link.mTemplateName.IsEmpty());
    if (!exists) link.Reset();
    if (exists) {
        if (link.mNode != nullptr) duz.FieldWriteNamedString("MODEL", link.mNode->GetNameWithPrefix().Buffer());
        if (!link.mTemplateName.IsEmpty()) duz.FieldWriteNamedString("NAME", link.mTemplateName.Buffer());
    }
    auto writeOffsets = [&] {
        static const char* const kNames[3][3] = {{"TOFFSETX", "TOFFSETY", "TOFFSETZ"},
                                                 {"ROFFSETX", "ROFFSETY", "ROFFSETZ"},
                                                 {"SOFFSETX", "SOFFSETY", "SOFFSETZ"}};
        const KgeTVector* offsets[3] = {&link.mOffsetT, &link.mOffsetR, &link.mOffsetS};
        for (int k = 0; k < 3; ++k)
            for (int a = 0; a < 3; ++a) KDuz6WriteDoubleField(duz, kNames[k][a], (*offsets[k])[a]);
    };
    if (exists) writeOffsets();
    // Asked-for defaults are written (again, for a link that exists).
    if (writeDefaults) writeOffsets();
    // The reader takes these too; without them every round trip lost them.
    if (exists) KDuzWriteParentOffsetAndRotationSpace(duz, link);
}

void KDuzWriterDuz::WriteCharacterParameters(KDuzCharacter* character) {
    const KDuzCharacterParameterBlock* parameters = character->GetSolverParameters();
    if (parameters == nullptr) return;
    KDuz& duz = *GetFieldFile();
    for (int row = 0; row < KDuzCharacterParameterCount(); ++row) {
        BeginBlock(duz, duz5::kParam);
        const char* name = KDuzCharacterParameterName(row);
        duz.FieldWriteNamedString("NAME", name != nullptr ? name : "");
        KDuz6WriteIntField(duz, "MODE", parameters->GetMode(row));
        KDuz6WriteDoubleField(duz, "MIN", KDuzCharacterParameterMin(row));
        KDuz6WriteDoubleField(duz, "MAX", KDuzCharacterParameterMax(row));
        KDuz6WriteDoubleField(duz, "VALUE0", parameters->GetValue(row, 0));
        EndBlock(duz);
    }
}

void KDuzWriterDuz::WriteControlSet(KDuzControlSet* controlSet, KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    KDuz6WriteIntField(duz, "TYPE", controlSet->GetType());
    KDuz6WriteIntField(duz, "LOCK_XFORM", controlSet->GetLockTransform() ? 1 : 0);
    KDuz6WriteIntField(duz, "LOCK_PICK", controlSet->GetLockPick() ? 1 : 0);
    BeginBlock(duz, "REFERENCE");
    KDuzControlSetLink reference;
    if (controlSet->GetControlSetLink(kDuzCharacterReferenceId, &reference)) {
        if (InScene(reference.mNode, scene))
            duz.FieldWriteNamedString("MODEL", reference.mNode->GetNameWithPrefix().Buffer());
        if (!reference.mTemplateName.IsEmpty()) duz.FieldWriteNamedString("NAME", reference.mTemplateName.Buffer());
    }
    EndBlock(duz);
    for (const GroupField& group : kControlSetGroups) {
        BeginBlock(duz, group.field);
        WriteControlSetLinkGroup(controlSet, group.group, scene);
        EndBlock(duz);
    }
    BeginBlock(duz, duz5::kEffector);
    WriteControlSetEffectors(controlSet);
    EndBlock(duz);
    BeginBlock(duz, duz5::kEffectorAux);
    WriteControlSetAuxEffectors(controlSet);
    EndBlock(duz);
}

void KDuzWriterDuz::WriteControlSetLinkGroup(KDuzControlSet* controlSet, int group, KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    for (int entry = 0; entry < KDuzCharacterNodeGroupSize(group); ++entry) {
        KDuzControlSetLink link;
        if (!controlSet->GetControlSetLink(KDuzCharacterNodeGroupId(group, entry), &link) || !link.IsSet()) continue;
        if (!InScene(link.mNode, scene) && link.mTemplateName.IsEmpty()) continue;
        duz.FieldWriteBegin("LINK");
        duz.FieldWriteString(KDuzCharacterNodeGroupName(group, entry));
        duz.FieldWriteBlockBegin();
        if (InScene(link.mNode, scene)) duz.FieldWriteNamedString("MODEL", link.mNode->GetNameWithPrefix().Buffer());
        if (!link.mTemplateName.IsEmpty()) duz.FieldWriteNamedString("NAME", link.mTemplateName.Buffer());
        EndBlock(duz);
    }
}

void KDuzWriterDuz::WriteControlSetEffectors(KDuzControlSet* controlSet) {
    KDuz& duz = *GetFieldFile();
    for (int id = 0; id < kDuzEffectorCount; ++id) {
        KDuzControlSetEffector effector;
        if (!controlSet->GetEffector(id, &effector)) continue;
        BeginBlock(duz, "LINK");
        const char* name = KDuzControlSet::GetEffectorName(id);
        duz.FieldWriteNamedString("NAME", name != nullptr ? name : "");
        if (effector.mNode != nullptr) duz.FieldWriteNamedString("MODEL", effector.mNode->GetNameWithPrefix().Buffer());
        KDuz6WriteIntField(duz, "SHOW", effector.mShow ? 1 : 0);
        KDuz6WriteIntField(duz, "TACTIVE", effector.mTActive ? 1 : 0);
        KDuz6WriteIntField(duz, "RACTIVE", effector.mRActive ? 1 : 0);
        KDuz6WriteIntField(duz, "CANDIDATE_TACTIVE", effector.mCandidateTActive ? 1 : 0);
        KDuz6WriteIntField(duz, "CANDIDATE_RACTIVE", effector.mCandidateRActive ? 1 : 0);
        EndBlock(duz);
    }
}

void KDuzWriterDuz::WriteControlSetAuxEffectors(KDuzControlSet* controlSet) {
    KDuz& duz = *GetFieldFile();
    for (int id = 0; id < kDuzEffectorCount; ++id) {
        for (int sub = 1; sub <= kDuzEffectorAuxCount; ++sub) {
            KDuzNode* node = nullptr;
            if (!controlSet->GetEffectorAux(id, &node, sub) || node == nullptr) continue;
            BeginBlock(duz, "LINK");
            const char* name = KDuzControlSet::GetEffectorName(id);
            duz.FieldWriteNamedString("NAME", name != nullptr ? name : "");
            duz.FieldWriteNamedString("MODEL", node->GetNameWithPrefix().Buffer());
            EndBlock(duz);
        }
    }
}

}  // namespace duzsdk
