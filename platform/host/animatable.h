// Root of the host's object model: identity, sub-animatables and parameter blocks. Virtual
// functions are declared in the host's slot order; inherited slots have plain defaults.
#pragma once

#include "platform/host/class_id.h"
#include "platform/host/host_types.h"
#include "platform/host/wstr.h"

namespace host {

class BaseInterface;
class IParamBlock2;

/// Dimension of a sub-animatable's values; the stand-in has only the default one.
class ParamDimension {
public:
    virtual ~ParamDimension() = default;
};
extern ParamDimension* defaultDim;

class Animatable : public MaxHeapOperators {
public:
    Animatable() = default;
    Animatable(const Animatable&) = delete;
    Animatable& operator=(const Animatable&) = delete;
    virtual ~Animatable() = default;

    /// Destroys the object; the default deletes it.
    virtual void DeleteThis();
    virtual void GetClassName(MSTR& s);
    virtual SClass_ID SuperClassID();
    virtual Class_ID ClassID();
    /// Numeric interface query; null for every id by default.
    virtual void* GetInterface(ULONG id);
    /// Function-published interface query; null by default.
    virtual BaseInterface* GetInterface(Interface_ID id);
    virtual int NumSubs();
    virtual Animatable* SubAnim(int i);
    virtual MSTR SubAnimName(int i);
    virtual ParamDimension* GetParamDimension(int i);
    /// True for the object's own class id.
    virtual bool IsSubClassOf(Class_ID classID);
    virtual int NumParamBlocks();
    virtual IParamBlock2* GetParamBlock(int i);
    virtual IParamBlock2* GetParamBlockByID(BlockID id);
};

}  // namespace host
