#include "sdk/base/KProgress.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <mutex>
#include <new>

namespace duzsdk {

namespace {

std::mutex& GlobalLock()
{
    static std::mutex lock;
    return lock;
}

KProgress*& GlobalProgress()
{
    static KProgress* progress = nullptr;
    return progress;
}

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

float SanePercentage(float percentage)
{
    if (!std::isfinite(percentage)) {
        return 0.0f;
    }
    return std::clamp(percentage, 0.0f, 100.0f);
}

}  // namespace

KProgress::KProgress() : mName(""), mStatusText(""), mDetailText("") { Reset(); }

KProgress::~KProgress()
{
    std::lock_guard<std::mutex> guard(GlobalLock());
    if (GlobalProgress() == this) {
        GlobalProgress() = nullptr;
    }
}

void* KProgress::GetInterface(int id)
{
    switch (id) {
    case kObjectId:
    case kBaseObjectId:
        return this;
    case kProgressId:
        return static_cast<IProgress*>(this);
    default:
        return nullptr;
    }
}

void KProgress::Destroy() { delete this; }

void KProgress::Reset()
{
    mValue = 0;
    mCancelRequested.store(false);
    mCancelAcknowledged.store(false);
    mStep = 1;
    mTotal = 0;
    mStepPercentage = 0.0f;
}

bool KProgress::AcknowledgeCancel()
{
    const bool requested = mCancelRequested.load();
    // Only a request that exists can be seen.
    if (requested) {
        mCancelAcknowledged.store(true);
    }
    return requested;
}

void KProgress::SetStatusText(const char* text)
{
    text = OrEmpty(text);
    if (!mStatusText.EqualsText(text) || !mDetailText.IsEmpty()) {
        mStatusText = text;
        mDetailText = "";
        mTextsChanged = true;
    }
    Notify(false, false);
}

void KProgress::ClearTexts()
{
    mStatusText = "";
    mDetailText = "";
    mTextsChanged = true;
    Notify(false, false);
}

void KProgress::Begin()
{
    if (mDepth++ > 0) {
        return;
    }
    Reset();
    mLastReportedWhole = -1;
    Notify(true, false);
}

void KProgress::SetTotal(int total)
{
    if (mDepth > 1) {
        return;
    }
    mTotal = std::max(total, 0);
    Notify(false, false);
}

void KProgress::Step(int count)
{
    if (mDepth > 1) {
        return;
    }
    const int amount = count > 0 ? count : mStep;
    // Saturate rather than wrap on very long runs.
    mValue = mValue > INT_MAX - amount ? INT_MAX : mValue + amount;
    mStepPercentage = 0.0f;
    Notify(false, false);
}

void KProgress::SetStatus(const char* text, const char* detail, float percentage)
{
    if (text != nullptr && !mStatusText.EqualsText(text)) {
        mStatusText = text;
        mTextsChanged = true;
    }
    if (detail != nullptr && !mDetailText.EqualsText(detail)) {
        mDetailText = detail;
        mTextsChanged = true;
    }
    if (mDepth <= 1) {
        mStepPercentage = SanePercentage(percentage);
    }
    Notify(false, false);
}

void KProgress::End()
{
    if (mDepth == 0) {
        return;  // unbalanced: nothing is running
    }
    if (--mDepth > 0) {
        return;
    }
    // Ended on every path, also after a failure: the listener sees the
    // task through.
    if (mTotal > 0) {
        mValue = std::max(mValue, mTotal);
        mStepPercentage = 0.0f;
    } else {
        mStepPercentage = 100.0f;
    }
    Notify(true, true);
}

float KProgress::GetPercentage() const
{
    if (mTotal <= 0) {
        return mStepPercentage;
    }
    // The current step counts in proportion to its own completion.
    const double done = double(mValue) + double(mStepPercentage) / 100.0 * mStep;
    return static_cast<float>(std::clamp(done * 100.0 / mTotal, 0.0, 100.0));
}

void KProgress::SetCallback(KProgressCallback callback, void* data)
{
    mCallback = callback;
    mCallbackData = data;
    mLastReportedWhole = -1;
}

void KProgress::Notify(bool force, bool finished)
{
    if (mCallback == nullptr) {
        mTextsChanged = false;
        return;
    }
    const float percentage = GetPercentage();
    const int whole = static_cast<int>(percentage);
    if (!force && !mTextsChanged && whole == mLastReportedWhole) {
        return;
    }
    mLastReportedWhole = whole;
    mTextsChanged = false;
    const KProgressReport report{mStatusText.Buffer(), mDetailText.Buffer(), percentage,
                                 mValue, mTotal, finished};
    if (!mCallback(report, mCallbackData)) {
        RequestCancel();
    }
}

IProgress* KProgressCreate()
{
    auto* progress = new (std::nothrow) KProgress();
    if (progress == nullptr) {
        return nullptr;
    }
    return static_cast<IProgress*>(progress->GetInterface(IProgress::kProgressId));
}

IProgress* KProgressGetGlobal()
{
    std::lock_guard<std::mutex> guard(GlobalLock());
    KProgress*& global = GlobalProgress();
    if (global == nullptr) {
        global = new (std::nothrow) KProgress();
    }
    return global;
}

}  // namespace duzsdk
