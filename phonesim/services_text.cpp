// Wide-string services: fw_wsprintf.
//
// A wide string's body holds its length in unit 0 and the characters in units 1..n; the header's
// maximum length bounds n, so a body of max_len + 1 units always suffices.
#include <algorithm>
#include <cstring>

#include "simulator.h"
#include "wide_text.h"

namespace phonesim {

namespace {
constexpr size_t kMaxFormatBytes = 4096;
}

Status register_text_services(Simulator& sim) {
  Status s;
  if (s) s = sim.add_service(routine_entry(0x124, "fw_wsprintf", 2, Returns::Value, [](ServiceCall& c) {
                           const uint32_t ws = c.arg(0), format_at = c.arg(1);
                           uint8_t h[20];
                           if (!c.sim.read_guest(c, ws, h, sizeof h, "the wide string header")) return 0u;
                           uint32_t body;
                           uint16_t max_len;
                           std::memcpy(&body, h, 4);
                           std::memcpy(&max_len, h + 16, 2);
                           std::optional<std::string> format = c.sim.read_text(c, format_at, kMaxFormatBytes, "the format text");
                           if (!format) return 0u;

                           unsigned next = 2;
                           FormatSource src;
                           src.next_value = [&]() -> Result<uint32_t> {
                             const uint32_t v = c.arg(next++);
                             if (c.failed()) return Error{"bad value"};
                             return v;
                           };
                           src.read_text = [&](uint32_t at, size_t limit) -> Result<std::string> {
                             std::optional<std::string> t = c.sim.read_text(c, at, limit, "the %t text");
                             if (!t) return Error{"bad text"};
                             return *t;
                           };
                           Result<Formatted> f = format_wide(*format, max_len, src);
                           if (!f) return 0u;
                           std::u16string units;
                           units.reserve(f->text.size() + 1);
                           units.push_back(char16_t(f->text.size()));
                           units += f->text;
                           if (!c.sim.write_guest(c, body, units.data(), 2 * units.size(), "the wide string body")) return 0u;
                           c.note = "\"" + utf16_to_utf8(f->text) + "\"" + (f->truncated ? " (cut at the maximum length)" : "");
                           return uint32_t(f->text.size());
                         }));
  return s;
}

}  // namespace phonesim
