// What each backend provides to platform/Session.cpp: the session control and
// the elevation used until a replacement is put in place.
#pragma once

#include "platform/Session.h"

namespace Norvane::Platform {

std::shared_ptr<SessionControl> MakeSystemSessionControl();
std::shared_ptr<Elevation> MakeSystemElevation();

} // namespace Norvane::Platform
