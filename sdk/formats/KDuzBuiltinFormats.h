// The built-in format groups of the file-format registry (DUZ, DXF, 3DS, OBJ
// and Collada, readers and writers) and the DUZ reader factory, which picks
// the reader by the version of the file.
#pragma once

namespace duzsdk {

class KDuzFormatRegistry;
class KDuzExporter;
class KDuzImporter;
class KDuzReader;
class KDuzWriter;
class KDuzSdkManager;

// Registers every built-in group in its fixed order and sets the registry's
// first DUZ reader and writer indices.
void KDuzRegisterBuiltinFormatGroups(KDuzFormatRegistry& registry);

// The DUZ reader group's factory: the reader for the importer's file, chosen
// by the file's major version; null when no reader can open the file.
KDuzReader* KDuzCreateDuzReader(KDuzSdkManager* manager, KDuzImporter* importer, int formatNumber);

// The DUZ writer group's factory: the version 6 writer in binary (0), ASCII
// (1) or enciphered (2) mode; null for the version 5 formats and any other.
KDuzWriter* KDuzCreateDuzWriter(KDuzSdkManager* manager, KDuzExporter* exporter, int formatNumber);

}  // namespace duzsdk
