#include "plugin/driver/RackForm.h"

namespace tavrel {

// This build has no window toolkit: no instrument form is created, so the
// driver reports no rack viewer.
std::unique_ptr<TRackForm> CreateHardDeviceViewerForm(com::IDispatch*, com::IDispatch*) { return nullptr; }

THostObject CreateRackView(TRackForm&) { return {}; }

} // namespace tavrel
