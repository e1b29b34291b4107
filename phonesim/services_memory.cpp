// Heap services: fw_alloc, fw_free (and the free routine its value form hands out), fw_free_ram.
#include "simulator.h"

namespace phonesim {

Status register_memory_services(Simulator& sim) {
  Status s;
  if (s) s = sim.add_service(routine_entry(0x14, "fw_alloc", 1, Returns::Value, [](ServiceCall& c) {
                           const uint32_t size = c.arg(0);
                           const int image = c.sim.image_of_caller(c);
                           std::string owner = image >= 0 ? c.sim.images()[image].name : "firmware caller";
                           const uint32_t block = c.sim.heap().alloc(size, owner + " (fw_alloc)", image);
                           if (!block) c.note = "out of memory";
                           return block;
                         }));
  // The value form (fw_free_address) hands out the routine behind fw_free, which the applets
  // call with their own image block to unload themselves.
  if (s) s = sim.add_service(routine_entry(0x15, "fw_free", 1, Returns::Nothing, [](ServiceCall& c) {
                           c.sim.release_block(c, c.arg(0));
                           return 0u;
                         }, "fw_free_address"));
  if (s) s = sim.add_service(routine_entry(0x5F, "fw_free_ram", 0, Returns::Value, [](ServiceCall& c) {
                           return c.sim.free_ram();
                         }));
  return s;
}

}  // namespace phonesim
