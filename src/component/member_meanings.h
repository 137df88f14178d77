// The meanings kept for members, by class, for the checks on them.
#pragma once

#include <string_view>
#include <vector>

namespace tarnlow {

struct MeaningKey {
  std::string_view owner;  // a class name, or "*" for every class that has the member
  std::string_view member;
};

// Every class and member a meaning is kept for, in the order they are kept.
std::vector<MeaningKey> MeaningKeys();

}  // namespace tarnlow
