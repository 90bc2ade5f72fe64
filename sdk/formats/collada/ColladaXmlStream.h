// A Collada document written as it is made, in the layout libxml2 saves a
// formatted tree in (two blanks of indentation per level, at most 60, one
// element per line, text elements on one line).
//
// A stream holds one part of the document (a library): its element, and
// what the writer has not finished yet, as a small libxml2 tree. Before the
// writer appends a child to an element it asks the stream to write out what
// lies before it; what is written leaves the tree, so memory stays with the
// elements on the path to the one being made. Large content (number arrays,
// polygons) is written directly as elements and text, without a tree node.
// The text goes to a buffer of about a megabyte and, past that, to an
// unnamed temporary file, which the document's own stream copies in when it
// assembles the parts in document order.
#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace duzsdk {

// Writes the value as printf "%f" would (same digits), "NaN", "INF" or "-INF"
// when not finite; returns the end. The room must hold 400 characters.
char* ColladaFormatDouble(char* out, double value);

class ColladaXmlStream {
public:
    // A part of the document, spilled to a temporary file when it grows.
    ColladaXmlStream() = default;
    // The document itself, written to the open file from its start; the
    // descriptor stays the caller's.
    explicit ColladaXmlStream(int fd);
    ~ColladaXmlStream();
    ColladaXmlStream(const ColladaXmlStream&) = delete;
    ColladaXmlStream& operator=(const ColladaXmlStream&) = delete;

    // ---- the part's element and its tree ------------------------------------
    // The part's element (made on first use), at the level given.
    xmlNode* Root(const char* name, int level);
    bool HasRoot() const { return mRoot != nullptr; }
    // Forgets the part: its tree, its text and its file.
    void Clear();
    // Writes what lies before a new last child of the parent (an element of
    // this part's tree): the finished elements leave the tree. Start tags are
    // written only where an element has finished children to write.
    void FlushBefore(xmlNode* parent) { Flush(parent, false, false); }
    // Also writes the start tags down to the parent: its next children may be
    // written directly.
    void Open(xmlNode* parent) { Flush(parent, true, false); }
    // Writes the start tag of the element (a last child without children):
    // its text follows through the Plain* calls, until a flush closes it.
    void OpenText(xmlNode* element) { Flush(element, true, true); }
    // Whether the element's start tag was written.
    bool IsOpen(const xmlNode* element) const;
    // Writes what is left of the part's tree.
    void Finish();

    // A point to come back to: what was written after it is taken back, and
    // the elements opened since are the caller's to free.
    struct Mark {
        std::size_t size = 0;
        std::size_t depth = 0;
    };
    Mark GetMark() const { return {mFileSize + mBuffer.size(), mOpen.size()}; }
    void Rewind(const Mark& mark);

    // ---- direct elements (children of the last opened element) --------------
    void StartElement(const char* name);
    void Attribute(const char* name, std::string_view value);
    // A text child, escaped.
    void Text(std::string_view text);
    // Text known to need no escaping (numbers, blanks, line ends).
    void PlainText(std::string_view text) {
        BeginText();
        Append(text);
    }
    void PlainChar(char c) {
        BeginText();
        Reserve(1);
        mBuffer.push_back(c);
    }
    void PlainDouble(double value);
    void PlainInt(long long value);
    void EndElement();
    // A whole element with text.
    void TextElement(const char* name, std::string_view text);

    // ---- the document ----------------------------------------------------------
    void Raw(std::string_view text) { Append(text); }
    // The start tag of an element whose children follow, and its end tag.
    void StartTag(const xmlNode* element, int level);
    void EndTag(const xmlNode* element, int level);
    // The element and its subtree, as the content of a formatted parent.
    void WriteTree(const xmlNode* element, int level);
    // Appends the text of a finished part.
    void CopyFrom(ColladaXmlStream& part);
    // Writes out the buffer; false when anything could not be written.
    bool Flush();
    bool Failed() const { return mFailed; }

private:
    struct OpenElement {
        xmlNode* node;
        int level;
        bool text;       // holds text, not elements
        bool startOpen;  // the start tag is not closed yet
    };
    struct DirectElement {
        const char* name;
        int level;
        bool startOpen;  // the start tag still takes attributes
        bool text;       // holds text: no line breaks inside
    };

    void Flush(xmlNode* parent, bool open, bool text);
    void OpenTree(xmlNode* element, int level, bool text);
    void CloseTop();
    void WriteStartTag(const xmlNode* element, int level, bool indent);
    void WriteChildrenBefore(xmlNode* element, const xmlNode* stop, int level);
    void Indent(int level);
    void Escape(std::string_view text, bool attribute);
    void CloseStartTag(bool text);
    void BeginText() {
        if (!mDirect.empty()) {
            if (mDirect.back().startOpen) CloseStartTag(true);
        } else if (!mOpen.empty() && mOpen.back().startOpen) {
            mOpen.back().startOpen = false;
            Append(">");
        }
    }
    void Reserve(std::size_t room);
    void Append(std::string_view text);
    void Grow();
    bool WriteAt(const char* data, std::size_t size, std::size_t offset);

    std::string mBuffer;
    int mFd = -1;               // the file the text goes to
    std::FILE* mTemporary = nullptr;  // a part's own file, made when needed
    std::size_t mFileSize = 0;  // text already in the file
    bool mFailed = false;
    xmlNode* mRoot = nullptr;
    int mRootLevel = 0;
    std::vector<OpenElement> mOpen;
    std::vector<DirectElement> mDirect;
};

}  // namespace duzsdk
