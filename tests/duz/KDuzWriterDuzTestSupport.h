// Writing scenes with the DUZ 5 writer, for its tests.
#pragma once

#include <string>

#include "KDuzWriterDuz6TestSupport.h"
#include "sdk/duz/KDuzWriterDuz.h"

namespace duztest {

// Registry indices of the version 5 formats.
enum Duz5Format { kDuz5Binary = 3, kDuz5Ascii = 4 };

// The three file modes of the version 5 writer.
inline const char* Duz5ModeName(int mode) {
    return mode == duzsdk::KDuzWriterDuz::eBinary ? "binary"
           : mode == duzsdk::KDuzWriterDuz::eAscii ? "ascii"
                                                   : "enciphered";
}

class Duz5WriterTestBase : public WriterTestBase {
protected:
    // Writes the scene with a version 5 writer in the given file mode (the
    // enciphered form has no registry entry); false with the writer's error.
    bool WriteDuz5(duzsdk::KDuzScene* source, const std::string& path, int mode,
                   duzsdk::KDuzStreamOptions* options = nullptr) {
        duzsdk::KDuzWriterDuz writer(manager, nullptr);
        writer.SetFileMode(mode);
        if (!writer.FileCreate(path.c_str())) {
            lastExportError = writer.GetLastErrorString();
            return false;
        }
        const bool written = writer.Write(source, options != nullptr ? options : WriteOptions());
        lastExportError = writer.GetLastErrorString();
        return writer.FileClose() && written;
    }

    std::string Duz5Ascii(duzsdk::KDuzStreamOptions* options = nullptr) {
        const std::string path = PathOf("text5.duz");
        EXPECT_TRUE(WriteDuz5(scene, path, duzsdk::KDuzWriterDuz::eAscii, options)) << lastExportError;
        return ReadFileBytes(path);
    }

    duzsdk::KDuzScene* WriteAndRead(duzsdk::KDuzScene* source, int mode,
                                     duzsdk::KDuzStreamOptions* options = nullptr,
                                     const char* password = nullptr) {
        const std::string path = PathOf(std::string("scene5_") + Duz5ModeName(mode) + ".duz");
        if (!WriteDuz5(source, path, mode, options)) {
            ADD_FAILURE() << "write failed: " << lastExportError;
            return nullptr;
        }
        duzsdk::KDuzScene* read = Import(path, password);
        if (read == nullptr) ADD_FAILURE() << "import failed: " << lastImportError;
        return read;
    }

    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
    static int CountOf(const std::string& text, const std::string& part) {
        int count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
        return count;
    }
    // The text of the first block of the given head line, up to its closing brace.
    static std::string Block(const std::string& text, const std::string& head) {
        const size_t start = text.find(head);
        if (start == std::string::npos) return std::string();
        int depth = 0;
        for (size_t i = start; i < text.size(); ++i) {
            if (text[i] == '{') ++depth;
            if (text[i] == '}' && --depth == 0) return text.substr(start, i - start + 1);
        }
        return text.substr(start);
    }
};

}  // namespace duztest
