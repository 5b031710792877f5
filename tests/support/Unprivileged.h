#pragma once
// Running part of a test as an unprivileged user, for checks of permissions that root
// would bypass.

#include <functional>

namespace quorvane::test {

// Runs `body` in a forked child that drops to uid and gid 65534 when the tests run as
// root; answers the child's exit status (100: could not drop privileges, 101: the child
// did not exit normally).
int RunUnprivileged(const std::function<int()>& body);

}  // namespace quorvane::test
