// Control-set plug, constraint and character records of version 6 files.
#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzConstraintParent.h"
#include "sdk/character/KDuzControlSetPlug.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/io/KDuz.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

void CloseRecord(KDuz& duz) {
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

struct SingleLinkField {
    const char* field;
    int id;
};
constexpr SingleLinkField kSingleLinks[] = {
    {"REFERENCE", kDuzCharacterReferenceId},        {"LEFT_FLOOR", kDuzCharacterLeftFootFloorId},
    {"RIGHT_FLOOR", kDuzCharacterRightFootFloorId},  {"LEFT_HANDFLOOR", kDuzCharacterLeftHandFloorId},
    {"RIGHT_HANDFLOOR", kDuzCharacterRightHandFloorId},
};

struct LinkGroupField {
    const char* field;
    int group;
};
constexpr LinkGroupField kLinkGroups[] = {
    {"BASE", 0},     {"AUXILIARY", 1}, {"SPINE", 2},     {"NECK", 9},      {"ROLL", 3},  {"SPECIAL", 4},
    {"LEFTHAND", 5}, {"RIGHTHAND", 6}, {"LEFTFOOT", 10}, {"RIGHTFOOT", 11}, {"PROPS", 7},
};

// A link is written when it is set and either names a node of the written
// scene or has a template name.
bool LinkIsWritten(const KDuzCharacter& character, int id, const KDuzScene* scene, KDuzCharacterLink& link) {
    if (!character.GetCharacterLink(id, &link)) return false;
    const bool inScene = link.mNode != nullptr && link.mNode->GetScene() == scene;
    return inScene || !link.mTemplateName.IsEmpty();
}

}  // namespace

void KDuzWriterDuz6::WriteControlSetPlugs(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    for (KDuzObject* plug : Sources(scene, KDuzControlSetPlug::ClassId())) {
        WriteRecordHead(duz6::kControlSetPlug, plug);
        duz.FieldWriteNamedString("Type", plug->GetTypeName().Buffer());
        KDuz6WriteIntField(duz, "MultiLayer", 0);
        WriteProperties(plug);
        CloseRecord(duz);
    }
}

void KDuzWriterDuz6::WriteConstraints(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    for (KDuzObject* object : Sources(scene, KDuzConstraint::ClassId())) {
        auto* constraint = static_cast<KDuzConstraint*>(object);
        if (!IsWrittenConstraint(constraint)) continue;
        WriteRecordHead(duz6::kConstraint, constraint);
        duz.FieldWriteNamedString("Type", constraint->GetTypeName().Buffer());
        KDuz6WriteIntField(duz, "MultiLayer", 0);
        WriteProperties(constraint);
        if (auto* character = dynamic_cast<KDuzCharacter*>(constraint)) {
            KDuz6WriteIntField(duz, "CHARACTERIZE", 1);
            KDuz6WriteIntField(duz, "LOCK_XFORM", 0);
            KDuz6WriteIntField(duz, "LOCK_PICK", 0);
            for (const SingleLinkField& single : kSingleLinks) {
                duz.FieldWriteBegin(single.field);
                duz.FieldWriteBlockBegin();
                WriteCharacterLinkOffsets(character, single.id, scene);
                CloseRecord(duz);
            }
            for (const LinkGroupField& group : kLinkGroups) {
                duz.FieldWriteBegin(group.field);
                duz.FieldWriteBlockBegin();
                WriteCharacterGroupLinks(character, group.group, scene);
                CloseRecord(duz);
            }
        } else if (auto* parent = dynamic_cast<KDuzConstraintParent*>(constraint)) {
            if (KDuzObject* source = parent->GetConstraintSource(0)) {
                KDuz6WriteIntField(duz, duz6::kVersion, 101);
                // Rotation first: the order in which the reader hands the
                // values to the ".Offset R" and ".Offset T" properties.
                const KgeTVector rotation = parent->GetRotationOffset(source);
                const KgeTVector translation = parent->GetTranslationOffset(source);
                duz.FieldWriteBegin("Offset");
                for (int i = 0; i < 3; ++i) duz.FieldWriteDouble(rotation.GetElement(i));
                for (int i = 0; i < 3; ++i) duz.FieldWriteDouble(translation.GetElement(i));
                for (int i = 0; i < 3; ++i) duz.FieldWriteDouble(0.0);
                duz.FieldWriteEnd();
            }
        }
        CloseRecord(duz);
    }
}

bool KDuzWriterDuz6::IsWrittenConstraint(const KDuzObject* object) const {
    const auto* constraint = dynamic_cast<const KDuzConstraint*>(object);
    if (constraint == nullptr) return false;
    if (constraint->GetConstraintType() == KDuzConstraint::eCharacter) return Option("CHARACTER");
    return Option("CONSTRAINT");
}

void KDuzWriterDuz6::WriteCharacterGroupLinks(KDuzCharacter* character, int group, KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    for (int entry = 0; entry < KDuzCharacterNodeGroupSize(group); ++entry) {
        const int id = KDuzCharacterNodeGroupId(group, entry);
        KDuzCharacterLink link;
        if (!LinkIsWritten(*character, id, scene, link)) continue;
        duz.FieldWriteBegin("LINK");
        duz.FieldWriteString(KDuzCharacterNodeGroupName(group, entry));
        duz.FieldWriteBlockBegin();
        WriteCharacterLinkOffsets(character, id, scene);
        CloseRecord(duz);
    }
}

void KDuzWriterDuz6::WriteCharacterLinkOffsets(KDuzCharacter* character, int id, KDuzScene* scene) {
    KDuzCharacterLink link;
    if (character == nullptr || !LinkIsWritten(*character, id, scene, link)) return;
    KDuz& duz = *GetFieldFile();
    if (!link.mTemplateName.IsEmpty()) duz.FieldWriteNamedString("NAME", link.mTemplateName.Buffer());
    const char* axes[3] = {"X", "Y", "Z"};
    const struct {
        const char* prefix;
        const KgeTVector* vector;
    } offsets[] = {{"TOFFSET", &link.mOffsetT}, {"ROFFSET", &link.mOffsetR}, {"SOFFSET", &link.mOffsetS}};
    for (const auto& offset : offsets) {
        for (int axis = 0; axis < 3; ++axis) {
            const KString name = KString(offset.prefix) + axes[axis];
            KDuz6WriteDoubleField(duz, name.Buffer(), offset.vector->GetElement(axis));
        }
    }
    KDuzWriteParentOffsetAndRotationSpace(duz, link);
}

}  // namespace duzsdk
