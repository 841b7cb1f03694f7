// The material editor as a parameter dialog sees it: the current time and the rollouts it shows.
#pragma once

#include <vector>

#include "platform/host/host_types.h"
#include "platform/host/interval.h"

namespace host {

class IParamMap2;

class IMtlParams : public MaxHeapOperators {
public:
    virtual ~IMtlParams() = default;
    virtual TimeValue GetTime() { return time_; }
    void SetTime(TimeValue t) { time_ = t; }
    /// The edited material changed; the headless editor counts the calls.
    virtual void MtlChanged() { ++changes_; }
    int MtlChangedCount() const { return changes_; }

    /// Rollouts shown, in the order they were added (maps add and remove themselves).
    virtual void AddRollupPage(IParamMap2* map);
    virtual void DeleteRollupPage(IParamMap2* map);
    int NumRollups() const { return static_cast<int>(rollups_.size()); }
    IParamMap2* GetRollup(int i) const;

private:
    TimeValue time_ = 0;
    int changes_ = 0;
    std::vector<IParamMap2*> rollups_;
};

}  // namespace host
