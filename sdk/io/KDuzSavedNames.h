// The names of every object of an SDK manager, put back when the holder
// goes: writers cut, number and replace names for their format while they
// write, and the caller's scene must come out of an export as it went in.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sdk/object/KPlugHandle.h"

namespace duzsdk {

class KDuzSdkManager;

class KDuzSavedNames {
public:
    explicit KDuzSavedNames(KDuzSdkManager* manager);
    // Puts every changed name back; objects gone since are skipped.
    ~KDuzSavedNames();
    KDuzSavedNames(const KDuzSavedNames&) = delete;
    KDuzSavedNames& operator=(const KDuzSavedNames&) = delete;

private:
    std::vector<std::pair<HdlKObject, std::string>> mNames;
};

}  // namespace duzsdk
