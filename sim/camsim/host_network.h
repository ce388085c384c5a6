// Whether this thread's network is the host's: the simulators and the stand-in SDK library may
// then talk to loopback only.
#pragma once

namespace kestrova::camsim {

// True when the calling thread shares its network namespace with PID 1, i.e. it is on the host
// network (or that cannot be told, which is treated the same).
bool OnHostNetwork();

}  // namespace kestrova::camsim
