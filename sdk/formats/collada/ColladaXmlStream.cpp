#include "sdk/formats/collada/ColladaXmlStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace duzsdk {

namespace {

// About a megabyte of text is kept before it goes to the file.
constexpr std::size_t kBufferSize = std::size_t{1} << 20;
// libxml2 indents by two blanks a level, up to 60 blanks.
constexpr int kMaxIndentLevel = 30;
constexpr char kBlanks[] = "                                                            ";

std::string_view NameOf(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

bool HasTextChild(const xmlNode* element) {
    for (const xmlNode* child = element->children; child != nullptr; child = child->next)
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE ||
            child->type == XML_ENTITY_REF_NODE)
            return true;
    return false;
}

void FreeSubtree(xmlNode* node) {
    xmlUnlinkNode(node);
    xmlFreeNode(node);
}

}  // namespace

char* ColladaFormatDouble(char* out, double value) {
    if (!std::isfinite(value)) {
        // The schema's spellings; "%f" would give "nan" and "inf".
        const std::string_view text = std::isnan(value) ? "NaN" : value > 0 ? "INF" : "-INF";
        std::memcpy(out, text.data(), text.size());
        return out + text.size();
    }
    // Fixed notation with six decimals is exactly what "%f" prints.
    return std::to_chars(out, out + 400, value, std::chars_format::fixed, 6).ptr;
}

ColladaXmlStream::ColladaXmlStream(int fd) : mFd(fd) {}

ColladaXmlStream::~ColladaXmlStream() { Clear(); }

void ColladaXmlStream::Clear() {
    if (mRoot != nullptr) xmlFreeNode(mRoot);
    mRoot = nullptr;
    mOpen.clear();
    mDirect.clear();
    if (mTemporary != nullptr) {
        std::fclose(mTemporary);
        mTemporary = nullptr;
        mFd = -1;
    }
    std::string().swap(mBuffer);
    mFileSize = 0;
    mFailed = false;
}

// ---- the part's tree --------------------------------------------------------------

xmlNode* ColladaXmlStream::Root(const char* name, int level) {
    if (mRoot == nullptr) {
        mRoot = xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>(name));
        mRootLevel = level;
    }
    return mRoot;
}

bool ColladaXmlStream::IsOpen(const xmlNode* element) const {
    return std::any_of(mOpen.begin(), mOpen.end(), [element](const OpenElement& open) { return open.node == element; });
}

void ColladaXmlStream::Flush(xmlNode* parent, bool open, bool text) {
    if (parent == nullptr || mRoot == nullptr) return;
    // The path from the part's element down to the parent.
    std::vector<xmlNode*> chain;
    for (xmlNode* node = parent; node != nullptr; node = node->parent) {
        chain.push_back(node);
        if (node == mRoot) break;
    }
    if (chain.back() != mRoot) return;
    std::reverse(chain.begin(), chain.end());
    // Open elements off the path are finished.
    std::size_t common = 0;
    while (common < mOpen.size() && common < chain.size() && mOpen[common].node == chain[common]) ++common;
    while (mOpen.size() > common) CloseTop();
    // The deepest element of the path with finished children to write: the
    // path is opened down to it, and to the parent when asked.
    std::size_t deepest = open ? chain.size() : 0;
    for (std::size_t i = 0; i < chain.size(); ++i) {
        const xmlNode* next = i + 1 < chain.size() ? chain[i + 1] : nullptr;
        if (chain[i]->children != nullptr && chain[i]->children != next) deepest = std::max(deepest, i + 1);
    }
    for (std::size_t i = 0; i < deepest; ++i) {
        const int level = mRootLevel + static_cast<int>(i);
        if (i >= mOpen.size()) OpenTree(chain[i], level, text && i + 1 == chain.size());
        WriteChildrenBefore(chain[i], i + 1 < chain.size() ? chain[i + 1] : nullptr, level + 1);
    }
}

void ColladaXmlStream::OpenTree(xmlNode* element, int level, bool text) {
    if (text)
        WriteStartTag(element, level, true);
    else
        StartTag(element, level);
    mOpen.push_back({element, level, text, text});
}

void ColladaXmlStream::CloseTop() {
    const OpenElement top = mOpen.back();
    if (top.startOpen) {
        Append("/>\n");
        mOpen.pop_back();
        if (top.node != mRoot) FreeSubtree(top.node);
        return;
    }
    WriteChildrenBefore(top.node, nullptr, top.level + 1);
    if (top.text) {
        Append("</");
        Append(NameOf(top.node));
        Append(">\n");
    } else {
        EndTag(top.node, top.level);
    }
    mOpen.pop_back();
    if (top.node != mRoot) FreeSubtree(top.node);
}

void ColladaXmlStream::WriteChildrenBefore(xmlNode* element, const xmlNode* stop, int level) {
    while (element->children != nullptr && element->children != stop) {
        xmlNode* child = element->children;
        if (child->type == XML_ELEMENT_NODE) WriteTree(child, level);
        FreeSubtree(child);
    }
}

void ColladaXmlStream::Finish() {
    if (mRoot == nullptr) return;
    if (mOpen.empty()) {
        WriteTree(mRoot, mRootLevel);
    } else {
        while (!mOpen.empty()) CloseTop();
    }
    // What is written leaves the tree.
    while (mRoot->children != nullptr) FreeSubtree(mRoot->children);
}

void ColladaXmlStream::Rewind(const Mark& mark) {
    mDirect.clear();
    if (mOpen.size() > mark.depth) mOpen.resize(mark.depth);
    if (mark.size >= mFileSize) {
        mBuffer.resize(std::min(mBuffer.size(), mark.size - mFileSize));
        return;
    }
    mBuffer.clear();
    if (mFd >= 0 && ftruncate(mFd, static_cast<off_t>(mark.size)) != 0) mFailed = true;
    mFileSize = mark.size;
}

// ---- tree text ----------------------------------------------------------------------

void ColladaXmlStream::Indent(int level) {
    Append(std::string_view(kBlanks, static_cast<std::size_t>(2 * std::clamp(level, 0, kMaxIndentLevel))));
}

void ColladaXmlStream::WriteStartTag(const xmlNode* element, int level, bool indent) {
    if (indent) Indent(level);
    Append("<");
    Append(NameOf(element));
    for (const xmlAttr* attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
        Append(" ");
        Append(reinterpret_cast<const char*>(attribute->name));
        Append("=\"");
        for (const xmlNode* text = attribute->children; text != nullptr; text = text->next)
            if (text->content != nullptr) Escape(reinterpret_cast<const char*>(text->content), true);
        Append("\"");
    }
}

void ColladaXmlStream::StartTag(const xmlNode* element, int level) {
    WriteStartTag(element, level, true);
    Append(">\n");
}

void ColladaXmlStream::EndTag(const xmlNode* element, int level) {
    Indent(level);
    Append("</");
    Append(NameOf(element));
    Append(">\n");
}

void ColladaXmlStream::WriteTree(const xmlNode* element, int level) {
    // With a stack of its own: depth is not bounded by the call stack.
    struct Frame {
        const xmlNode* node;
        int level;
        bool format;  // its children go one to a line
    };
    std::vector<Frame> stack;
    const xmlNode* node = element;
    int depth = level;
    bool format = true;
    while (true) {
        if (node->type == XML_ELEMENT_NODE) {
            WriteStartTag(node, depth, format);
            if (node->children == nullptr) {
                Append("/>");
            } else {
                const bool childFormat = format && !HasTextChild(node);
                Append(childFormat ? ">\n" : ">");
                stack.push_back({node, depth, format});
                format = childFormat;
                node = node->children;
                ++depth;
                continue;
            }
        } else if (node->type == XML_TEXT_NODE && node->content != nullptr) {
            Escape(reinterpret_cast<const char*>(node->content), false);
        }
        // Past the node: its line end, then the next sibling or the parent's end.
        while (true) {
            if (format) Append("\n");
            if (stack.empty()) return;
            if (node->next != nullptr) {
                node = node->next;
                break;
            }
            const Frame frame = stack.back();
            stack.pop_back();
            if (format) Indent(frame.level);
            Append("</");
            Append(NameOf(frame.node));
            Append(">");
            node = frame.node;
            depth = frame.level;
            format = frame.format;
        }
    }
}

void ColladaXmlStream::Escape(std::string_view text, bool attribute) {
    // As libxml2 escapes: in attribute values also quotes and the blanks a
    // parser would normalise.
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* replacement = nullptr;
        switch (text[i]) {
            case '<': replacement = "&lt;"; break;
            case '>': replacement = "&gt;"; break;
            case '&': replacement = "&amp;"; break;
            case '\r': replacement = "&#13;"; break;
            case '"': replacement = attribute ? "&quot;" : nullptr; break;
            case '\n': replacement = attribute ? "&#10;" : nullptr; break;
            case '\t': replacement = attribute ? "&#9;" : nullptr; break;
            default: break;
        }
        if (replacement == nullptr) continue;
        Append(text.substr(from, i - from));
        Append(replacement);
        from = i + 1;
    }
    Append(text.substr(from));
}

// ---- direct elements ------------------------------------------------------------------

void ColladaXmlStream::CloseStartTag(bool text) {
    DirectElement& top = mDirect.back();
    top.startOpen = false;
    top.text = text;
    Append(text ? ">" : ">\n");
}

void ColladaXmlStream::StartElement(const char* name) {
    int level = mOpen.empty() ? mRootLevel : mOpen.back().level + 1;
    if (!mDirect.empty()) {
        if (mDirect.back().startOpen) CloseStartTag(false);
        level = mDirect.back().level + 1;
    }
    Indent(level);
    Append("<");
    Append(name);
    mDirect.push_back({name, level, true, false});
}

void ColladaXmlStream::Attribute(const char* name, std::string_view value) {
    Append(" ");
    Append(name);
    Append("=\"");
    Escape(value, true);
    Append("\"");
}

void ColladaXmlStream::Text(std::string_view text) {
    BeginText();
    Escape(text, false);
}

void ColladaXmlStream::PlainDouble(double value) {
    BeginText();
    char text[400];
    const char* end = ColladaFormatDouble(text, value);
    Append(std::string_view(text, static_cast<std::size_t>(end - text)));
}

void ColladaXmlStream::PlainInt(long long value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    PlainText(std::string_view(text, static_cast<std::size_t>(result.ptr - text)));
}

void ColladaXmlStream::EndElement() {
    const DirectElement top = mDirect.back();
    mDirect.pop_back();
    if (top.startOpen) {
        Append("/>\n");
        return;
    }
    if (!top.text) Indent(top.level);
    Append("</");
    Append(top.name);
    Append(">\n");
}

void ColladaXmlStream::TextElement(const char* name, std::string_view text) {
    StartElement(name);
    Text(text);
    EndElement();
}

// ---- the file ---------------------------------------------------------------------------

void ColladaXmlStream::Append(std::string_view text) {
    while (mBuffer.size() + text.size() > mBuffer.capacity()) {
        if (mBuffer.capacity() < kBufferSize) {
            Grow();
            continue;
        }
        // A full buffer goes to the file; long text in pieces.
        const std::size_t room = mBuffer.capacity() - mBuffer.size();
        mBuffer.append(text.substr(0, room));
        text.remove_prefix(room);
        Flush();
    }
    mBuffer.append(text);
}

void ColladaXmlStream::Reserve(std::size_t room) {
    while (mBuffer.size() + room > mBuffer.capacity()) {
        if (mBuffer.capacity() < kBufferSize)
            Grow();
        else
            Flush();
    }
}

void ColladaXmlStream::Grow() {
    // Small parts stay in a small buffer, grown up to the full size.
    mBuffer.reserve(std::min(kBufferSize, std::max<std::size_t>(4096, 2 * mBuffer.capacity())));
}

bool ColladaXmlStream::Flush() {
    if (mBuffer.empty()) return !mFailed;
    if (mFd < 0 && mTemporary == nullptr) {
        mTemporary = std::tmpfile();
        if (mTemporary == nullptr) {
            mFailed = true;
            mBuffer.clear();
            return false;
        }
        mFd = fileno(mTemporary);
    }
    if (!WriteAt(mBuffer.data(), mBuffer.size(), mFileSize)) mFailed = true;
    mFileSize += mBuffer.size();
    mBuffer.clear();
    return !mFailed;
}

bool ColladaXmlStream::WriteAt(const char* data, std::size_t size, std::size_t offset) {
    while (size > 0) {
        const ssize_t written = pwrite(mFd, data, size, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += static_cast<std::size_t>(written);
    }
    return true;
}

void ColladaXmlStream::CopyFrom(ColladaXmlStream& part) {
    if (part.mFailed) mFailed = true;
    if (part.mFileSize > 0) {
        Flush();
        // In the kernel where it can; else through a buffer.
        loff_t from = 0;
        loff_t to = static_cast<loff_t>(mFileSize);
        const loff_t end = static_cast<loff_t>(part.mFileSize);
        while (from < end && !mFailed) {
            const ssize_t copied = copy_file_range(part.mFd, &from, mFd, &to, static_cast<std::size_t>(end - from), 0);
            if (copied > 0) continue;
            if (copied < 0 && errno == EINTR) continue;
            std::string chunk(std::min<std::size_t>(kBufferSize, static_cast<std::size_t>(end - from)), '\0');
            const ssize_t got = pread(part.mFd, chunk.data(), chunk.size(), from);
            if (got <= 0 || !WriteAt(chunk.data(), static_cast<std::size_t>(got), static_cast<std::size_t>(to))) {
                mFailed = true;
                break;
            }
            from += got;
            to += got;
        }
        mFileSize = static_cast<std::size_t>(to);
    }
    Append(part.mBuffer);
}

}  // namespace duzsdk
