// What the whole SDK registers once it runs: the creator of every public
// class and the built-in file formats. It sits at the top of the SDK because
// it names classes of every layer; the layers below reach it only through
// the declarations in their own headers.
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/object/KDuzClassTree.h"

namespace duzsdk {

void KDuzInstallClassCreators() {
    // One line per class that can be created, as each class lands. A class
    // without a creator makes objects of its nearest creatable ancestor.
    KDuzClassTreeSetCreator(eDuzClassTakeNodeContainer, &KDuzTakeNodeContainer::ClassCreator);
}

void KDuzRegisterBuiltinFormats(KDuzFormatRegistry& registry) {
    // Groups in this order, so format indices never change: DUZ readers
    // (setting the first DUZ reader index), then DXF, 3DS, OBJ, Collada; the
    // writers the same way. None is built yet, so the registry starts empty.
    (void)registry;
}

}  // namespace duzsdk
