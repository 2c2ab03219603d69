// The handle of the loaded plug-in library, stored when the library is loaded,
// for resource access by the GUI layer.
#pragma once

namespace orv::platform {

void* moduleHandle();

}  // namespace orv::platform
