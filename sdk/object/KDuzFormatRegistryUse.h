// The SDK manager's share in the file-format registry. The registry belongs
// to the import/export layer above this one; the manager only counts itself
// as a user, through these two calls (defined with the registry).
#pragma once

namespace duzsdk {

// One more user; the first creates the registry with the built-in formats.
void KDuzFormatRegistryAcquire();
// One user less; the last destroys the registry. Harmless without users.
void KDuzFormatRegistryRelease();

}  // namespace duzsdk
