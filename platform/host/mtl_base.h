// Common base of materials and maps: name, G-buffer id, validity, update at a time, the editor
// dialog, and the MtlBase data a material saves inside its own chunk.
#pragma once

#include "platform/host/interval.h"
#include "platform/host/isub_map.h"
#include "platform/host/reference_target.h"

namespace host {

class IMtlParams;
class ParamDlg;

class MtlBase : public ReferenceTarget, public ISubMap {
public:
    MtlBase() = default;
    /// Copies the MtlBase data (name, G-buffer id, flags) only; references are not touched.
    /// This is the assignment a material's Clone uses.
    MtlBase& operator=(const MtlBase& other);

    const MSTR& GetName() const { return name_; }
    void SetName(const MSTR& name) { name_ = name; }
    MSTR GetFullName() { return name_; }
    int GetGBufID() const { return gbufId_; }
    void SetGBufID(int id) { gbufId_ = id; }
    ULONG GetMtlFlags() const { return mtlFlags_; }
    void SetMtlFlags(ULONG flags) { mtlFlags_ = flags; }

    /// Brings cached values up to time t and narrows `valid` to their validity.
    virtual void Update(TimeValue t, Interval& valid);
    /// Back to defaults.
    virtual void Reset();
    virtual Interval Validity(TimeValue t);
    /// The editor's parameter dialog for this object; null when it has none.
    virtual ParamDlg* CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp);
    /// Shading services the object needs itself.
    virtual ULONG LocalRequirements(int subMtlNum);
    /// Local requirements combined with those of the sub-texmaps.
    virtual ULONG Requirements(int subMtlNum);

    /// Writes the MtlBase data as chunks into the caller's open chunk.
    IOResult Save(ISave* isave) override;
    /// Reads what Save wrote; chunks it does not know are skipped.
    IOResult Load(ILoad* iload) override;

    ReferenceTarget* GetRefTarget() override { return this; }

private:
    MSTR name_;
    int gbufId_ = 0;
    ULONG mtlFlags_ = 0;
};

}  // namespace host
