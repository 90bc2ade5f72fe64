// The exporter: the writer choice (a format index the caller sets, else the
// registry's format for the file name's extension), the export of a scene
// through that writer, and the nested DUZ 5 write the DUZ 6 writer uses for
// parts of a scene.
#pragma once

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

    int GetFormatIndex() const { return mFormatIndex; }
    KDuzWriter* GetWriter() const { return mWriter; }

private:
    // The registry's writer index for the file name, or -1.
    int FindFormatByExtension() const;

    int mFormatIndex = -1;
    bool mFormatChosen = false;
    KDuzWriter* mWriter = nullptr;   // owned
};

}  // namespace duzsdk
