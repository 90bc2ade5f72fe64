// The exporter: the writer choice (the registry's first DUZ writer format)
// and the nested DUZ 5 write the DUZ 6 writer uses for parts of a scene.
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
    // Writes the scene in the DUZ 5 layout into an open file object.
    bool WriteWithDuz5Writer(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* fileObject);
    bool WriteEmbeddedDuz5(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* fileObject) {
        return WriteWithDuz5Writer(scene, options, fileObject);
    }

    int GetFormatIndex() const { return mFormatIndex; }
    KDuzWriter* GetWriter() const { return mWriter; }

private:
    int mFormatIndex = -1;
    KDuzWriter* mWriter = nullptr;   // owned
};

}  // namespace duzsdk
