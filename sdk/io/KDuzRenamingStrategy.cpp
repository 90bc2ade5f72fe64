#include "sdk/io/KDuzRenamingStrategy.h"

#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

namespace duzsdk {

namespace {

constexpr const char* kEqualNameMarker = "_ncl1_";
constexpr const char* kCaseMarker = "_ncl2_";
constexpr const char* kNameSpaceClashMarker = "_NSclash";
constexpr size_t kMarkerLength = 6;   // "_ncl1_" and "_ncl2_"
// The case masks are 32 bits wide: differences past position 31 are not
// recorded (see EncodeName).
constexpr int kCaseMaskBits = 32;

bool IsAsciiAlnum(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
char ToAsciiLower(char c) { return IsAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
char ToAsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Folded(const std::string& text) {
    std::string folded(text);
    for (char& c : folded) c = ToAsciiLower(c);
    return folded;
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    std::string result;
    size_t start = 0;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
        result.append(text, start, at - start);
        result += to;
        start = at + from.size();
    }
    result.append(text, start, std::string::npos);
    return result;
}

bool AllDigits(const std::string& text, size_t from, size_t to) {
    if (from >= to) return false;
    for (size_t i = from; i < to; ++i)
        if (!IsAsciiDigit(text[i])) return false;
    return true;
}

// Reads "<tag><digits>" at pos into mask; pos moves past it. Values above 32
// bits are not masks this encoder writes: false.
bool ReadMask(const std::string& text, size_t& pos, const char* tag, uint32_t& mask) {
    if (text.compare(pos, 2, tag) != 0) return true;   // absent: 0
    size_t end = pos + 2;
    uint64_t value = 0;
    while (end < text.size() && IsAsciiDigit(text[end])) {
        value = value * 10 + static_cast<uint64_t>(text[end] - '0');
        if (value > UINT32_MAX) return false;
        ++end;
    }
    if (end == pos + 2) return false;
    mask = static_cast<uint32_t>(value);
    pos = end;
    return true;
}

// The nodes of the subtree, the node first and then each child's subtree in
// child order, without recursion (hierarchies from files may be deep) and
// visiting each node once.
template <typename Visit>
void WalkSubtree(KDuzNode* root, Visit visit) {
    if (root == nullptr) return;
    std::vector<KDuzNode*> stack{root};
    std::unordered_set<KDuzNode*> seen;
    std::vector<KDuzObject*> children;
    while (!stack.empty()) {
        KDuzNode* node = stack.back();
        stack.pop_back();
        if (!seen.insert(node).second) continue;
        visit(node);
        for (int i = node->GetChildCount(); i-- > 0;)
            if (KDuzNode* child = node->GetChild(i)) stack.push_back(child);
    }
}

std::string NameSpaceOf(const std::string& name, char separator) {
    const size_t last = name.rfind(separator);
    return last == std::string::npos ? std::string() : name.substr(0, last);
}

}  // namespace

KDuzRenamingStrategy::KDuzRenamingStrategy(int direction, bool parentheses)
    : mDirection(direction), mParentheses(parentheses) {}

KDuzRenamingStrategy::~KDuzRenamingStrategy() { ClearUsedNames(); }

bool KDuzRenamingStrategy::Rename(KDuzObjectName& name) {
    return mDirection == eDecode ? DecodeName(name) : EncodeName(name);
}

void KDuzRenamingStrategy::SetInNameSpaceSymbol(const KString& symbol) { mInSymbol = symbol.Buffer(); }

void KDuzRenamingStrategy::SetOutNameSpaceSymbol(const KString& symbol) { mOutSymbol = symbol.Buffer(); }

void KDuzRenamingStrategy::SetClashMode(int mode) {
    if (mode != mClashMode) ClearUsedNames();
    mClashMode = mode;
}

void KDuzRenamingStrategy::ClearUsedNames() {
    for (UseRecord* record : mUsedNameRecords) delete record;
    mUsedNameRecords.clear();
    mUsedNames.clear();
    mUsedNamesFolded.clear();
}

void KDuzRenamingStrategy::RegisterUsedName(const std::string& name) {
    auto* record = new UseRecord{name, 0};
    mUsedNameRecords.push_back(record);
    // The first record of a name keeps counting; a later equal name only
    // adds a record.
    mUsedNames.emplace(name, record);
    mUsedNamesFolded.emplace(Folded(name), name);
}

std::string KDuzRenamingStrategy::ConvertSymbols(std::string name) const {
    if (mInSymbol != mOutSymbol) name = ReplaceAll(name, mInSymbol, mOutSymbol);
    return name;
}

// ---- characters ------------------------------------------------------------------

std::string KDuzRenamingStrategy::ReplaceCharactersText(std::string text, char replacement,
                                                        bool keepNameSpace) {
    const char separator = OutSeparator();
    if (!keepNameSpace) {
        const size_t last = separator != '\0' ? text.rfind(separator) : std::string::npos;
        if (last == std::string::npos) {
            mNameSpace.clear();
        } else {
            std::string nameSpace = text.substr(0, last);
            text = text.substr(last + 1);
            mNameSpace = ReplaceCharactersText(nameSpace, replacement, true);
        }
    }
    for (char& c : text)
        if (!IsAsciiAlnum(c) && (separator == '\0' || c != separator)) c = replacement;
    return text;
}

KString KDuzRenamingStrategy::ReplaceCharacters(const KString& text, const KString& replacement,
                                                bool keepNameSpace) {
    const char with = replacement.IsEmpty() ? '_' : replacement.Buffer()[0];
    return KString(ReplaceCharactersText(text.Buffer(), with, keepNameSpace).c_str());
}

// ---- encoding and decoding -------------------------------------------------------

bool KDuzRenamingStrategy::EncodeName(KDuzObjectName& record) {
    std::string name = ConvertSymbols(record.GetCurrentName());
    if (mReplaceCharacters) name = ReplaceCharactersText(name, '_', true);
    if (mDigitPrefix && !name.empty() && IsAsciiDigit(name[0])) name.insert(0, 1, '_');
    record.SetCurrentName(name.c_str());
    bool changed = false;

    const auto exact = mUsedNames.find(name);
    UseRecord* exactRecord = exact != mUsedNames.end() ? exact->second : nullptr;

    if (!mNoCaseCheck && mClashMode != eClashNoCaseCheck && exactRecord == nullptr) {
        const auto folded = mUsedNamesFolded.find(Folded(name));
        if (folded != mUsedNamesFolded.end()) {
            const std::string& used = folded->second;
            // Bit i of "ul" marks a position where the used name is upper case
            // and this one is not, "lu" the other way round. Only positions 0
            // to 31 fit the masks; further differences keep the used name's
            // case (the equal-name pass still keeps such names apart).
            uint32_t upperLower = 0;
            uint32_t lowerUpper = 0;
            const size_t length = std::min(used.size(), name.size());
            for (size_t i = 0; i < length && i < static_cast<size_t>(kCaseMaskBits); ++i) {
                if (used[i] == name[i]) continue;
                const uint32_t bit = uint32_t{1} << i;
                if (IsAsciiUpper(used[i])) upperLower |= bit;
                else lowerUpper |= bit;
            }
            name = used + kCaseMarker;
            if (upperLower != 0) name += "ul" + std::to_string(upperLower);
            if (lowerUpper != 0) name += "lu" + std::to_string(lowerUpper);
            record.SetCurrentName(name.c_str());
            changed = true;
        }
    }

    if (mClashMode != eClashNoNumbering && exactRecord != nullptr) {
        // A count whose name is taken already (a file may hold Arm_ncl1_1
        // itself) is skipped, so that the result is unique.
        do {
            ++exactRecord->count;
            name = exactRecord->name + kEqualNameMarker + std::to_string(exactRecord->count);
        } while (mUsedNames.count(name) != 0);
        record.SetCurrentName(name.c_str());
        changed = true;
    }

    const char separator = OutSeparator();
    const size_t last = separator != '\0' ? name.rfind(separator) : std::string::npos;
    if (last != std::string::npos) record.SetExtraName(name.substr(0, last).c_str());

    RegisterUsedName(name);
    return changed;
}

bool KDuzRenamingStrategy::DecodeName(KDuzObjectName& record) {
    std::string name = ConvertSymbols(record.GetCurrentName());
    bool changed = false;
    mNameSpace.clear();

    // The count is always the end of an encoded name: only "_ncl1_" followed
    // by digits to the end is taken back, so a name that merely holds the
    // marker keeps it.
    const size_t equal = name.rfind(kEqualNameMarker);
    if (equal != std::string::npos && equal > 0 && AllDigits(name, equal + kMarkerLength, name.size())) {
        name.erase(equal);
        changed = true;
    }

    const size_t caseAt = name.rfind(kCaseMarker);
    if (caseAt != std::string::npos && caseAt > 0) {
        // Only the text after the marker is read, so that "ul" or "lu" in the
        // name itself ("Skull", "Blue") means nothing.
        size_t pos = caseAt + kMarkerLength;
        uint32_t upperLower = 0;
        uint32_t lowerUpper = 0;
        if (ReadMask(name, pos, "ul", upperLower) && ReadMask(name, pos, "lu", lowerUpper) &&
            pos == name.size()) {
            name.erase(caseAt);
            for (size_t i = 0; i < name.size() && i < static_cast<size_t>(kCaseMaskBits); ++i) {
                const uint32_t bit = uint32_t{1} << i;
                if ((upperLower & bit) != 0) name[i] = ToAsciiLower(name[i]);
                if ((lowerUpper & bit) != 0) name[i] = ToAsciiUpper(name[i]);
            }
            changed = true;
        }
    }

    if (mReplaceCharacters) name = ReplaceCharactersText(name, '_', false);

    if (mNameSpace.empty()) {
        record.SetCurrentName(name.c_str());
    } else {
        record.SetCurrentName((mNameSpace + mOutSymbol + name).c_str());
        record.SetExtraName(mNameSpace.c_str());
    }
    return changed;
}

// ---- name spaces in a hierarchy ----------------------------------------------------

std::vector<std::string> KDuzRenamingStrategy::NameSpaceComponents(const KDuzNode* node) const {
    std::vector<std::string> components;
    KStringList list;
    node->GetNameSpaceArray(OutSeparator(), list);
    for (int i = 0; i < list.Count(); ++i) components.emplace_back(list.GetStringAt(i));
    return components;
}

void KDuzRenamingStrategy::CollectAncestorNameSpaces(KDuzNode* node, KStringList& list) {
    if (node == nullptr) return;
    std::unordered_set<std::string> held;
    for (int i = 0; i < list.Count(); ++i) held.emplace(list.GetStringAt(i));
    std::unordered_set<const KDuzNode*> seen{node};
    for (KDuzNode* parent = node->GetParent(); parent != nullptr && seen.insert(parent).second;
         parent = parent->GetParent()) {
        for (const std::string& component : NameSpaceComponents(parent))
            if (held.insert(component).second) list.Append(component.c_str());
    }
}

bool KDuzRenamingStrategy::ReplaceComponentInNode(KDuzNode* node, const std::string& oldText,
                                                  const std::string& newText) {
    const char separator = OutSeparator();
    if (oldText.empty() || separator == '\0') return false;
    std::string name = node->GetName();
    // The first whole name-space component that equals oldText: a plain
    // text search would also hit parts of other components ("a" in "Bar").
    for (size_t at = name.find(oldText); at != std::string::npos; at = name.find(oldText, at + 1)) {
        const size_t end = at + oldText.size();
        if ((at == 0 || name[at - 1] == separator) && end < name.size() && name[end] == separator) {
            name.replace(at, oldText.size(), newText);
            node->SetName(name.c_str());
            node->SetNameExtra(KString(NameSpaceOf(name, separator).c_str()));
            return true;
        }
    }
    return false;
}

void KDuzRenamingStrategy::ReplaceInNodeNames(KDuzNode* node, const KString& oldText,
                                              const KString& newText) {
    const std::string from = oldText.Buffer();
    const std::string to = newText.Buffer();
    WalkSubtree(node, [&](KDuzNode* each) { ReplaceComponentInNode(each, from, to); });
}

void KDuzRenamingStrategy::ResolveNameSpaceClashes(KDuzNode* node, bool top) {
    if (node == nullptr) return;
    if (top) mUsedNameSpaces.clear();

    // The components of the ancestors of the node being visited, counted,
    // so that leaving a subtree takes its node's components out again.
    std::unordered_map<std::string, int> ancestors;
    KStringList above;
    CollectAncestorNameSpaces(node, above);
    for (int i = 0; i < above.Count(); ++i) ++ancestors[above.GetStringAt(i)];

    struct Step {
        KDuzNode* node;
        bool leave;
        std::vector<std::string> added;
    };
    std::vector<Step> stack;
    stack.push_back({node, false, {}});
    std::unordered_set<KDuzNode*> seen;
    std::vector<KDuzObject*> children;
    while (!stack.empty()) {
        Step step = std::move(stack.back());
        stack.pop_back();
        if (step.leave) {
            for (const std::string& component : step.added)
                if (--ancestors[component] == 0) ancestors.erase(component);
            continue;
        }
        KDuzNode* current = step.node;
        if (!seen.insert(current).second) continue;

        for (const std::string& component : NameSpaceComponents(current)) {
            if (ancestors.count(component) != 0) continue;
            const auto used = mUsedNameSpaces.find(component);
            if (used == mUsedNameSpaces.end()) {
                mUsedNameSpaces.emplace(component, 0);
                continue;
            }
            std::string renamed;
            do {
                ++used->second;
                renamed = component + kNameSpaceClashMarker + std::to_string(used->second);
            } while (mUsedNameSpaces.count(renamed) != 0);
            mUsedNameSpaces.emplace(renamed, 0);
            ReplaceInNodeNames(current, KString(component.c_str()), KString(renamed.c_str()));
        }

        // The children see this node's components (as they are now) as
        // their ancestors'.
        Step leave{current, true, {}};
        for (const std::string& component : NameSpaceComponents(current))
            if (ancestors[component]++ == 0) leave.added.push_back(component);
            else --ancestors[component];
        stack.push_back(std::move(leave));
        // All children in one pass: by index, each would cost the child count.
        KDuzCollectSrcObjects(current, KDuzNode::ClassId(), children);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (auto* child = dynamic_cast<KDuzNode*>(*it)) stack.push_back({child, false, {}});
    }

    if (top) mUsedNameSpaces.clear();
}

void KDuzRenamingStrategy::RemoveNameSpaceClashMarkers(KDuzNode* node) {
    const char separator = OutSeparator();
    const size_t markerLength = std::char_traits<char>::length(kNameSpaceClashMarker);
    WalkSubtree(node, [&](KDuzNode* each) {
        std::string name = each->GetName();
        bool changed = false;
        for (size_t at = name.find(kNameSpaceClashMarker); at != std::string::npos;
             at = name.find(kNameSpaceClashMarker)) {
            const size_t next = separator != '\0' ? name.find(separator, at + markerLength) : std::string::npos;
            name.erase(at, next == std::string::npos ? std::string::npos : next - at);
            changed = true;
        }
        if (!changed) return;
        each->SetName(name.c_str());
        each->SetNameExtra(KString(NameSpaceOf(name, separator).c_str()));
    });
}

}  // namespace duzsdk
