// How much native stack a recursive walk over a script (parsing it, running
// it) may take. Scripts nest parentheses, signs, Not, calls, member chains
// and blocks as deep as this allows; a walk that would go further stops with
// an error instead of overflowing the stack. The budget is in bytes, not
// levels, because one level's frames differ several-fold between builds (a
// sanitizer build's are much larger) and between constructs.
#pragma once

#include <cstdint>

namespace tarnlow::script {

class StackBudget {
 public:
  // Well inside the 8 MiB a process's threads get by default, with room left
  // for the library's own calls made from the deepest level.
  static constexpr std::uintptr_t kBytes = std::uintptr_t{1} << 20;

  StackBudget() : base_(Here()) {}

  bool Exhausted() const {
    const std::uintptr_t here = Here();
    return (base_ > here ? base_ - here : here - base_) > kBytes;
  }

 private:
  // The frame's own address: a local's may live on a sanitizer's separate
  // stack of frames.
  static std::uintptr_t Here() { return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)); }

  std::uintptr_t base_;
};

}  // namespace tarnlow::script
