#pragma once

#include "sdk/base/KString.h"

#include <atomic>
#include <cstdint>

namespace duzsdk {

// What a progress listener is told. The texts are valid during the call.
struct KProgressReport {
    const char* statusText;
    const char* detailText;
    // Overall completion, 0 to 100.
    float percentage;
    int value;
    int total;
    // True once, when the outermost task ends.
    bool finished;
};

// Returns false to ask the worker to stop (as RequestCancel does).
using KProgressCallback = bool (*)(const KProgressReport& report, void* data);

// Progress of long operations. The DUZ readers and writers fetch the
// process-wide object with KProgressGetGlobal, begin a task, set its total of
// steps, step after each section or take, report texts with a percentage
// within the current step, and end the task. A listener set with
// SetCallback follows the overall percentage; without one, reporting only
// records the state.
class IProgress {
public:
    // Interface ids answered by GetInterface.
    static constexpr int kObjectId = 0;
    static constexpr int kBaseObjectId = 3;
    static constexpr int kProgressId = 12;

    // The object for ids 0 and 3 (as KProgress*), this interface for id 12,
    // null otherwise.
    virtual void* GetInterface(int id) = 0;
    // Deletes the object.
    virtual void Destroy() = 0;

    virtual const char* GetStatusText() const = 0;
    virtual const char* GetDetailText() const = 0;
    virtual int GetValue() const = 0;
    virtual const char* NoText() const = 0;

    // Value 0, both cancel flags cleared, step 1, total 0.
    virtual void Reset() = 0;
    // Reports whether cancelling was requested and marks the request seen.
    virtual bool AcknowledgeCancel() = 0;
    virtual bool IsCancelAcknowledged() const = 0;
    // May be called from another thread than the worker's.
    virtual void RequestCancel() = 0;

    // Status text replaced, detail text emptied; null counts as "".
    virtual void SetStatusText(const char* text) = 0;
    virtual void ClearTexts() = 0;

    // Starts a task. Tasks nest: only the outermost one resets the progress
    // and drives the totals; a nested task's totals and steps are part of
    // the step its caller is in.
    virtual void Begin() = 0;
    // The number of steps the task will make; 0 or less when unknown.
    virtual void SetTotal(int total) = 0;
    // Advances by `count` steps, or by the step size (1) for 0 or less.
    virtual void Step(int count) = 0;
    // Texts and completion (0 to 100) of the current step. A null text
    // keeps the current one; a non-finite percentage counts as 0.
    virtual void SetStatus(const char* text, const char* detail, float percentage) = 0;
    // Ends a task; the outermost end completes the progress.
    virtual void End() = 0;

    virtual float GetPercentage() const = 0;

protected:
    ~IProgress() = default;
};

class KProgress final : public IProgress {
public:
    KProgress();
    ~KProgress();

    KProgress(const KProgress&) = delete;
    KProgress& operator=(const KProgress&) = delete;

    void* GetInterface(int id) override;
    void Destroy() override;

    const char* GetStatusText() const override { return mStatusText.Buffer(); }
    const char* GetDetailText() const override { return mDetailText.Buffer(); }
    int GetValue() const override { return mValue; }
    const char* NoText() const override { return ""; }

    void Reset() override;
    bool AcknowledgeCancel() override;
    bool IsCancelAcknowledged() const override { return mCancelAcknowledged.load(); }
    void RequestCancel() override { mCancelRequested.store(true); }

    void SetStatusText(const char* text) override;
    void ClearTexts() override;

    void Begin() override;
    void SetTotal(int total) override;
    void Step(int count) override;
    void SetStatus(const char* text, const char* detail, float percentage) override;
    void End() override;

    float GetPercentage() const override;

    // The listener; null removes it.
    void SetCallback(KProgressCallback callback, void* data);
    int GetTotal() const { return mTotal; }
    int GetDepth() const { return mDepth; }
    bool IsCancelRequested() const { return mCancelRequested.load(); }

private:
    // Tells the listener when the whole percentage or a text changed since
    // the last report, or always when forced.
    void Notify(bool force, bool finished);

    KString mName;
    KString mStatusText;
    KString mDetailText;
    int mValue = 0;
    std::atomic<bool> mCancelRequested{false};
    std::atomic<bool> mCancelAcknowledged{false};
    int mStep = 1;
    int mTotal = 0;
    // Completion of the current step, 0 to 100.
    float mStepPercentage = 0.0f;
    int mDepth = 0;

    KProgressCallback mCallback = nullptr;
    void* mCallbackData = nullptr;
    int mLastReportedWhole = -1;
    bool mTextsChanged = false;
};

// A new progress object; its IProgress interface.
IProgress* KProgressCreate();
// The process-wide progress object, created on first use. Destroying it
// makes the next call create a new one.
IProgress* KProgressGetGlobal();

}  // namespace duzsdk
