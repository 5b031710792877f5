#pragma once
// The body of the codec helper program: reads its command line, limits itself, binds
// the library and answers requests (see CodecProtocol.h). The real helper
// (codec_helper_main.cpp) runs the in-process codec; tests may run a stand-in.

#include <functional>
#include <string>

#include "imaging/CodecProtocol.h"

namespace quorvane {

// Arguments given by CodecClient: --socket-fd=N --max-address-space=BYTES
// --max-cpu-seconds=N, and --sandbox-without-landlock to confine as on a kernel without
// Landlock (tests); others are ignored. With `confine` (the real helpers), after `bind`
// the helper confines itself (Sandbox.h) before it reads a request, and reads only the
// files handed to it; stand-ins in tests may leave it off. `bind` binds the library and, when it
// cannot, says why in its argument. Answers the process exit code.
int RunCodecHelper(int argc, char** argv, const std::function<bool(std::string&)>& bind,
                   CodecService& service, bool confine = false);

}  // namespace quorvane
