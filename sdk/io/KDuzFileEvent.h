// A process-wide hook through which the SDK tells an application about
// events of a file it reads, so that the application can act on them (for
// example unlock a protected file after a wrong password).
#pragma once

namespace duzsdk {

class IDuzObject;

enum EDuzFileEvent : int {
    // The password given for a protected file was refused.
    eDuzFileEventWrongPassword = 16,
};

using KDuzFileEventHook = void (*)(IDuzObject* file, int event, void* userData);

// Installs the hook (null removes it); the previous one is replaced.
void KDuzSetFileEventHook(KDuzFileEventHook hook, void* userData);
// Hands the event to the installed hook; nothing without one.
void KDuzFileEventNotify(IDuzObject* file, int event);

}  // namespace duzsdk
