// Function-publishing interfaces: the base of every interface a class or object hands out by
// Interface_ID, and the descriptor through which a static interface registers with its class.
#pragma once

#include <string>

#include "platform/host/class_id.h"
#include "platform/host/param_arg.h"
#include "platform/host/wstr.h"

namespace host {

class ClassDesc;
class FPInterfaceDesc;

class BaseInterface : public MaxHeapOperators {
public:
    virtual ~BaseInterface() = default;
    virtual Interface_ID GetID();
};

class FPInterface : public BaseInterface {
public:
    /// The interface's descriptor; null for interfaces without one.
    virtual FPInterfaceDesc* GetDesc();
};

/// Describes an interface. A static interface is its own descriptor: it derives from this
/// class (through FPStaticInterface) and calls LoadDescriptor in its constructor.
class FPInterfaceDesc : public FPInterface {
public:
    FPInterfaceDesc() = default;
    FPInterfaceDesc(const FPInterfaceDesc&) = delete;
    FPInterfaceDesc& operator=(const FPInterfaceDesc&) = delete;
    /// Leaves the owner's interface list.
    ~FPInterfaceDesc() override;

    Interface_ID GetID() override { return ID; }
    FPInterfaceDesc* GetDesc() override { return this; }

    /// Arguments: interface id, internal name, description string resource, owner class
    /// descriptor, flags, then the function list ending with p_end. This host publishes no
    /// functions, so the list must be p_end alone. Registers the interface with the owner.
    /// Throws std::invalid_argument on a malformed list.
    template <class... Rest>
    void LoadDescriptor(Interface_ID id, const char16_t* internalName, StringResID description,
                        ClassDesc* owner, ULONG flags, Rest&&... rest) {
        loadDescriptor(id, internalName, description, owner, flags,
                       makeParamArgList(std::forward<Rest>(rest)...));
    }

    Interface_ID ID;
    MSTR internalName;
    StringResID descriptionRes = 0;
    ClassDesc* cd = nullptr;
    ULONG flags = 0;

private:
    friend class ClassDesc;
    void loadDescriptor(Interface_ID id, const char16_t* name, StringResID description,
                        ClassDesc* owner, ULONG interfaceFlags, const ParamArgList& functions);
};

/// A static interface: one instance, published by its class descriptor.
class FPStaticInterface : public FPInterfaceDesc {};

}  // namespace host
