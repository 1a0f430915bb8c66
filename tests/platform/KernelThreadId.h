#pragma once
// The operating system's id of the calling thread, asked of the system
// itself rather than of the platform layer.

namespace zk::test {

long KernelThreadId();

}  // namespace zk::test
