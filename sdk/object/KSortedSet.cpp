#include "sdk/object/KSortedSet.h"

namespace duzsdk {

bool KSortedSetBase::Insert(void* key) {
    KSortedSetNode* last = nullptr;
    KSortedSetNode* node = mRoot;
    int lastOrder = 0;
    while (node != nullptr) {
        last = node;
        lastOrder = mCompare(node->key, key);
        if (lastOrder < 0) {
            node = node->right;
        } else if (lastOrder == 0) {
            node->key = key;
            return false;
        } else {
            node = node->left;
        }
    }
    KSortedSetNode* added = new KSortedSetNode;
    added->key = key;
    ++mCount;
    added->parent = last;
    if (last == nullptr) {
        mRoot = added;
    } else if (lastOrder < 0) {
        last->right = added;
    } else {
        last->left = added;
    }
    Rebalance(added);
    mRoot->MakeBlack();
    return true;
}

void KSortedSetBase::Rebalance(KSortedSetNode* q) {
    for (;;) {
        KSortedSetNode* parent = q->parent;
        if (parent == nullptr) {
            q->MakeBlack();
            return;
        }
        if (parent->IsBlack()) return;
        // A red parent is never the root, so the grandparent exists.
        KSortedSetNode* grand = parent->parent;
        KSortedSetNode* uncle = (grand->left == parent) ? grand->right : grand->left;
        if (uncle != nullptr && !uncle->IsBlack()) {
            parent->MakeBlack();
            uncle->MakeBlack();
            grand->MakeRed();
            q = grand;
            continue;
        }
        if (q == parent->right && parent == grand->left) {
            RotateLeft(parent);
            q = parent;
        } else if (q == parent->left && parent == grand->right) {
            RotateRight(parent);
            q = parent;
        }
        parent = q->parent;
        grand = parent->parent;
        parent->MakeBlack();
        grand->MakeRed();
        if (q == parent->left && parent == grand->left) {
            RotateRight(grand);
        } else {
            RotateLeft(grand);
        }
        return;
    }
}

void* KSortedSetBase::Find(const void* key) const {
    const KSortedSetNode* node = mRoot;
    while (node != nullptr) {
        int order = mCompare(node->key, key);
        if (order == 0) return node->key;
        node = order < 0 ? node->right : node->left;
    }
    return nullptr;
}

void KSortedSetBase::Clear() {
    // Post-order without recursion: a degenerate input cannot exhaust the stack.
    KSortedSetNode* node = mRoot;
    while (node != nullptr) {
        if (node->left != nullptr) {
            node = node->left;
        } else if (node->right != nullptr) {
            node = node->right;
        } else {
            KSortedSetNode* parent = node->parent;
            if (parent != nullptr) {
                if (parent->left == node) parent->left = nullptr;
                else parent->right = nullptr;
            }
            delete node;
            node = parent;
        }
    }
    mRoot = nullptr;
    mCount = 0;
}

void KSortedSetBase::RotateLeft(KSortedSetNode* node) {
    KSortedSetNode* pivot = node->right;
    if (pivot == nullptr) return;
    node->right = pivot->left;
    if (pivot->left != nullptr) pivot->left->parent = node;
    pivot->parent = node->parent;
    if (node->parent == nullptr) {
        mRoot = pivot;
    } else if (node->parent->left == node) {
        node->parent->left = pivot;
    } else {
        node->parent->right = pivot;
    }
    pivot->left = node;
    node->parent = pivot;
}

void KSortedSetBase::RotateRight(KSortedSetNode* node) {
    KSortedSetNode* pivot = node->left;
    if (pivot == nullptr) return;
    node->left = pivot->right;
    if (pivot->right != nullptr) pivot->right->parent = node;
    pivot->parent = node->parent;
    if (node->parent == nullptr) {
        mRoot = pivot;
    } else if (node->parent->right == node) {
        node->parent->right = pivot;
    } else {
        node->parent->left = pivot;
    }
    pivot->right = node;
    node->parent = pivot;
}

}  // namespace duzsdk
