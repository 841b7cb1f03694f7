#include "platform/host/imaterial_browser_entry_info.h"

namespace host {

Interface_ID IMaterialBrowserEntryInfo::GetID() { return IMATERIAL_BROWSER_ENTRY_INFO_INTERFACE; }

}  // namespace host
