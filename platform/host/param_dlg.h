// A material's or map's parameter dialog in the material editor, as the editor drives it.
#pragma once

#include "platform/host/class_id.h"
#include "platform/host/interval.h"

namespace host {

class ReferenceTarget;

class ParamDlg : public MaxHeapOperators {
public:
    virtual ~ParamDlg() = default;
    virtual Class_ID ClassID() = 0;
    /// The editor switches the dialog to another object of the class.
    virtual void SetThing(ReferenceTarget* m) = 0;
    virtual ReferenceTarget* GetThing() = 0;
    virtual void SetTime(TimeValue t) = 0;
    virtual void ReloadDialog() = 0;
    /// Destroys the dialog and its maps.
    virtual void DeleteThis() = 0;
    virtual void ActivateDlg(bool onOff) = 0;
    virtual int FindSubTexFromHWND(HWND hwnd);
    virtual int FindSubMtlFromHWND(HWND hwnd);
};

}  // namespace host
