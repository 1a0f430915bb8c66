#pragma once
// A base for classes that own something and so are neither copied nor
// assigned: `class Owner : private NonCopyable { ... };`. Moves are not
// declared either; a class that moves declares its own operations instead.
namespace zk {

class NonCopyable {
 public:
  NonCopyable(const NonCopyable&) = delete;
  NonCopyable& operator=(const NonCopyable&) = delete;

 protected:
  constexpr NonCopyable() = default;
  ~NonCopyable() = default;
};

}  // namespace zk
