#pragma once
// Steps shared by the record gets and puts of the 3DS toolkit: database
// checks, the MDATA section, replace-by-name of named objects, and texts
// taken from fixed record fields.
#include <cstddef>

namespace duzsdk {

struct FtkChunk;
struct FtkDatabase;

// ERR_INVALID_DATABASE without a root; ERR_WRONG_DATABASE unless the root is
// M3DMAGIC or (when allowed) CMAGIC.
bool FtkCheckDatabase(FtkDatabase* db, bool meshOnly);
FtkChunk* FtkMdataGetOrCreate(FtkDatabase* db);
// The NAMED_OBJECT a put fills. An existing one of the name has its first
// XDATA_SECTION copied into *kept and is cleared; with keepPlace it is
// tagged again and reused, otherwise a new chunk is inserted into MDATA. The
// object's name data is set and the named-object index marked dirty.
FtkChunk* FtkNamedObjectForPut(FtkDatabase* db, const char* name, size_t size, bool keepPlace, FtkChunk** kept);
// An own copy of a text held in a fixed field of size bytes (NUL or not).
char* FtkRecordText(const char* field, size_t size);

} // namespace duzsdk
