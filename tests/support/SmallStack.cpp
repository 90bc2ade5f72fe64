#include "support/SmallStack.h"

#include <pthread.h>

#include <algorithm>

namespace duztest {
namespace {

void* RunBody(void* body) {
    (*static_cast<const std::function<void()>*>(body))();
    return nullptr;
}

}  // namespace

bool RunOnSmallStack(std::size_t stackBytes, const std::function<void()>& body) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    const std::size_t size = std::max<std::size_t>(stackBytes, PTHREAD_STACK_MIN);
    pthread_t thread;
    const bool made = pthread_attr_setstacksize(&attributes, size) == 0 &&
                      pthread_create(&thread, &attributes, &RunBody, const_cast<std::function<void()>*>(&body)) == 0;
    pthread_attr_destroy(&attributes);
    return made && pthread_join(thread, nullptr) == 0;
}

}  // namespace duztest
