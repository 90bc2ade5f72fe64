// The exporter: the writer choice (a format index the caller sets, else the
// registry's format for the file name's extension), the export of a scene
// through that writer, and the nested DUZ 5 write the DUZ 6 writer uses for
// parts of a scene.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sdk/io/KDuzIO.h"

namespace duzsdk {

class IDuzObject;
class KDuzScene;
class KDuzWriter;

class KDuzExporter : public KDuzIO {
public:
    KDuzExporter(KDuzSdkManager* manager, const char* name);
    ~KDuzExporter() override;

    static KDuzExporter* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;

    // Forgets the writer, stores the name; always true.
    bool Initialize(const char* fileName) override;
    // Destroys the held writer and clears the message text.
    void Reset();
    // Chooses the writer format by its registry index; without a call the
    // format comes from the file name's extension.
    void SetFileFormat(int formatIndex);
    // Writes the scene into the initialised file through the chosen writer,
    // with the writer's default options when none are given. The file is
    // written under a temporary name beside the target and renamed over it
    // only when the whole write succeeded, so a failed export leaves what was
    // there before. False with the exporter's error set on failure.
    bool Export(KDuzScene* scene, KDuzStreamOptions* options = nullptr);
    // Writes the scene in the DUZ 5 layout into an open file object.
    bool WriteWithDuz5Writer(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* fileObject);
    bool WriteEmbeddedDuz5(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* fileObject) {
        return WriteWithDuz5Writer(scene, options, fileObject);
    }

    // A file a writer made beside the main one (the OBJ writer's material
    // file), written under a temporary name: it takes the target's place
    // only after the main file has, and is deleted when the export fails, so
    // a failed export leaves every existing file as it was.
    void AddCompanionFile(const char* temporary, const char* target);
    // True while an export is under way, when companion files are taken.
    bool AcceptsCompanionFiles() const { return mExporting; }

    int GetFormatIndex() const { return mFormatIndex; }
    KDuzWriter* GetWriter() const { return mWriter; }

private:
    // The registry's writer index for the file name, or -1.
    int FindFormatByExtension() const;
    // Deletes the temporaries of companion files not committed.
    void DropCompanions();
    // The exporter's error for a writer's error and text.
    void SetWriterError(int writerError, const char* text);

    int mFormatIndex = -1;
    bool mFormatChosen = false;
    KDuzWriter* mWriter = nullptr;   // owned
    // Temporary and final names of the companion files of the export under way.
    std::vector<std::pair<std::string, std::string>> mCompanions;
    bool mExporting = false;
};

}  // namespace duzsdk
