#include "service_table.h"

#include <cstdio>

#include "simulator.h"

namespace phonesim {

uint32_t ServiceCall::arg(unsigned i) {
  if (failed()) return 0;
  std::optional<uint32_t> v = sim.cpu().arg(i);
  if (!v) {
    char sp[16];
    std::snprintf(sp, sizeof sp, "0x%08X", sim.cpu().sp());
    fail(FaultKind::Memory, "argument " + std::to_string(i + 1) + " lies outside the stack (sp " + sp + ")");
    return 0;
  }
  if (i >= args_read_) {
    for (unsigned k = args_read_; k < i; ++k) read_.push_back(sim.cpu().arg(k).value_or(0));
    read_.push_back(*v);
    args_read_ = i + 1;
  }
  return *v;
}

void ServiceCall::fail(FaultKind kind, std::string what) { sim.service_fault(*this, kind, std::move(what)); }

bool ServiceCall::failed() const { return sim.halted(); }

ServiceEntry routine_entry(uint32_t number, std::string name, uint8_t argc, Returns returns, ServiceFn fn,
                           std::string value_name) {
  ServiceEntry e;
  e.number = number;
  e.name = std::move(name);
  e.argc = argc;
  e.returns = returns == Returns::Value;
  e.call = std::move(fn);
  e.value_name = std::move(value_name);
  return e;
}

ServiceEntry value_entry(uint32_t number, std::string value_name, std::function<uint32_t()> value) {
  ServiceEntry e;
  e.number = number;
  e.name = value_name;
  e.value_name = std::move(value_name);
  e.value = std::move(value);
  return e;
}

Status ServiceTable::add(ServiceEntry e) {
  if (e.number >= kCount) return Error{"service number " + std::to_string(e.number) + " is out of range"};
  if (!e.call && !e.value) return Error{"service " + e.name + " has neither a routine nor a value"};
  if (entries_[e.number]) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", e.number);
    return Error{"service " + std::string(buf) + " is already registered as " + entries_[e.number]->name};
  }
  const uint32_t n = e.number;
  entries_[n] = std::make_unique<ServiceEntry>(std::move(e));
  return {};
}

std::vector<const ServiceEntry*> ServiceTable::all() const {
  std::vector<const ServiceEntry*> out;
  for (const auto& e : entries_)
    if (e) out.push_back(e.get());
  return out;
}

}  // namespace phonesim
