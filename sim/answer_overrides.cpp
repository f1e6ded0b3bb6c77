#include "lumora/sim/answer_overrides.h"

namespace lumora::sim {

void AnswerOverrides::add(CannedAnswer answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(std::move(answer));
}

void AnswerOverrides::clear() {
  std::lock_guard lock(mutex_);
  answers_.clear();
}

std::optional<CannedAnswer> AnswerOverrides::find(std::string_view target) const {
  std::lock_guard lock(mutex_);
  for (auto it = answers_.rbegin(); it != answers_.rend(); ++it) {
    if (target.find(it->needle) != std::string_view::npos) return *it;
  }
  return std::nullopt;
}

}  // namespace lumora::sim
