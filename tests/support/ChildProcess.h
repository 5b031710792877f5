#pragma once
// Checks that run in a child process: those about what an ordinary user cannot do
// (write into a read-only folder, read a file without permission) give up root there;
// those about something that could hang run under a time limit.

#include <functional>
#include <string>

#include "support/TestDir.h"

namespace quorvane::test {

// The user an unprivileged child runs as when the tests run as root.
inline constexpr unsigned kUnprivilegedId = 65534;

// Runs `body` in a forked child, as kUnprivilegedId when the tests run as root (as the
// caller otherwise), and answers the child's exit status: body's answer, 100 when the
// privileges could not be dropped, 101 when the child died.
int RunUnprivileged(const std::function<int()>& body);

// Runs `body` in a forked child that a SIGALRM ends after `seconds`; answers the
// child's exit status (body's answer), or 128 + the signal that ended it.
int RunWithTimeLimit(unsigned seconds, const std::function<int()>& body);

// Copies the built programs a child needs (the codec helper, and the converter when
// `withConverter`) into a folder of `dir` that an unprivileged user can reach, whatever
// folder the build sits in, and makes `dir` itself reachable. Answers the folder, or ""
// with `why` set when no such folder can be made (the caller then skips).
std::string ShareBuiltPrograms(const TestDir& dir, bool withConverter, std::string& why);

// The codec helper inside a folder made by ShareBuiltPrograms; a child sets the
// environment variable QUORVANE_CODEC_HELPER to it before its first picture.
std::string SharedCodecHelper(const std::string& folder);

}  // namespace quorvane::test
