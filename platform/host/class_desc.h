// A class descriptor: how the host lists and creates a plug-in class and finds the interfaces
// the class publishes.
#pragma once

#include <vector>

#include "platform/host/class_id.h"
#include "platform/host/fp_interface_desc.h"
#include "platform/host/host_types.h"

namespace host {

class Module;
using HINSTANCE = const Module*;
class ReferenceTarget;

class ClassDesc : public MaxHeapOperators {
public:
    ClassDesc() = default;
    ClassDesc(const ClassDesc&) = delete;
    ClassDesc& operator=(const ClassDesc&) = delete;
    /// Detaches the interfaces still registered (they outlive nothing they point to).
    virtual ~ClassDesc();

    /// Nonzero when users may create the class.
    virtual int IsPublic() = 0;
    /// A new object of the class; `loading` says whether a scene is being loaded.
    virtual ReferenceTarget* Create(bool loading = false) = 0;
    virtual const MCHAR* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const MCHAR* Category() = 0;
    virtual const MCHAR* InternalName();
    /// The module whose resources (strings, bitmaps) the class uses; null by default.
    virtual HINSTANCE HInstance();
    /// The registered interface with this id, or null.
    virtual FPInterface* GetInterface(Interface_ID id);

    int NumInterfaces() const { return static_cast<int>(interfaces_.size()); }
    FPInterface* GetInterfaceAt(int i) const;
    void AddInterface(FPInterface* fpInterface);
    void RemoveInterface(FPInterface* fpInterface);

private:
    std::vector<FPInterface*> interfaces_;
};

}  // namespace host
