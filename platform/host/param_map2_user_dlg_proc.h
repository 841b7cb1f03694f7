// The plug-in's hook into a parameter map's dialog: messages of the rollout, starting with
// WM_INITDIALOG when the map is created.
#pragma once

#include "platform/host/host_types.h"
#include "platform/host/interval.h"

namespace host {

class IParamMap2;
class ReferenceTarget;

class ParamMap2UserDlgProc : public MaxHeapOperators {
public:
    virtual ~ParamMap2UserDlgProc() = default;
    /// A message for the rollout `map`; nonzero when the procedure handled it.
    virtual INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                            LPARAM lParam) = 0;
    /// The map no longer needs the procedure.
    virtual void DeleteThis() = 0;
    /// The editor moved to another object.
    virtual void SetThing(ReferenceTarget* m);
    virtual void Update(TimeValue t);
};

}  // namespace host
