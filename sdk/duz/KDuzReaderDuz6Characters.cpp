// Constraint offsets and character links of version 6 files.
#include <cstring>
#include <string>

#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzConstraintParent.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/io/KDuz.h"

namespace duzsdk {

namespace {

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

// Up to `count` doubles of the current field; the rest keep their values.
void ReadSome(KDuz& duz, double* out, int count) {
    const int available = duz.FieldReadGetRemainingValueCount();
    duz.FieldReadDoubles(out, available < count ? (available > 0 ? available : 0) : count);
}

void ReadVector3(KDuz& duz, const char* name, KgeTVector& out, double fallback) {
    double values[3] = {fallback, fallback, fallback};
    if (duz.FieldReadBegin(name)) {
        ReadSome(duz, values, 3);
        duz.FieldReadEnd();
    }
    out.SetXYZW(values[0], values[1], values[2], out.GetElement(3));
}

void SetVectorProperty(KDuzProperty property, const double* xyz) {
    if (!property.IsValid()) return;
    const duzVectorTemplate3<double> value(xyz[0], xyz[1], xyz[2]);
    property.SetValue(&value, eValueKindDouble3);
}

}  // namespace

void KDuzReaderDuz6::ReadParentConstraintOffsets(KDuzObject& constraint) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr) return;
    // Names first: setting values may not change the list, but the walk
    // must not depend on that.
    std::vector<std::string> rotationNames;
    for (int i = 0; i < constraint.GetPropertyCount(); ++i) {
        const char* name = constraint.GetPropertyAt(i).GetName();
        if (std::strstr(name, kParentOffsetRotationSuffix) != nullptr) rotationNames.emplace_back(name);
    }
    for (const std::string& rotationName : rotationNames) {
        if (!duz->FieldReadBegin("Offset")) break;
        double values[6] = {0, 0, 0, 0, 0, 0};
        ReadSome(*duz, values, 6);
        SetVectorProperty(constraint.FindProperty(rotationName.c_str()), values);
        const std::string translationName =
            rotationName.substr(0, rotationName.find(kParentOffsetRotationSuffix)) + kParentOffsetTranslationSuffix;
        SetVectorProperty(constraint.FindProperty(translationName.c_str()), values + 3);
        duz->FieldReadEnd();
    }
    constraint.WrapInternalProperties();
}

bool KDuzReaderDuz6::ReadCharacter(KDuzCharacter& character) {
    KDuz* duz = GetFieldFile();
    ReadProperties60(&character);
    character.WrapInternalProperties();
    if (duz == nullptr) return true;
    for (const SingleLinkField& single : kSingleLinks) {
        if (!duz->FieldReadBegin(single.field)) continue;
        if (duz->FieldReadBlockBegin()) {
            ReadCharacterLink(character, single.id);
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    for (const LinkGroupField& group : kLinkGroups) {
        if (!duz->FieldReadBegin(group.field)) continue;
        if (duz->FieldReadBlockBegin()) {
            ReadCharacterLinkGroup(character, group.group);
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    return true;
}

void KDuzReaderDuz6::ReadCharacterLinkGroup(KDuzCharacter& character, int group) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || !duz->FieldReadBegin("LINK")) return;
    const KString first = KDuz6StripPrefix(duz->FieldReadGetValueCount() > 0 ? duz->FieldReadString() : "");
    duz->FieldReadEnd();
    duz->FieldReadRewind();
    const bool byName = !first.IsEmpty();
    const int size = KDuzCharacterNodeGroupSize(group);
    for (int position = 0; duz->FieldReadBegin("LINK"); ++position) {
        int id = -1;
        if (byName) {
            const KString name = KDuz6StripPrefix(duz->FieldReadGetValueCount() > 0 ? duz->FieldReadString() : "");
            int foundGroup = group;
            int entry = 0;
            if (KDuzCharacterFindNodeByName(name.Buffer(), true, foundGroup, entry))
                id = KDuzCharacterNodeGroupId(foundGroup, entry);
        } else if (position < size) {
            id = KDuzCharacterNodeGroupId(group, position);
        }
        if (id >= 0 && duz->FieldReadBlockBegin()) {
            ReadCharacterLink(character, id);
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
}

void KDuzReaderDuz6::ReadCharacterLink(KDuzCharacter& character, int id) {
    if (GetFieldFile() == nullptr) return;
    KDuzCharacterLink link;
    ReadCharacterLinkFields(link);
    character.SetCharacterLink(id, link, false);
}

void KDuzReaderDuz6::ReadCharacterLinkFields(KDuzCharacterLink& link) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr) return;
    const char* name = duz->FieldReadStringOrDefault("NAME", "");
    if (name != nullptr && name[0] != '\0') link.mTemplateName = name;
    const char* axes[3] = {"X", "Y", "Z"};
    struct OffsetField {
        const char* prefix;
        KgeTVector* vector;
        double fallback;
    };
    const OffsetField offsets[] = {
        {"TOFFSET", &link.mOffsetT, 0.0},
        {"ROFFSET", &link.mOffsetR, 0.0},
        {"SOFFSET", &link.mOffsetS, 1.0},
        {"PARENTROFFSET", &link.mParentROffset, 0.0},
    };
    for (const OffsetField& offset : offsets) {
        for (int axis = 0; axis < 3; ++axis) {
            const std::string field = std::string(offset.prefix) + axes[axis];
            offset.vector->SetElement(axis, duz->FieldReadDoubleOrDefault(field.c_str(), offset.fallback));
        }
    }
    if (duz->FieldReadBegin("ROTATIONSPACE")) {
        if (duz->FieldReadBlockBegin()) {
            link.mHasRotSpace = true;
            ReadVector3(*duz, "PRE", link.mPreRotation, 0.0);
            ReadVector3(*duz, "POST", link.mPostRotation, 0.0);
            link.mAxisLen = duz->FieldReadDoubleOrDefault("AXISLEN", 0.0);
            link.mRotOrder = duz->FieldReadIntOrDefault("ORDER", 0);
            const char* minFields[3] = {"XMINENABLE", "YMINENABLE", "ZMINENABLE"};
            const char* maxFields[3] = {"XMAXENABLE", "YMAXENABLE", "ZMAXENABLE"};
            for (int axis = 0; axis < 3; ++axis) {
                link.mRLimits.minActive[axis] = duz->FieldReadIntOrDefault(minFields[axis], 0) != 0;
                link.mRLimits.maxActive[axis] = duz->FieldReadIntOrDefault(maxFields[axis], 0) != 0;
            }
            ReadVector3(*duz, "MIN", link.mRLimits.min, 0.0);
            ReadVector3(*duz, "MAX", link.mRLimits.max, 0.0);
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
}

}  // namespace duzsdk
