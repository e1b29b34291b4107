#include "trace.h"

#include <cstdio>

namespace phonesim {

void Trace::set_capacity(size_t capacity) {
  std::vector<TraceRecord> keep = last(capacity ? capacity : 1);
  capacity_ = capacity ? capacity : 1;
  ring_ = std::move(keep);
  head_ = ring_.size() % capacity_;
}

TraceRecord& Trace::push(TraceRecord r) {
  ++total_;
  r.seq = total_;
  if (!enabled_) {
    scratch_ = std::move(r);
    return scratch_;
  }
  if (ring_.size() < capacity_) {
    ring_.push_back(std::move(r));
    return ring_.back();
  }
  TraceRecord& slot = ring_[head_];
  slot = std::move(r);
  head_ = (head_ + 1) % capacity_;
  return slot;
}

TraceRecord* Trace::find(uint64_t seq) {
  if (!enabled_ || ring_.empty()) return nullptr;
  TraceRecord& direct = ring_[(seq - 1) % ring_.size()];
  if (direct.seq == seq) return &direct;
  // The ring was resized or paused since: look from the newest record back.
  for (size_t i = 0; i < ring_.size(); ++i) {
    TraceRecord& r = ring_[(head_ + ring_.size() - 1 - i) % ring_.size()];
    if (r.seq == seq) return &r;
  }
  return nullptr;
}

std::vector<TraceRecord> Trace::records() const {
  if (ring_.size() < capacity_) return ring_;
  std::vector<TraceRecord> out;
  out.reserve(ring_.size());
  for (size_t i = 0; i < ring_.size(); ++i) out.push_back(ring_[(head_ + i) % ring_.size()]);
  return out;
}

std::vector<TraceRecord> Trace::last(size_t n) const {
  std::vector<TraceRecord> all = records();
  if (all.size() > n) all.erase(all.begin(), all.end() - n);
  return all;
}

std::vector<TraceRecord> Trace::since(uint64_t seq) const {
  std::vector<TraceRecord> out;
  for (auto& r : records())
    if (r.seq > seq) out.push_back(r);
  return out;
}

void Trace::clear() {
  ring_.clear();
  head_ = 0;
}

static std::string value_text(uint32_t v) {
  char buf[24];
  if (v < 0x10000)
    std::snprintf(buf, sizeof buf, "%u", v);
  else if (v >= 0xFFFF0000u)
    std::snprintf(buf, sizeof buf, "%d", int32_t(v));
  else
    std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string format_trace_record(const TraceRecord& r) {
  char head[64];
  std::snprintf(head, sizeof head, "#%-5llu t=%-7llu ", (unsigned long long)r.seq,
                (unsigned long long)r.tick);
  std::string s = head;
  s += std::string(r.name);
  char num[16];
  std::snprintf(num, sizeof num, " [0x%X]", r.number);
  s += num;
  s += "(";
  for (int i = 0; i < r.argc && i < int(r.args.size()); ++i) {
    if (i) s += ", ";
    s += value_text(r.args[i]);
  }
  s += ")";
  if (!r.done)
    s += "  <- still running";
  else if (r.returns)
    s += " = " + value_text(r.result);
  if (r.via_routine) s += "  via firmware routine";
  if (!r.note.empty()) s += "  " + r.note;
  return s;
}

}  // namespace phonesim
