#pragma once
// The body of the codec helper program: reads its command line, limits itself, binds
// the library and answers requests (see CodecProtocol.h). The real helper
// (codec_helper_main.cpp) runs the in-process codec; tests may run a stand-in.

#include <functional>
#include <string>

#include "imaging/CodecProtocol.h"

namespace quorvane {

// Arguments given by CodecClient: --socket-fd=N --max-address-space=BYTES
// --max-cpu-seconds=N (others are ignored). `bind` binds the library and, when it
// cannot, says why in its argument. Answers the process exit code.
int RunCodecHelper(int argc, char** argv, const std::function<bool(std::string&)>& bind,
                   CodecService& service);

}  // namespace quorvane
