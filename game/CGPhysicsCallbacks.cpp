#include "game/CGPhysicsCallbacks.h"

#include "game/GameUtil.h"

#include <cstdio>
#include <cstdlib>

void ErrorStream::ReportError(duzplatform::PhysicsErrorCode code, const char* message, const char* file, int line) {
    GameLog("physics error %d: %s (%s:%d)", static_cast<int>(code), message != nullptr ? message : "",
            file != nullptr ? file : "", line);
}

duzplatform::PhysicsAssertAnswer ErrorStream::ReportAssertViolation(const char* message, const char* file, int line) {
    std::fprintf(stderr, "AssertViolation, see console for details.\n%s (%s:%d)\n", message != nullptr ? message : "",
                 file != nullptr ? file : "", line);
    return duzplatform::PhysicsAssertAnswer::Ignore;
}

void ErrorStream::Print(const char* message) { GameLog("%s", message != nullptr ? message : ""); }

void* ControllerManagerAllocator::Allocate(size_t size) { return std::malloc(size); }
void* ControllerManagerAllocator::Allocate(size_t size, const char*, int) { return std::malloc(size); }
void* ControllerManagerAllocator::Reallocate(void* memory, size_t size) { return std::realloc(memory, size); }
void ControllerManagerAllocator::Release(void* memory) { std::free(memory); }
