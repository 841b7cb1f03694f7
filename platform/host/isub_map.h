// The sub-texmap face of a material or map: the maps it exposes in slots.
#pragma once

#include "platform/host/wstr.h"

namespace host {

class ParamDlg;
class ReferenceTarget;
class Texmap;

class ISubMap {
public:
    virtual ~ISubMap() = default;
    virtual int NumSubTexmaps() { return 0; }
    virtual Texmap* GetSubTexmap(int i);
    virtual void SetSubTexmap(int i, Texmap* m);
    /// Nonzero when sub-texmap i is switched on.
    virtual int SubTexmapOn(int i);
    virtual MSTR GetSubTexmapSlotName(int i);
    virtual bool SetDlgThing(ParamDlg* dlg);
    /// The object this face belongs to.
    virtual ReferenceTarget* GetRefTarget() = 0;
};

}  // namespace host
