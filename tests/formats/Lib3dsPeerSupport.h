#pragma once
// Small helpers for the tests that check 3DS files against lib3ds, an
// independent 3DS library.

#include <cstdint>
#include <cstring>

#include <lib3ds/node.h>
#include <lib3ds/tracks.h>

namespace lib3dspeer {

// Colours travel as bytes: one step of 1/255.
inline constexpr float kByteStep = 1.0f / 255 + 1e-6f;

// The first entry of one of lib3ds's linked lists with this name.
template <typename N>
const N* FindByName(const N* list, const char* name)
{
    for (; list; list = list->next)
        if (std::strcmp(list->name, name) == 0)
            return list;
    return nullptr;
}

inline Lib3dsNode* PeerNode(Lib3dsNode* node, const char* name, std::uint16_t id, std::uint16_t parent)
{
    std::strcpy(node->name, name);
    node->node_id = id;
    node->parent_id = parent;
    return node;
}

inline void AddPosKey(Lib3dsLin3Track* track, int frame, float x, float y, float z)
{
    Lib3dsLin3Key* k = lib3ds_lin3_key_new();
    k->tcb.frame = frame;
    k->value[0] = x;
    k->value[1] = y;
    k->value[2] = z;
    lib3ds_lin3_track_insert(track, k);
}

}  // namespace lib3dspeer
