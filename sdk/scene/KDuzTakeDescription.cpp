#include "sdk/scene/KDuzTakeDescription.h"

namespace duzsdk {

void KDuzTakeDescriptionArrayDeleteAll(KPointerArray<KDuzTakeDescription>& array) {
    for (int i = array.Count() - 1; i >= 0; --i) delete array[i];
    array.Empty();
}

}  // namespace duzsdk
