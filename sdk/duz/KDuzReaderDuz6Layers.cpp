// Layer element records of version 6 geometry records and the "Layer"
// records that place them into the geometry's layers.
#include "sdk/duz/KDuzReaderDuz6Records.h"

#include <cstring>
#include <vector>

#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/geometry/KDuzLayerContainer.h"

namespace duzsdk {

namespace {

std::vector<int> ReadInts(KDuz& file)
{
    const int count = file.FieldReadGetValueCount();
    std::vector<int> values(static_cast<size_t>(count > 0 ? count : 0));
    if (!values.empty())
        file.FieldReadInts(values.data(), count);
    return values;
}

std::vector<double> ReadDoubles(KDuz& file)
{
    const int count = file.FieldReadGetValueCount();
    std::vector<double> values(static_cast<size_t>(count > 0 ? count : 0));
    if (!values.empty())
        file.FieldReadDoubles(values.data(), count);
    return values;
}

// "Version", "Name" (versions above 100) and the two modes. The smoothing
// record keeps the element's own reference mode.
void ReadCommonFields(KDuz& file, KDuzLayerElement* element, bool setReference = true)
{
    if (file.FieldReadIntOrDefault("Version", 0) > 100)
        element->SetName(KDuz6StripPrefix(file.FieldReadStringOrDefault("Name", "")).Buffer());
    element->SetMappingMode(static_cast<KDuzLayerElement::EMappingMode>(
        KDuz6ParseMappingMode(file.FieldReadStringOrDefault("MappingInformationType", ""))));
    const int reference = KDuz6ParseReferenceMode(file.FieldReadStringOrDefault("ReferenceInformationType", ""));
    if (setReference)
        element->SetReferenceMode(static_cast<KDuzLayerElement::EReferenceMode>(reference));
}

// Fills the index array from the named field; indices that reach past
// `directCount` (when not negative) become -1, so that nobody who follows
// an index into the direct array lands outside it.
void ReadIndexField(KDuz& file, const char* name, KDuzLayerElement* element, int directCount, bool append)
{
    if (!file.FieldReadBegin(name))
        return;
    const std::vector<int> values = ReadInts(file);
    file.FieldReadEnd();
    KTypedArray<int>& indices = element->GetIndexArray();
    if (!append)
        indices.Empty();
    for (int value : values)
        indices.Add(directCount >= 0 && (value < 0 || value >= directCount) ? -1 : value);
}

// Calls read (element) for every instance of the record, in file order,
// with the record's block entered when it has one; the created element is
// appended unless read refuses it.
template <class Create, class Read>
void ForEachRecord(KDuz& file, const char* recordName, KDuz6ElementList& list, Create create, Read read)
{
    const int count = file.FieldGetInstanceCount(recordName);
    for (int i = 0; i < count; ++i) {
        if (!file.FieldReadBeginInstance(recordName, i))
            break;
        auto* element = create();
        file.FieldReadInt();  // the element's number; file order decides
        bool keep = element != nullptr;
        if (element != nullptr && file.FieldReadBlockBegin()) {
            keep = read(element);
            file.FieldReadBlockEnd();
        } else if (element != nullptr) {
            keep = read(nullptr);
        }
        file.FieldReadEnd();
        if (keep)
            list.push_back(element);
    }
}

}  // namespace

int KDuz6ParseMappingMode(const char* text)
{
    static const char* const kNames[] = {"ByVertice", "ByPolygonVertex", "ByPolygon", "ByEdge", "AllSame"};
    for (int i = 0; i < 5; ++i)
        if (KDuz6TextEquals(text, kNames[i]))
            return i + 1;
    return 0;
}

int KDuz6ParseReferenceMode(const char* text)
{
    if (KDuz6TextEquals(text, "Index"))
        return 1;
    if (KDuz6TextEquals(text, "IndexToDirect"))
        return 2;
    return 0;
}

int KDuz6ParseBlendMode(const char* text)
{
    static const char* const kNames[] = {"Add", "Modulate", "Modulate2", "MaxBlend"};
    for (int i = 0; i < 4; ++i)
        if (KDuz6TextEquals(text, kNames[i]))
            return i + 1;
    return 0;
}

// ---------------------------------------------------------------- element records

bool KDuz6ReadLayerElementsNormal(const KDuz6RecordContext& context, KDuz6ElementList& list)
{
    KDuz& file = *context.file;
    ForEachRecord(
        file, duz6::kNormalRow.record, list, [&] { return KDuzCreateLayerElementNormal(context.manager, ""); },
        [&](KDuzLayerElementNormal* element) {
            if (element == nullptr)
                return true;
            ReadCommonFields(file, element);
            if (file.FieldReadBegin("Normals")) {
                const int values = file.FieldReadGetValueCount();
                const int n = values > 0 ? values / 3 : 0;
                KgeTVectorArray& direct = element->GetDirectArray();
                direct.Empty();
                if (direct.SetCount(n))
                    for (int i = 0; i < n; ++i) {
                        double xyz[3];
                        file.FieldReadDoubles(xyz, 3);
                        direct[i] = KgeTVector(xyz[0], xyz[1], xyz[2], 0.0);
                    }
                file.FieldReadEnd();
            }
            return true;
        });
    return true;
}

bool KDuz6ReadLayerElementsMaterial(const KDuz6RecordContext& context, KDuz6ElementList& list)
{
    KDuz& file = *context.file;
    ForEachRecord(
        file, duz6::kMaterialRow.record, list, [&] { return KDuzCreateLayerElementMaterial(context.manager, ""); },
        [&](KDuzLayerElementMaterial* element) {
            if (element != nullptr) {
                ReadCommonFields(file, element);
                // Material indices point at the node's materials, which are
                // not known yet; they are kept as read.
                ReadIndexField(file, "Materials", element, -1, false);
            }
            return true;
        });
    return true;
}

bool KDuz6ReadLayerElementsColor(const KDuz6RecordContext& context, KDuz6ElementList& list)
{
    KDuz& file = *context.file;
    ForEachRecord(
        file, duz6::kColorRow.record, list, [&] { return KDuzCreateLayerElementVertexColor(context.manager, ""); },
        [&](KDuzLayerElementVertexColor* element) {
            if (element == nullptr)
                return true;
            ReadCommonFields(file, element);
            KDuzRGBAColorArray& direct = element->GetDirectArray();
            if (file.FieldReadBegin("Colors")) {
                const std::vector<double> values = ReadDoubles(file);
                file.FieldReadEnd();
                for (size_t i = 0; i + 4 <= values.size(); i += 4)
                    direct.Add(KDuzRGBAColor(values[i], values[i + 1], values[i + 2], values[i + 3]));
            }
            if (element->GetReferenceMode() == KDuzLayerElement::eIndexToDirect)
                ReadIndexField(file, "ColorIndex", element, direct.Count(), true);
            return true;
        });
    return true;
}

bool KDuz6ReadLayerElementsUV(const KDuz6RecordContext& context, KDuz6ElementList& list, const char* recordName)
{
    KDuz& file = *context.file;
    ForEachRecord(
        file, recordName, list, [&] { return KDuzCreateLayerElementUV(context.manager, ""); },
        [&](KDuzLayerElementUV* element) {
            if (element == nullptr)
                return true;
            ReadCommonFields(file, element);
            KgeUVVectorArray& direct = element->GetDirectArray();
            if (file.FieldReadBegin("UV")) {
                const int values = file.FieldReadGetValueCount();
                const int n = values > 0 ? values / 2 : 0;
                direct.Empty();
                if (direct.SetCount(n))
                    for (int i = 0; i < n; ++i) {
                        double uv[2];
                        file.FieldReadDoubles(uv, 2);
                        direct[i].Set(uv[0], uv[1]);
                    }
                file.FieldReadEnd();
            }
            if (element->GetReferenceMode() == KDuzLayerElement::eIndexToDirect)
                ReadIndexField(file, "UVIndex", element, direct.Count(), false);
            return true;
        });
    return true;
}

bool KDuz6ReadLayerElementsTexture(const KDuz6RecordContext& context, const char* recordName,
                                   KDuz6ElementList& list)
{
    KDuz& file = *context.file;
    ForEachRecord(
        file, recordName, list, [&] { return KDuzCreateLayerElementTexture(context.manager, ""); },
        [&](KDuzLayerElementTexture* element) {
            // A texture record without texture indices stands for nothing.
            if (element == nullptr)
                return false;
            ReadCommonFields(file, element);
            element->SetBlendMode(KDuz6ParseBlendMode(file.FieldReadStringOrDefault("BlendMode", "")));
            double alpha = file.FieldReadDoubleOrDefault("TextureAlpha", 0.0);
            alpha = alpha < 0.0 ? 0.0 : (alpha > 1.0 ? 1.0 : alpha);
            element->SetAlpha(alpha);
            if (element->GetReferenceMode() == KDuzLayerElement::eDirect)
                return false;
            ReadIndexField(file, "TextureId", element, -1, true);
            return element->GetIndexArray().Count() > 0;
        });
    return true;
}

bool KDuz6ReadLayerElementsPolygonGroup(const KDuz6RecordContext& context, KDuz6ElementList& list)
{
    KDuz& file = *context.file;
    ForEachRecord(
        file, duz6::kPolygonGroupRow.record, list,
        [&] { return KDuzCreateLayerElementPolygonGroup(context.manager, ""); },
        [&](KDuzLayerElementPolygonGroup* element) {
            if (element != nullptr) {
                ReadCommonFields(file, element);
                ReadIndexField(file, "PolygonGroup", element, -1, false);
            }
            return true;
        });
    return true;
}

bool KDuz6ReadLayerElementsSmoothing(const KDuz6RecordContext& context, KDuz6ElementList& list)
{
    KDuz& file = *context.file;
    ForEachRecord(
        file, duz6::kSmoothingRow.record, list, [&] { return KDuzCreateLayerElementSmoothing(context.manager, ""); },
        [&](KDuzLayerElementSmoothing* element) {
            if (element == nullptr)
                return true;
            ReadCommonFields(file, element, false);
            if (file.FieldReadBegin("Smoothing")) {
                const std::vector<int> values = ReadInts(file);
                file.FieldReadEnd();
                KTypedArray<bool>& direct = element->GetDirectArray();
                direct.Empty();
                for (int value : values)
                    direct.Add(value != 0);
            }
            return true;
        });
    return true;
}

bool KDuz6ReadLayerElementVisibility(const KDuz6RecordContext& context, KDuz6ElementList& list)
{
    KDuz& file = *context.file;
    ForEachRecord(
        file, duz6::kVisibilityRow.record, list, [&] { return KDuzCreateLayerElementVisibility(context.manager, ""); },
        [&](KDuzLayerElementVisibility* element) {
            if (element == nullptr)
                return true;
            ReadCommonFields(file, element);
            if (file.FieldReadBegin("Visibility")) {
                const std::vector<int> values = ReadInts(file);
                file.FieldReadEnd();
                KTypedArray<bool>& direct = element->GetDirectArray();
                direct.Empty();
                for (int value : values)
                    direct.Add(value != 0);
            }
            return true;
        });
    return true;
}

namespace {

PropertyDataType DataTypeFromText(const char* text)
{
    PropertyDataType type = PropertyDataTypeFromFileName(text);
    return type.IsValid() ? type : PropertyDataTypeGetRegistered(text);
}

// One user-data record; null when an array has a type without numbers.
KDuzLayerElementUserData* ReadUserDataRecord(const KDuz6RecordContext& context)
{
    KDuz& file = *context.file;
    const int id = file.FieldReadIntOrDefault("UserDataId", 0);
    std::vector<KString> names;
    std::vector<PropertyDataType> types;
    const int arrays = file.FieldGetInstanceCount("UserDataArray");
    for (int i = 0; i < arrays; ++i) {
        if (!file.FieldReadBeginInstance("UserDataArray", i))
            break;
        KString name;
        PropertyDataType type;
        if (file.FieldReadBlockBegin()) {
            name = file.FieldReadStringOrDefault("UserDataName", "");
            type = DataTypeFromText(file.FieldReadStringOrDefault("UserDataType", ""));
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
        names.push_back(name);
        types.push_back(type);
    }
    for (const PropertyDataType& type : types)
        if (type.GetValueKind() < eValueKindBool || type.GetValueKind() > eValueKindDouble)
            return nullptr;
    KDuzLayerElementUserData* element = KDuzCreateLayerElementUserData(context.manager, "", id, types, names);
    if (element == nullptr)
        return nullptr;
    ReadCommonFields(file, element);
    for (int i = 0; i < arrays && i < element->GetAttributeCount(); ++i) {
        if (!file.FieldReadBeginInstance("UserDataArray", i))
            break;
        if (file.FieldReadBlockBegin()) {
            KDynamicArray* values = element->GetDirectArrayOf(i);
            if (values != nullptr && file.FieldReadBegin("UserData")) {
                // Each array takes its own length: columns may differ.
                const int count = file.FieldReadGetValueCount();
                values->Empty();
                if (values->SetCount(count)) {
                    const int kind = element->GetDataType(i).GetValueKind();
                    for (int j = 0; j < count; ++j) {
                        void* slot = values->ElementAt(j);
                        if (kind == eValueKindBool) {
                            const bool v = file.FieldReadInt() != 0;
                            std::memcpy(slot, &v, sizeof v);
                        } else if (kind == eValueKindInt) {
                            const int v = file.FieldReadInt();
                            std::memcpy(slot, &v, sizeof v);
                        } else if (kind == eValueKindFloat) {
                            const float v = file.FieldReadFloat();
                            std::memcpy(slot, &v, sizeof v);
                        } else {
                            const double v = file.FieldReadDouble();
                            std::memcpy(slot, &v, sizeof v);
                        }
                    }
                }
                file.FieldReadEnd();
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    if (element->GetReferenceMode() == KDuzLayerElement::eIndexToDirect)
        ReadIndexField(file, "UserDataIndex", element, -1, false);
    return element;
}

}  // namespace

bool KDuz6ReadLayerElementUserData(const KDuz6RecordContext& context, KDuz6ElementList& list)
{
    KDuz& file = *context.file;
    const int count = file.FieldGetInstanceCount(duz6::kUserDataRow.record);
    for (int i = 0; i < count; ++i) {
        if (!file.FieldReadBeginInstance(duz6::kUserDataRow.record, i))
            break;
        file.FieldReadInt();
        KDuzLayerElementUserData* element = nullptr;
        if (file.FieldReadBlockBegin()) {
            element = ReadUserDataRecord(context);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
        // A skipped record takes no position: later typed indices count
        // only the elements kept.
        if (element != nullptr)
            list.push_back(element);
    }
    return true;
}

// ---------------------------------------------------------------- layers

namespace {

enum class SlotKind { Material, Normal, Color, Texture, PolygonGroup, Smoothing, UserData, Visibility, UV };

struct LayerRow {
    const char* name;
    SlotKind kind;
    int channel;
};

// In reading order: materials, normals, colours, polygon groups, the
// fifteen texture channels, the fifteen UV channels, smoothing, user data,
// visibility. The names are the ones the writer uses (one table of kinds).
constexpr LayerRow Row(const duz6::LayerElementRow& row, SlotKind kind) {
    return {row.record, kind, kind == SlotKind::Texture || kind == SlotKind::UV ? row.type : 0};
}
constexpr int kUVReferenceStart = 18;   // the UVs in channel order in the writer's "Layer" table
const LayerRow kLayerRows[] = {
    Row(duz6::kMaterialRow, SlotKind::Material),
    Row(duz6::kNormalRow, SlotKind::Normal),
    Row(duz6::kColorRow, SlotKind::Color),
    Row(duz6::kPolygonGroupRow, SlotKind::PolygonGroup),
    Row(duz6::kTextureRows[0], SlotKind::Texture),  Row(duz6::kTextureRows[1], SlotKind::Texture),
    Row(duz6::kTextureRows[2], SlotKind::Texture),  Row(duz6::kTextureRows[3], SlotKind::Texture),
    Row(duz6::kTextureRows[4], SlotKind::Texture),  Row(duz6::kTextureRows[5], SlotKind::Texture),
    Row(duz6::kTextureRows[6], SlotKind::Texture),  Row(duz6::kTextureRows[7], SlotKind::Texture),
    Row(duz6::kTextureRows[8], SlotKind::Texture),  Row(duz6::kTextureRows[9], SlotKind::Texture),
    Row(duz6::kTextureRows[10], SlotKind::Texture), Row(duz6::kTextureRows[11], SlotKind::Texture),
    Row(duz6::kTextureRows[12], SlotKind::Texture), Row(duz6::kTextureRows[13], SlotKind::Texture),
    Row(duz6::kTextureRows[14], SlotKind::Texture),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 0], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 1], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 2], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 3], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 4], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 5], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 6], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 7], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 8], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 9], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 10], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 11], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 12], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 13], SlotKind::UV),
    Row(duz6::kLayerReferenceRows[kUVReferenceStart + 14], SlotKind::UV),
    Row(duz6::kSmoothingRow, SlotKind::Smoothing),
    Row(duz6::kUserDataRow, SlotKind::UserData),
    Row(duz6::kVisibilityRow, SlotKind::Visibility),
};
constexpr int kLayerRowCount = static_cast<int>(sizeof(kLayerRows) / sizeof(kLayerRows[0]));

void ReadList(const KDuz6RecordContext& context, const LayerRow& row, KDuz6ElementList& list)
{
    switch (row.kind) {
    case SlotKind::Material: KDuz6ReadLayerElementsMaterial(context, list); break;
    case SlotKind::Normal: KDuz6ReadLayerElementsNormal(context, list); break;
    case SlotKind::Color: KDuz6ReadLayerElementsColor(context, list); break;
    case SlotKind::PolygonGroup: KDuz6ReadLayerElementsPolygonGroup(context, list); break;
    case SlotKind::Texture: KDuz6ReadLayerElementsTexture(context, row.name, list); break;
    case SlotKind::UV: KDuz6ReadLayerElementsUV(context, list, row.name); break;
    case SlotKind::Smoothing: KDuz6ReadLayerElementsSmoothing(context, list); break;
    case SlotKind::UserData: KDuz6ReadLayerElementUserData(context, list); break;
    case SlotKind::Visibility: KDuz6ReadLayerElementVisibility(context, list); break;
    }
}

void PutIntoLayer(KDuzLayer* layer, const LayerRow& row, KDuzLayerElement* element)
{
    switch (row.kind) {
    case SlotKind::Material: layer->SetMaterials(static_cast<KDuzLayerElementMaterial*>(element)); break;
    case SlotKind::Normal: layer->SetNormals(static_cast<KDuzLayerElementNormal*>(element)); break;
    case SlotKind::Color: layer->SetVertexColors(static_cast<KDuzLayerElementVertexColor*>(element)); break;
    case SlotKind::PolygonGroup:
        layer->SetPolygonGroups(static_cast<KDuzLayerElementPolygonGroup*>(element));
        break;
    case SlotKind::Texture:
        layer->SetTexturesOfType(row.channel, static_cast<KDuzLayerElementTexture*>(element));
        break;
    case SlotKind::UV: layer->SetUVsOfType(static_cast<KDuzLayerElementUV*>(element), row.channel); break;
    case SlotKind::Smoothing: layer->SetSmoothing(static_cast<KDuzLayerElementSmoothing*>(element)); break;
    case SlotKind::UserData: layer->SetUserData(static_cast<KDuzLayerElementUserData*>(element)); break;
    case SlotKind::Visibility: layer->SetVisibility(static_cast<KDuzLayerElementVisibility*>(element)); break;
    }
}

// The element a layer of a file without that record still refers to:
// materials and textures, all the same, direct.
KDuzLayerElement* MakeDefaultElement(KDuzSdkManager* manager, const LayerRow& row)
{
    KDuzLayerElement* element = nullptr;
    if (row.kind == SlotKind::Material)
        element = KDuzCreateLayerElementMaterial(manager, "");
    else if (row.kind == SlotKind::Texture)
        element = KDuzCreateLayerElementTexture(manager, "");
    if (element != nullptr) {
        element->SetMappingMode(KDuzLayerElement::eAllSame);
        element->SetReferenceMode(KDuzLayerElement::eDirect);
    }
    return element;
}

// The layer of that index, creating the missing ones up to it; null for a
// negative index or one too far past the last layer.
KDuzLayer* LayerAt(KDuzLayerContainer* geometry, int index)
{
    if (index < 0 || index - geometry->GetLayerCount() >= KDuzLayerContainer::kMaxLayersAddedAtOnce)
        return nullptr;
    while (geometry->GetLayerCount() <= index)
        if (geometry->CreateLayer() < 0)
            return nullptr;
    return geometry->GetLayer(index);
}

}  // namespace

bool KDuz6ReadLayers(const KDuz6RecordContext& context, KDuzLayerContainer* geometry)
{
    if (geometry == nullptr || context.file == nullptr)
        return true;
    KDuz& file = *context.file;
    std::vector<KDuz6ElementList> lists(static_cast<size_t>(kLayerRowCount));
    for (int r = 0; r < kLayerRowCount; ++r)
        ReadList(context, kLayerRows[r], lists[static_cast<size_t>(r)]);

    const int layerCount = file.FieldGetInstanceCount("Layer");
    for (int l = 0; l < layerCount; ++l) {
        if (!file.FieldReadBeginInstance("Layer", l))
            break;
        const int layerIndex = file.FieldReadInt();
        if (file.FieldReadBlockBegin()) {
            const int entries = file.FieldGetInstanceCount("LayerElement");
            for (int e = 0; e < entries; ++e) {
                if (!file.FieldReadBeginInstance("LayerElement", e))
                    break;
                if (file.FieldReadBlockBegin()) {
                    KDuzLayer* layer = LayerAt(geometry, layerIndex);
                    const KString type(file.FieldReadStringOrDefault("Type", ""));
                    const int typedIndex = file.FieldReadIntOrDefault("TypedIndex", 0);
                    for (int r = 0; layer != nullptr && r < kLayerRowCount; ++r) {
                        if (type != KString(kLayerRows[r].name))
                            continue;
                        const KDuz6ElementList& list = lists[static_cast<size_t>(r)];
                        if (typedIndex >= 0 && typedIndex < static_cast<int>(list.size())) {
                            PutIntoLayer(layer, kLayerRows[r], list[static_cast<size_t>(typedIndex)]);
                        } else if (typedIndex == 0) {
                            if (KDuzLayerElement* element = MakeDefaultElement(context.manager, kLayerRows[r]))
                                PutIntoLayer(layer, kLayerRows[r], element);
                        }
                        break;
                    }
                    file.FieldReadBlockEnd();
                }
                file.FieldReadEnd();
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    return true;
}

}  // namespace duzsdk
