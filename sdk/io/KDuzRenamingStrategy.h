// The reversible renaming of object names for a file format. Encoding makes
// names legal and unique: equal names get "_ncl1_" and a count, names that
// differ only in letter case get "_ncl2_" and the case differences, and a
// name space reused by unrelated parts of a hierarchy gets "_NSclash" and a
// count. Decoding takes the first two back.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/base/KStringList.h"
#include "sdk/io/KRenamingStrategy.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace duzsdk {

class KDuzNode;

class KDuzRenamingStrategy : public KRenamingStrategy {
public:
    enum EDirection { eEncode = 0, eDecode = 1 };
    enum EClashMode { eClashAll = 0, eClashNoCaseCheck = 1, eClashNoNumbering = 2 };

    explicit KDuzRenamingStrategy(int direction = eEncode, bool parentheses = false);
    ~KDuzRenamingStrategy() override;

    // Nothing to forget here: the used names go with SetClashMode.
    void Clear() override {}
    // EncodeName or DecodeName, by the direction.
    bool Rename(KDuzObjectName& name) override;
    // Not copyable: null.
    KRenamingStrategy* Clone() override { return nullptr; }

    // The name space the last decoding split off.
    virtual KString GetNameSpace() const { return KString(mNameSpace.c_str()); }
    // The separator as it occurs in incoming names, and the one to produce.
    virtual void SetInNameSpaceSymbol(const KString& symbol);
    virtual void SetOutNameSpaceSymbol(const KString& symbol);
    virtual void SetNoCaseCheck(bool on) { mNoCaseCheck = on; }
    virtual void SetReplaceCharacters(bool on) { mReplaceCharacters = on; }
    virtual void SetDigitPrefix(bool on) { mDigitPrefix = on; }

    // Gives every name space that a node shares with a node outside its own
    // ancestry a "_NSclash" count, in the node and below it. With top set the
    // name spaces seen are forgotten before and after.
    virtual void ResolveNameSpaceClashes(KDuzNode* node, bool top);
    // Takes every "_NSclash" marker out of the names of the node and below it.
    virtual void RemoveNameSpaceClashMarkers(KDuzNode* node);
    // Appends the name-space components of the node's ancestors that the list
    // does not hold yet, the parent's first.
    virtual void CollectAncestorNameSpaces(KDuzNode* node, KStringList& list);
    // Replaces the name-space component oldText by newText in the names of
    // the node and every node below it.
    virtual void ReplaceInNodeNames(KDuzNode* node, const KString& oldText, const KString& newText);
    virtual bool EncodeName(KDuzObjectName& name);
    virtual bool DecodeName(KDuzObjectName& name);
    // Replaces every character that is neither an ASCII letter or digit nor
    // the separator by the replacement's first character. Without
    // keepNameSpace, the part up to the last separator is split off first
    // into the name space (itself cleaned the same way) and the rest returned.
    virtual KString ReplaceCharacters(const KString& text, const KString& replacement, bool keepNameSpace);

    // Changing the mode forgets the used names.
    void SetClashMode(int mode);
    int GetClashMode() const { return mClashMode; }
    int GetDirection() const { return mDirection; }
    bool GetParentheses() const { return mParentheses; }

private:
    struct UseRecord {
        std::string name;
        int count = 0;
    };

    std::string ReplaceCharactersText(std::string text, char replacement, bool keepNameSpace);
    char OutSeparator() const { return mOutSymbol.empty() ? '\0' : mOutSymbol[0]; }
    // The name with the in-symbol turned into the out-symbol.
    std::string ConvertSymbols(std::string name) const;
    void RegisterUsedName(const std::string& name);
    void ClearUsedNames();
    // Replaces the component in one node's name; false when it is not there.
    bool ReplaceComponentInNode(KDuzNode* node, const std::string& oldText, const std::string& newText);
    // The node's name-space components, last first.
    std::vector<std::string> NameSpaceComponents(const KDuzNode* node) const;

    int mDirection;
    int mClashMode = eClashAll;
    std::vector<UseRecord*> mUsedNameRecords;   // owned
    std::unordered_map<std::string, UseRecord*> mUsedNames;
    // The first used name of each lower-case form, for the case check.
    std::unordered_map<std::string, std::string> mUsedNamesFolded;
    std::unordered_map<std::string, int> mUsedNameSpaces;
    bool mParentheses;
    bool mNoCaseCheck = false;
    bool mReplaceCharacters = true;
    bool mDigitPrefix = false;
    std::string mNameSpace;
    std::string mInSymbol = ":";
    std::string mOutSymbol = ":";
};

}  // namespace duzsdk
