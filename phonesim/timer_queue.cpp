#include "timer_queue.h"

namespace phonesim {

void TimerQueue::start(uint32_t record, uint64_t due, uint32_t callback) {
  stop(record);
  ArmedTimer t{record, callback, due, next_order_++};
  by_record_[record] = t;
  by_due_[{t.due, t.order}] = record;
}

bool TimerQueue::stop(uint32_t record) {
  auto it = by_record_.find(record);
  if (it == by_record_.end()) return false;
  by_due_.erase({it->second.due, it->second.order});
  by_record_.erase(it);
  return true;
}

std::optional<ArmedTimer> TimerQueue::pop_due(uint64_t until) {
  if (by_due_.empty() || by_due_.begin()->first.first > until) return std::nullopt;
  const uint32_t record = by_due_.begin()->second;
  ArmedTimer t = by_record_.at(record);
  stop(record);
  return t;
}

std::vector<ArmedTimer> TimerQueue::armed_within(uint32_t begin, uint32_t end) const {
  std::vector<ArmedTimer> out;
  for (auto it = by_record_.lower_bound(begin); it != by_record_.end() && it->first < end; ++it)
    out.push_back(it->second);
  return out;
}

}  // namespace phonesim
