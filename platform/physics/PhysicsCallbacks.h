#pragma once

#include <cstddef>

// Objects the caller hands to the physics layer: where reports go, and where
// the controller manager takes its memory from.
namespace duzplatform {

enum class PhysicsErrorCode : int {
    NoError = 0,
    InvalidParameter = 1,   // a descriptor or argument the layer cannot use
    InvalidOperation = 2,   // a call at the wrong time (e.g. releasing a mesh still in use)
    OutOfMemory = 3,
    InvalidData = 4,        // a cooked mesh stream that does not check out
    Warning = 5,
};

// The caller's answer to an assertion report.
enum class PhysicsAssertAnswer : int {
    Continue = 0,
    Ignore = 1,
    Break = 2,
};

class PhysicsErrorReporter {
public:
    virtual ~PhysicsErrorReporter() = default;
    virtual void ReportError(PhysicsErrorCode code, const char* message, const char* file, int line) = 0;
    // A broken precondition in a caller's request. Whatever the answer, the
    // request that tripped it fails; the answer only tells whether to stop.
    virtual PhysicsAssertAnswer ReportAssertViolation(const char* message, const char* file, int line) = 0;
    virtual void Print(const char* message) = 0;
};

// Raw memory for the controller manager.
class PhysicsAllocator {
public:
    virtual ~PhysicsAllocator() = default;
    virtual void* Allocate(size_t size) = 0;
    virtual void* Allocate(size_t size, const char* fileName, int line) = 0;
    virtual void* Reallocate(void* memory, size_t size) = 0;
    virtual void Release(void* memory) = 0;
    virtual void CheckMemory() = 0;
};

} // namespace duzplatform
