// Key storage, key accessors, ordered insertion and removal, notification,
// and the whole-curve scale and copy operations of KFCurve.

#include "sdk/animation/KFCurve.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "sdk/base/KMemory.h"

namespace duzsdk {

namespace {

std::int64_t gCurveMemory = 0;

constexpr std::int16_t kDefaultWeightFixed = 3333;  // trunc(0.33333334 * 9999)

std::int16_t ToFixed(double value)
{
    // Velocities are not clamped by the curve; saturate so that an out-of-range
    // value cannot wrap into the opposite sign.
    double scaled = std::trunc(value * kFCurveFixedScale);
    if (!(scaled >= -32768.0)) scaled = -32768.0;  // also catches NaN
    if (scaled > 32767.0) scaled = 32767.0;
    return static_cast<std::int16_t>(scaled);
}

}  // namespace

void KFCurveKey::Set(std::int64_t ticks, float value, std::uint32_t interpolation, std::uint32_t tangentMode,
                     float data0, float data1)
{
    mValue = value;
    mTime = ticks;
    mFlags = (interpolation & kFCurveInterpolationAll) | (tangentMode & kFCurveTangentExtendedMask);
    mData[0] = data0;
    mData[1] = data1;
    mWeight[0] = mWeight[1] = kDefaultWeightFixed;
    mVelocity[0] = mVelocity[1] = 0;
}

void KFCurveKey::SetTCB(std::int64_t ticks, float value, float tension, float continuity, float bias)
{
    mValue = value;
    mTime = ticks;
    mFlags = kFCurveInterpolationCubic | kFCurveTangentTCB;
    mData[0] = tension;
    mData[1] = continuity;
    SetData2(bias);
    mVelocity[0] = mVelocity[1] = 0;
}

KFCurve* KFCurveCreate()
{
    return new (std::nothrow) KFCurve();
}

void KFCurveObjectDelete(KFCurve* curve)
{
    delete curve;
}

std::int64_t KFCurveGetMemoryUsage()
{
    return gCurveMemory;
}

KFCurve::KFCurve() = default;

KFCurve::~KFCurve()
{
    KeyClear();
    mNotifyEnabled = true;
    SetDeliverNow(true);
    ReportChange(kFCurveChangeDestroyed, -1);
}

// ---------------------------------------------------------------------------
// Notification

void KFCurve::ReportChange(std::uint32_t code, int index)
{
    if (!mNotifyEnabled) return;
    KFCurveChange& c = mPendingChange;
    c.mFlags |= static_cast<std::int32_t>(code);
    if (c.mFirstIndex == -1 || index < c.mFirstIndex) c.mFirstIndex = index;
    if (index > c.mLastIndex) c.mLastIndex = index;
    ++c.mCount;
    mRevision += (code & 0x100) ? 0x10000 : 1;
    if (mDeliverNow) Deliver();
}

void KFCurve::Deliver()
{
    // Copies: a callback may register or unregister while being called.
    std::vector<KFCurveCallback> callbacks = mCallbacks;
    std::vector<void*> data = mCallbackData;
    for (size_t i = 0; i < callbacks.size(); ++i) callbacks[i](this, &mPendingChange, data[i]);
    mPendingChange.Reset();
}

void KFCurve::SetDeliverNow(bool deliver)
{
    if (deliver == mDeliverNow) return;
    mDeliverNow = deliver;
    if (deliver && mPendingChange.mCount > 0) Deliver();
}

void KFCurve::CallbackRegister(KFCurveCallback callback, void* userData)
{
    mCallbacks.push_back(callback);
    mCallbackData.push_back(userData);
}

void KFCurve::CallbackUnregister(KFCurveCallback callback, void* userData)
{
    for (size_t i = mCallbacks.size(); i-- > 0;) {
        if (mCallbacks[i] == callback && mCallbackData[i] == userData) {
            mCallbacks.erase(mCallbacks.begin() + static_cast<std::ptrdiff_t>(i));
            mCallbackData.erase(mCallbackData.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void KFCurve::BeginKeyModify()
{
    ++mModifyDepth;
    SetDeliverNow(false);
}

int KFCurve::EndKeyModify()
{
    if (mModifyDepth > 1) {
        --mModifyDepth;
        return -1;
    }
    mModifyDepth = 0;
    ResetCache();
    SetDeliverNow(true);
    return 0;
}

// ---------------------------------------------------------------------------
// Curve-level settings

void KFCurve::SetDefaultValue(float value)
{
    mDefaultValue = value;
    ResetCache();
    ReportChange(kFCurveChangeDefaultValue, -1);
}

void KFCurve::SetColor(const float* rgb)
{
    if (!rgb) return;
    std::memcpy(mColor, rgb, sizeof mColor);
}

void KFCurve::SetPreExtrapolation(int mode)
{
    mPreExtrapolation = mode;
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, -1);
}

void KFCurve::SetPreExtrapolationCount(int count)
{
    mPreExtrapolationCount = count;
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, -1);
}

void KFCurve::SetPostExtrapolation(int mode)
{
    mPostExtrapolation = mode;
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, -1);
}

void KFCurve::SetPostExtrapolationCount(int count)
{
    mPostExtrapolationCount = count;
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, -1);
}

// ---------------------------------------------------------------------------
// Storage

bool KFCurve::ReserveKeys(int count)
{
    ResetCache();
    if (count < 0 || count > kFCurveMaxKeyCount) return false;
    const int keysPerStep = kKeysPerBlock * kTableStepSlots;  // 1600
    if (mKeyCapacity < count) {
        // The table grows in steps of 64 block pointers, whatever a pointer's size.
        const int slots = (count + keysPerStep - 1) / keysPerStep * kTableStepSlots;
        auto** table = static_cast<KFCurveKey**>(KMemCalloc(static_cast<size_t>(slots), sizeof(KFCurveKey*)));
        if (!table) return false;
        const int oldSlots = mKeyCapacity / kKeysPerBlock;
        if (mBlocks) {
            std::memcpy(table, mBlocks, static_cast<size_t>(oldSlots) * sizeof(KFCurveKey*));
            KMemFree(mBlocks);
            gCurveMemory -= static_cast<std::int64_t>(oldSlots) * static_cast<std::int64_t>(sizeof(KFCurveKey*));
        }
        gCurveMemory += static_cast<std::int64_t>(slots) * static_cast<std::int64_t>(sizeof(KFCurveKey*));
        mBlocks = table;
        mKeyCapacity = slots * kKeysPerBlock;
    }
    if (mBlocks && count > 0) {
        const int needBlock = (count - 1) / kKeysPerBlock;
        while (mLastBlock < needBlock) {
            void* block = KMemCalloc(1, kBlockBytes);
            if (!block) return false;
            gCurveMemory += kBlockBytes;
            mBlocks[++mLastBlock] = static_cast<KFCurveKey*>(block);
        }
    }
    return true;
}

void KFCurve::FreeBlocksAbove(int lastNeededBlock)
{
    while (mLastBlock > lastNeededBlock) {
        KMemFree(mBlocks[mLastBlock]);
        mBlocks[mLastBlock] = nullptr;
        gCurveMemory -= kBlockBytes;
        --mLastBlock;
    }
}

// Moves keys index..count-1 up by one; room for count+1 keys must exist.
void KFCurve::ShiftUp(int index)
{
    int src = mKeyCount - 1;
    int dst = mKeyCount;
    int n = mKeyCount - index;
    while (n > 0) {
        const int sOff = src % kKeysPerBlock;
        const int dOff = dst % kKeysPerBlock;
        const int run = std::min({sOff + 1, dOff + 1, n});
        std::memmove(static_cast<void*>(&mBlocks[dst / kKeysPerBlock][dOff - run + 1]), &mBlocks[src / kKeysPerBlock][sOff - run + 1],
                     static_cast<size_t>(run) * sizeof(KFCurveKey));
        src -= run;
        dst -= run;
        n -= run;
    }
}

// Moves keys first+removed..count-1 down onto first.
void KFCurve::ShiftDown(int first, int removed)
{
    int dst = first;
    int src = first + removed;
    int n = mKeyCount - src;
    while (n > 0) {
        const int sOff = src % kKeysPerBlock;
        const int dOff = dst % kKeysPerBlock;
        const int run = std::min({kKeysPerBlock - sOff, kKeysPerBlock - dOff, n});
        std::memmove(static_cast<void*>(&mBlocks[dst / kKeysPerBlock][dOff]), &mBlocks[src / kKeysPerBlock][sOff],
                     static_cast<size_t>(run) * sizeof(KFCurveKey));
        src += run;
        dst += run;
        n -= run;
    }
}

// ---------------------------------------------------------------------------
// Key reads

KFCurveKey KFCurve::KeyGet(int index) const
{
    return Valid(index) ? K(index) : KFCurveKey();
}

float KFCurve::KeyGetValue(int index) const
{
    return Valid(index) ? K(index).mValue : 0.0f;
}

KTime KFCurve::KeyGetTime(int index) const
{
    return KTime(Valid(index) ? K(index).mTime : 0);
}

std::uint32_t KFCurve::KeyGetInterpolation(int index) const
{
    return Valid(index) ? K(index).mFlags & kFCurveInterpolationAll : 0;
}

std::uint32_t KFCurve::KeyGetConstantMode(int index) const
{
    return Valid(index) ? K(index).mFlags & kFCurveConstantNext : 0;
}

std::uint32_t KFCurve::KeyGetTangentMode(int index, bool extended) const
{
    return Valid(index) ? K(index).GetTangentMode(extended) : 0;
}

std::uint32_t KFCurve::KeyGetWeightMode(int index) const
{
    return Valid(index) ? K(index).mFlags & kFCurveWeightedAll : 0;
}

std::uint32_t KFCurve::KeyGetVelocityMode(int index) const
{
    return Valid(index) ? K(index).mFlags & kFCurveVelocityAll : 0;
}

bool KFCurve::KeyIsMarked(int index) const
{
    return Valid(index) && K(index).IsMarked();
}

float KFCurve::KeyGetDataFloat(int index, int slot) const
{
    if (!Valid(index)) return 0.0f;
    const KFCurveKey& k = K(index);
    switch (slot) {
    case 0: return k.mData[0];
    case 1: return k.mData[1];
    case 2: return k.GetData2();
    default: return 0.0f;
    }
}

double KFCurve::KeyGetDataDouble(int index, int slot) const
{
    if (!Valid(index)) return 0.0;
    const KFCurveKey& k = K(index);
    switch (slot) {
    case 0: return k.mData[0];
    case 1: return k.mData[1];
    case 2: return k.mWeight[0] / kFCurveFixedScale;
    case 3: return k.mWeight[1] / kFCurveFixedScale;
    case 4: return k.mVelocity[0] / kFCurveFixedScale;
    case 5: return k.mVelocity[1] / kFCurveFixedScale;
    default: return 0.0;
    }
}

// ---------------------------------------------------------------------------
// Key writes on one key

void KFCurve::StoreDataSlot(KFCurveKey& key, int slot, double value)
{
    switch (slot) {
    case 0:
    case 1:
        key.mData[slot] = static_cast<float>(value);
        break;
    case 2:
    case 3: {
        float w = static_cast<float>(value);
        if (w > kFCurveMaxWeight) w = kFCurveMaxWeight;
        if (!(w >= kFCurveMinWeight)) w = kFCurveMinWeight;
        key.mWeight[slot - 2] = ToFixed(w);
        break;
    }
    case 4:
    case 5:
        key.mVelocity[slot - 4] = ToFixed(value);
        break;
    default:
        break;
    }
}

void KFCurve::ApplyInterpolation(KFCurveKey& key, std::uint32_t interpolation)
{
    if (!key.IsCubic() && (interpolation & kFCurveInterpolationAll) == kFCurveInterpolationCubic) {
        key.mFlags &= ~(kFCurveWeightedAll | kFCurveVelocityAll);
        key.mWeight[0] = key.mWeight[1] = kDefaultWeightFixed;
        key.mVelocity[0] = key.mVelocity[1] = 0;
    }
    key.mFlags = (key.mFlags & ~kFCurveInterpolationAll) | (interpolation & kFCurveInterpolationAll);
}

void KFCurve::KeySetValue(int index, float value)
{
    if (!Valid(index)) return;
    K(index).mValue = value;
    ResetCache();
    ReportChange(kFCurveChangeKeyValue, index);
}

void KFCurve::KeyIncValue(int index, float delta)
{
    if (!Valid(index)) return;
    K(index).mValue += delta;
    ResetCache();
    ReportChange(kFCurveChangeKeyValue, index);
}

void KFCurve::KeyMultValue(int index, float factor)
{
    if (!Valid(index)) return;
    K(index).mValue *= factor;
    ResetCache();
    ReportChange(kFCurveChangeKeyValue, index);
}

void KFCurve::KeySetTime(int index, KTime time)
{
    if (!Valid(index)) return;
    K(index).mTime = time.Get();
    ResetCache();
    ReportChange(kFCurveChangeKeyTime, index);
}

void KFCurve::KeySetInterpolation(int index, std::uint32_t interpolation)
{
    if (!Valid(index)) return;
    ApplyInterpolation(K(index), interpolation);
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, index);
}

void KFCurve::KeySetConstantMode(int index, std::uint32_t mode)
{
    if (!Valid(index)) return;
    KFCurveKey& k = K(index);
    k.mFlags = (k.mFlags & ~kFCurveConstantNext) | (mode & kFCurveConstantNext);
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, index);
}

void KFCurve::KeySetTangentMode(int index, std::uint32_t mode)
{
    if (!Valid(index)) return;
    KFCurveKey& k = K(index);
    k.mFlags = (k.mFlags & ~kFCurveTangentExtendedMask) | (mode & kFCurveTangentExtendedMask);
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, index);
}

void KFCurve::KeySetWeightMode(int index, std::uint32_t mode, std::uint32_t mask)
{
    if (!Valid(index)) return;
    KFCurveKey& k = K(index);
    const std::uint32_t m = mask & kFCurveWeightedAll;
    k.mFlags = (k.mFlags & ~m) | (mode & m);
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, index);
}

void KFCurve::KeySetVelocityMode(int index, std::uint32_t mode, std::uint32_t mask)
{
    if (!Valid(index)) return;
    KFCurveKey& k = K(index);
    const std::uint32_t m = mask & kFCurveVelocityAll;
    k.mFlags = (k.mFlags & ~m) | (mode & m);
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, index);
}

void KFCurve::KeySetBreak(int index, bool on)
{
    if (!Valid(index)) return;
    KFCurveKey& k = K(index);
    k.mFlags = on ? (k.mFlags | kFCurveTangentBreak) : (k.mFlags & ~kFCurveTangentBreak);
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, index);
}

void KFCurve::KeySetMarked(int index, bool marked)
{
    if (!Valid(index)) return;
    K(index).SetMarked(marked);
    ReportChange(kFCurveChangeKeyOther, index);
}

void KFCurve::KeySetDataDouble(int index, int slot, double value)
{
    if (!Valid(index)) return;
    StoreDataSlot(K(index), slot, value);
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, index);
}

void KFCurve::KeySetDataFloat(int index, int slot, float value)
{
    if (!Valid(index)) return;
    KFCurveKey& k = K(index);
    if (slot == 0 || slot == 1) {
        k.mData[slot] = value;
    } else if (slot == 2) {
        k.SetData2(value);
    } else {
        return;
    }
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, index);
}

void KFCurve::KeyMultDerivative(int index, float factor)
{
    if (!Valid(index)) return;
    KFCurveKey& k = K(index);
    const std::uint32_t mode = k.GetTangentMode();
    if (!k.IsCubic() || (mode != kFCurveTangentUser && mode != kFCurveTangentUserBreak)) return;
    k.mData[0] *= factor;
    k.mData[1] *= factor;
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, index);
}

// ---------------------------------------------------------------------------
// Whole-key setters

bool KFCurve::PrepareWholeKeySet(int index)
{
    // An index past the count would leave keys of unknown time in between.
    if (index < 0 || index > mKeyCount) return false;
    if (index == mKeyCount && !ReserveKeys(index + 1)) return false;
    ResetCache();
    return true;
}

void KFCurve::FinishWholeKeySet(int index, int oldCount)
{
    if (index >= oldCount) {
        mKeyCount = index + 1;
        ReportChange(kFCurveChangeKeyAdded, oldCount);
        ReportChange(kFCurveChangeKeyAdded, index);
    } else {
        ReportChange(kFCurveChangeKeyReplaced, index);
    }
}

bool KFCurve::KeySet(int index, KTime time, float value, std::uint32_t interpolation, std::uint32_t tangentMode,
                     float data0, float data1, std::uint32_t weightMode, float weightRight, float weightNextLeft,
                     float velocityRight, float velocityNextLeft)
{
    if (!PrepareWholeKeySet(index)) return false;
    KFCurveKey& k = K(index);
    if (index == mKeyCount) k = KFCurveKey();
    k.mTime = time.Get();
    k.mValue = value;
    ApplyInterpolation(k, interpolation);
    k.mFlags = (k.mFlags & ~kFCurveTangentExtendedMask) | (tangentMode & kFCurveTangentExtendedMask);
    k.mData[0] = data0;
    k.mData[1] = data1;
    k.mFlags = (k.mFlags & ~kFCurveWeightedAll) | (weightMode & kFCurveWeightedAll);
    StoreDataSlot(k, 2, weightRight);
    StoreDataSlot(k, 3, weightNextLeft);
    StoreDataSlot(k, 4, velocityRight);
    StoreDataSlot(k, 5, velocityNextLeft);
    k.mFlags &= ~kFCurveSparePair;
    FinishWholeKeySet(index, mKeyCount);
    return true;
}

bool KFCurve::KeySetTCB(int index, KTime time, float value, float tension, float continuity, float bias)
{
    if (!PrepareWholeKeySet(index)) return false;
    KFCurveKey& k = K(index);
    if (index == mKeyCount) k = KFCurveKey();
    k.mTime = time.Get();
    k.mValue = value;
    ApplyInterpolation(k, kFCurveInterpolationCubic);
    k.mFlags = (k.mFlags & ~kFCurveTangentExtendedMask) | kFCurveTangentTCB;
    // The bias occupies the weights' storage, so the key cannot stay weighted.
    k.mFlags &= ~(kFCurveWeightedAll | kFCurveSparePair);
    k.mData[0] = tension;
    k.mData[1] = continuity;
    k.SetData2(bias);
    FinishWholeKeySet(index, mKeyCount);
    return true;
}

bool KFCurve::KeySetFromKey(int index, const KFCurveKey& key)
{
    if (index < 0 || index > mKeyCount) return false;
    if (index > 0 && !(key.mTime > T(index - 1))) return false;
    if (index < mKeyCount - 1 && !(key.mTime < T(index + 1))) return false;
    if (!PrepareWholeKeySet(index)) return false;
    K(index) = key;
    FinishWholeKeySet(index, mKeyCount);
    return true;
}

bool KFCurve::KeyCopy(int index, const KFCurve& source, int sourceIndex)
{
    if (!source.Valid(sourceIndex)) return false;
    const KFCurveKey key = source.K(sourceIndex);
    return KeySetFromKey(index, key);
}

// ---------------------------------------------------------------------------
// Ordered insertion

int KFCurve::KeyAdd(KTime time, const KFCurveKey& key, int* lastIndex)
{
    if (!ReserveKeys(mKeyCount + 1)) return -1;
    ResetCache();
    const std::int64_t ticks = time.Get();
    int index = 0;
    if (mKeyCount > 0) {
        const double position = KeyFind(time, lastIndex);
        if (position >= 0.0 && position == std::floor(position)) {
            KFCurveKey replacement = key;
            replacement.mTime = ticks;
            const int existing = static_cast<int>(position);
            KeySetFromKey(existing, replacement);
            return existing;
        }
        index = static_cast<int>(std::ceil(position));
        index = std::clamp(index, 0, mKeyCount);
    }
    if (index < mKeyCount) ShiftUp(index);
    KFCurveKey& k = K(index);
    k = key;
    k.mTime = ticks;
    ++mKeyCount;
    if (lastIndex) *lastIndex = index;
    ReportChange(kFCurveChangeKeyAdded, index);
    return index;
}

int KFCurve::KeyAdd(KTime time, int* lastIndex)
{
    KFCurveKey key;
    key.Set(time.Get(), Evaluate(time, lastIndex), kFCurveInterpolationCubic, kFCurveTangentAuto);
    return KeyAdd(time, key, lastIndex);
}

int KFCurve::KeyAppendFast(KTime time, float value)
{
    if (!ReserveKeys(mKeyCount + 1)) return -1;
    const int index = mKeyCount;
    K(index).Set(time.Get(), value, kFCurveInterpolationCubic, kFCurveTangentAuto);
    ++mKeyCount;
    ResetCache();
    ++mRevision;
    return index;
}

// ---------------------------------------------------------------------------
// Removal

bool KFCurve::KeyRemove(int index)
{
    if (!Valid(index)) return false;
    BeginKeyModify();
    if (mKeyCount == 1) SetDefaultValue(V(0));
    const bool hasNext = index < mKeyCount - 1;
    KFCurveTangentInfo info;
    if (hasNext) info = KeyGetLeftTangentInfo(index + 1);
    ShiftDown(index, 1);
    --mKeyCount;
    if (hasNext) KeySetLeftTangentInfo(index, info);
    ResetCache();
    ReportChange(kFCurveChangeKeyRemoved, index);
    EndKeyModify();
    return true;
}

bool KFCurve::KeyRemove(int first, int last)
{
    if (mKeyCount == 0) return false;
    // A run outside the keys would move and free the wrong blocks.
    if (first < 0 || last >= mKeyCount || first > last) return false;
    const float firstValue = V(0);
    ResetCache();
    if (first == last) return KeyRemove(first);
    if (first == 0 && last == mKeyCount - 1) {
        KeyClear();
    } else {
        BeginKeyModify();
        const bool hasNext = last + 1 < mKeyCount;
        KFCurveTangentInfo info;
        if (hasNext) info = KeyGetLeftTangentInfo(last + 1);
        const int removed = last - first + 1;
        ShiftDown(first, removed);
        mKeyCount -= removed;
        FreeBlocksAbove((mKeyCount - 1) / kKeysPerBlock);
        if (hasNext) KeySetLeftTangentInfo(first, info);
        ReportChange(kFCurveChangeKeyRemoved, first);
        ReportChange(kFCurveChangeKeyRemoved, last);
        EndKeyModify();
    }
    if (mKeyCount == 0) SetDefaultValue(firstValue);
    return true;
}

void KFCurve::KeyRemoveBetween(KTime start, KTime stop)
{
    if (mKeyCount == 0) return;
    const double ps = KeyFind(start);
    int first = static_cast<int>(std::ceil(ps));
    if (ps >= 0.0 && ps == std::floor(ps)) ++first;
    const double pe = KeyFind(stop);
    int last = static_cast<int>(std::floor(pe));
    if (pe >= 0.0 && pe == std::floor(pe)) --last;
    first = std::max(first, 0);
    last = std::min(last, mKeyCount - 1);
    if (first <= last) KeyRemove(first, last);
}

void KFCurve::KeyClear()
{
    BeginKeyModify();
    const int oldCount = mKeyCount;
    if (mBlocks) {
        FreeBlocksAbove(-1);
        KMemFree(mBlocks);
        gCurveMemory -= static_cast<std::int64_t>(mKeyCapacity / kKeysPerBlock) *
                        static_cast<std::int64_t>(sizeof(KFCurveKey*));
        mBlocks = nullptr;
    }
    mKeyCount = 0;
    mKeyCapacity = 0;
    mLastBlock = -1;
    mLastIndex = 0;
    ResetCache();
    ReportChange(kFCurveChangeKeyRemoved, 0);
    ReportChange(kFCurveChangeKeyRemoved, oldCount);
    EndKeyModify();
}

// ---------------------------------------------------------------------------
// Whole-curve scale, copy and clone

bool KFCurve::ScaleValues(bool markedOnly, float factor)
{
    BeginKeyModify();
    ResetCache();
    if (!markedOnly) SetDefaultValue(mDefaultValue * factor);
    for (int i = 0; i < mKeyCount; ++i) {
        if (markedOnly && !K(i).IsMarked()) continue;
        KeyMultValue(i, factor);
        KeyMultDerivative(i, factor);
    }
    EndKeyModify();
    return true;
}

void KFCurve::CopyFrom(const KFCurve& source, bool withKeys)
{
    if (&source == this) return;
    BeginKeyModify();
    if (!withKeys) {
        KeyClear();
        SetDefaultValue(source.mDefaultValue);
    } else {
        if (source.mKeyCount > 0) {
            mDefaultValue = source.mDefaultValue;
        } else {
            SetDefaultValue(source.mDefaultValue);
        }
        if (ReserveKeys(source.mKeyCount)) {
            const int oldCount = mKeyCount;
            ReportChange(kFCurveChangeKeyRemoved, 0);
            ReportChange(kFCurveChangeKeyRemoved, oldCount - 1);
            mKeyCount = source.mKeyCount;
            if (mKeyCount > 0) {
                const int blocks = (mKeyCount - 1) / kKeysPerBlock + 1;
                for (int b = 0; b < blocks; ++b) std::memcpy(static_cast<void*>(mBlocks[b]), source.mBlocks[b], kBlockBytes);
                ReportChange(kFCurveChangeKeyAdded, 0);
                ReportChange(kFCurveChangeKeyAdded, mKeyCount - 1);
            }
        }
    }
    std::memcpy(mColor, source.mColor, sizeof mColor);
    mUserObject = source.mUserObject;
    mCachedTime = source.mCachedTime;
    mCachedValue = source.mCachedValue;
    mPreExtrapolation = source.mPreExtrapolation;
    mPreExtrapolationCount = source.mPreExtrapolationCount;
    mPostExtrapolation = source.mPostExtrapolation;
    mPostExtrapolationCount = source.mPostExtrapolationCount;
    ReportChange(kFCurveChangeKeyOther, -1);
    EndKeyModify();
}

KFCurve* KFCurve::Clone(KTime start, KTime stop) const
{
    KFCurve* copy = KFCurveCreate();
    if (!copy) return nullptr;
    if (start.Get() == kFCurveMinusInfiniteTicks && stop.Get() == kFCurveInfiniteTicks) {
        copy->CopyFrom(*this, true);
    } else {
        copy->mDefaultValue = mDefaultValue;
        copy->mUserObject = mUserObject;
        copy->mCachedTime = mCachedTime;
        copy->mCachedValue = mCachedValue;
        copy->mRevision = mRevision;
    }
    return copy;
}

}  // namespace duzsdk
