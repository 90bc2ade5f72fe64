// The process-wide map from a data-type name to its handle, shared by every
// SDK manager. Names are compared byte-wise and case-sensitively.
#pragma once

#include "sdk/object/PropertyDataType.h"

namespace duzsdk {

// Builds a handle of that kind and enters it under the name; an existing
// name takes the new handle. The SDK manager's RegisterDataType. A null name
// gives the null handle and enters nothing.
PropertyDataType PropertyDataTypeMapRegister(const char* name, int kind);

// The handle entered under the name, else the default handle.
PropertyDataType PropertyDataTypeFromName(const char* name);

// The handle for unknown names: the null (undefined) type, unequal to every
// registered type.
PropertyDataType PropertyDataTypeDefault();

// Number of names in the map.
int PropertyDataTypeMapCount();

}  // namespace duzsdk
