// The interface through which a class descriptor tells the material browser how to list it.
#pragma once

#include "platform/host/fp_interface_desc.h"
#include "platform/host/module.h"

namespace host {

inline constexpr Interface_ID IMATERIAL_BROWSER_ENTRY_INFO_INTERFACE{0x5e19378b, 0x55535e13};

class IMaterialBrowserEntryInfo : public FPInterface {
public:
    /// IMATERIAL_BROWSER_ENTRY_INFO_INTERFACE. Out of line, so the class's type information lives
    /// in the host layer alone.
    Interface_ID GetID() override;

    /// Slot 1: the entry's name, or null for the class name.
    virtual const MCHAR* GetEntryName() const = 0;
    /// Slot 2: the category path the entry is listed under ('\' separates levels).
    virtual const MCHAR* GetEntryCategory() const = 0;
    /// Slot 3: whether the entry has a thumbnail of its own.
    virtual bool HasEntryThumbnail() const = 0;
    /// Slot 4: the thumbnail, or null.
    virtual const Bitmap* GetEntryThumbnail() const = 0;
    /// Slot 5: whether the entry is hidden from the browser.
    virtual bool IsEntryHidden() const = 0;
};

}  // namespace host
