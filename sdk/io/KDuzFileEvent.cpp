#include "sdk/io/KDuzFileEvent.h"

namespace duzsdk {

namespace {

struct FileEventHook {
    KDuzFileEventHook hook = nullptr;
    void* userData = nullptr;
};

FileEventHook& Installed() {
    static FileEventHook installed;
    return installed;
}

}  // namespace

void KDuzSetFileEventHook(KDuzFileEventHook hook, void* userData) {
    Installed() = FileEventHook{hook, userData};
}

void KDuzFileEventNotify(IDuzObject* file, int event) {
    const FileEventHook installed = Installed();
    if (installed.hook != nullptr) installed.hook(file, event, installed.userData);
}

}  // namespace duzsdk
