// Scene information ("SceneInfo"), thumbnails ("Thumbnail") and the
// "Summary" that a file may keep in a section of its own: what the file
// holds, read without reading the file.
#include <algorithm>
#include <vector>

#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzThumbnail.h"

namespace duzsdk {

namespace {

// The six texts of "MetaData", in their order.
struct MetaDataText {
    const char* field;
    KString KDuzSceneInfo::*text;
};
constexpr MetaDataText kMetaData[] = {
    {"Title", &KDuzSceneInfo::title},       {"Subject", &KDuzSceneInfo::subject},
    {"Author", &KDuzSceneInfo::author},     {"Keywords", &KDuzSceneInfo::keywords},
    {"Revision", &KDuzSceneInfo::revision}, {"Comment", &KDuzSceneInfo::comment},
};

void WriteIntField(KDuz& duz, const char* name, int value) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteInt(value);
    duz.FieldWriteEnd();
}

void WriteStringField(KDuz& duz, const char* name, const char* value) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteString(value != nullptr ? value : "");
    duz.FieldWriteEnd();
}

void WriteTimeSpanField(KDuz& duz, const char* name, KTime start, KTime stop) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteTimeSpan(start, stop);
    duz.FieldWriteEnd();
}

}  // namespace

// ---- reading --------------------------------------------------------------------

KDuzThumbnail* KDuzReaderDuz6::ReadThumbnail() {
    KDuz* duz = GetFieldFile();
    return duz != nullptr ? ReadThumbnailFrom(*duz) : nullptr;
}

KDuzThumbnail* KDuzReaderDuz6::ReadThumbnailFrom(KDuz& file) {
    KDuz* duz = &file;
    if (!duz->FieldReadBegin("Thumbnail")) return nullptr;
    KDuzThumbnail* thumbnail = KDuzThumbnail::Create(mManager, "");
    bool accepted = false;
    if (thumbnail != nullptr && duz->FieldReadBlockBegin()) {
        duz->FieldReadIntOrDefault("Version", 100);
        const int format = duz->FieldReadIntOrDefault("Format", 0);
        const int size = duz->FieldReadIntOrDefault("Size", 0);
        const int encoding = duz->FieldReadIntOrDefault("ImageEncoding", 0);
        // Only the known formats and sizes are taken: the image's byte count
        // follows from them.
        const bool known = (format == KDuzThumbnail::eRGB_24 || format == KDuzThumbnail::eRGBA_32) &&
                           KDuzThumbnail::SizeInBytes(size, format) > 0;
        if (encoding == 0 && size != 0 && known) {
            thumbnail->SetDataFormat(format);
            thumbnail->SetSize(size);
            if (duz->FieldReadBegin("ImageData")) {
                // Fewer values than bytes leave the rest of the (zeroed)
                // image as it is; more are not read.
                const int bytes = std::min(thumbnail->GetSizeInBytes(), duz->FieldReadGetValueCount());
                std::vector<int> values(static_cast<size_t>(std::max(bytes, 0)));
                if (bytes > 0) duz->FieldReadInts(values.data(), bytes);
                unsigned char* image = thumbnail->GetThumbnailImage();
                for (int i = 0; i < bytes && image != nullptr; ++i)
                    image[i] = static_cast<unsigned char>(values[static_cast<size_t>(i)] & 0xFF);
                duz->FieldReadEnd();
            }
            accepted = true;
        }
        duz->FieldReadBlockEnd();
    }
    duz->FieldReadEnd();
    if (accepted) return thumbnail;
    if (thumbnail != nullptr) thumbnail->Destroy();
    return nullptr;
}

KDuzSceneInfo* KDuzReaderDuz6::ReadSceneInfo(const char* type) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || !KDuz6TextEqualsNoCase(type, "UserData")) return nullptr;
    KDuzSceneInfo* info = KDuzSceneInfo::Create(mManager, "");
    if (info == nullptr) return nullptr;
    duz->FieldReadIntOrDefault("Version", 0);
    info->SetSceneThumbnail(ReadThumbnail());
    if (duz->FieldReadBegin("MetaData")) {
        if (duz->FieldReadBlockBegin()) {
            duz->FieldReadIntOrDefault("Version", 0);
            for (const MetaDataText& row : kMetaData) (*info).*row.text = duz->FieldReadStringOrDefault(row.field, "");
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    return info;
}

KDuzSceneInfo* KDuzReaderDuz6::ReadSceneInfoSection() {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || !duz->FieldReadBegin("SceneInfo")) return nullptr;
    KDuzSceneInfo* info = nullptr;
    if (duz->FieldReadBlockBegin()) {
        const KString type(duz->FieldReadStringOrDefault("Type", ""));
        info = ReadSceneInfo(type.Buffer());
        duz->FieldReadBlockEnd();
    }
    duz->FieldReadEnd();
    return info;
}

// ---- writing ----------------------------------------------------------------------

bool KDuzReaderDuz6::WriteThumbnail(KDuz& duz, const KDuzThumbnail* thumbnail) {
    if (thumbnail == nullptr || thumbnail->GetSize() == 0) return true;
    duz.FieldWriteBegin("Thumbnail");
    duz.FieldWriteBlockBegin();
    WriteIntField(duz, "Version", 100);
    WriteIntField(duz, "Format", thumbnail->GetDataFormat());
    WriteIntField(duz, "Size", thumbnail->GetSize());
    WriteIntField(duz, "ImageEncoding", 0);
    duz.FieldWriteBegin("ImageData");
    const unsigned char* image = thumbnail->GetThumbnailImage();
    for (int i = 0; image != nullptr && i < thumbnail->GetSizeInBytes(); ++i) duz.FieldWriteInt(image[i]);
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    return true;
}

void KDuzReaderDuz6::WriteSceneInfo(KDuz& duz, const KDuzSceneInfo* info) {
    if (info == nullptr) return;
    duz.FieldWriteBegin("SceneInfo");
    duz.FieldWriteString("SceneInfo::GlobalInfo");
    duz.FieldWriteBlockBegin();
    WriteStringField(duz, "Type", "UserData");
    WriteIntField(duz, "Version", 100);
    WriteThumbnail(duz, info->GetSceneThumbnail());
    duz.FieldWriteBegin("MetaData");
    duz.FieldWriteBlockBegin();
    WriteIntField(duz, "Version", 100);
    for (const MetaDataText& row : kMetaData) WriteStringField(duz, row.field, ((*info).*row.text).Buffer());
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

bool KDuzReaderDuz6::WriteSummary(KDuz& duz, const KDuzStreamOptionsDuzReader& options, bool replaceLast) {
    if (!duz.ProjectCreateSection(replaceLast)) {
        duz.GetError().ClearError();
        return false;
    }
    duz.FieldWriteBegin("Summary");
    duz.FieldWriteBlockBegin();
    WriteIntField(duz, "Version", 101);
    WriteIntField(duz, "Template", options.GetBoolOption("TEMPLATE", false) ? 1 : 0);
    WriteIntField(duz, "PasswordProtection", options.GetBoolOption("PASSWORD ENABLE", false) ? 1 : 0);
    duz.FieldWriteBegin("ContentCount");
    duz.FieldWriteBlockBegin();
    WriteStringField(duz, "Version", "100");
    static const char* const kCounts[][2] = {{"Model", "MODEL COUNT"},         {"Device", "DEVICE COUNT"},
                                             {"Character", "CHARACTER COUNT"}, {"Actor", "ACTOR COUNT"},
                                             {"Constraint", "CONSTRAINT_COUNT"}, {"Media", "MEDIA COUNT"}};
    for (const auto& count : kCounts) WriteIntField(duz, count[0], options.GetIntOption(count[1], 0));
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    WriteSceneInfo(duz, options.GetSceneInfo());
    duz.FieldWriteBegin("Takes");
    duz.FieldWriteBlockBegin();
    WriteIntField(duz, "Version", 101);
    WriteStringField(duz, "Current", options.GetStringOption("CURRENT TAKE NAME").Buffer());
    for (int i = 0; i < options.GetTakeDescriptionCount(); ++i) {
        const KDuzTakeDescription* take = options.GetTakeDescription(i);
        if (take == nullptr) continue;
        duz.FieldWriteBegin("Take");
        duz.FieldWriteString(take->name.Buffer());
        duz.FieldWriteBlockBegin();
        if (!take->comments.IsEmpty()) WriteStringField(duz, "Comments", take->comments.Buffer());
        WriteTimeSpanField(duz, "LocalTime", take->localStart, take->localStop);
        WriteTimeSpanField(duz, "ReferenceTime", take->referenceStart, take->referenceStop);
        WriteThumbnail(duz, take->thumbnail);
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    duz.FinishBeforeClose();
    return true;
}

}  // namespace duzsdk
