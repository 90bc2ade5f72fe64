#pragma once

#include "platform/physics/PhysicsCallbacks.h"

// The two callback objects the physics engine requires of the game.

// Error reports and prints go to the diagnostic log; an assertion shows its
// text on standard error (there is no message box) and is answered "ignore".
class ErrorStream : public duzplatform::PhysicsErrorReporter {
public:
    void ReportError(duzplatform::PhysicsErrorCode code, const char* message, const char* file, int line) override;
    duzplatform::PhysicsAssertAnswer ReportAssertViolation(const char* message, const char* file, int line) override;
    void Print(const char* message) override;
};

// The controller manager's memory: malloc, realloc and free.
class ControllerManagerAllocator : public duzplatform::PhysicsAllocator {
public:
    void* Allocate(size_t size) override;
    void* Allocate(size_t size, const char* fileName, int line) override;
    void* Reallocate(void* memory, size_t size) override;
    void Release(void* memory) override;
    void CheckMemory() override {}
};
