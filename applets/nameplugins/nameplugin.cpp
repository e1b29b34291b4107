// A task-list name plugin: an invisible process whose only trace is its display name, which
// is rewritten when the process receives message 1009 with parameter 1. The variant file
// linked beside this one decides what the name says.
#include "csm.h"
#include "name_refresh.h"

namespace {

constexpr int16_t kMsgRefreshName = 1009;
constexpr uint32_t kParamRefreshName = 1;
constexpr uint32_t kRecordSize = sizeof(CsmRecord);  // the plugins add no field

}  // namespace

CSM_SELF_UNLOAD_ROUTINE(Killer)

extern "C" {

int maincsm_onmessage(CsmRecord*, const FwMessage* msg);
void maincsm_oncreate(CsmRecord*);
void maincsm_onclose(CsmRecord*);

extern constinit const MainCsm MAINCSM =
    make_main_csm(maincsm_onmessage, maincsm_oncreate, maincsm_onclose, kRecordSize);

int maincsm_onmessage(CsmRecord*, const FwMessage* msg) {
  if (msg->code == kMsgRefreshName && msg->param == kParamRefreshName)
    refresh_name(csm_name(MAINCSM));
  return 0;
}

void maincsm_oncreate(CsmRecord*) {}

void maincsm_onclose(CsmRecord*) { csm_close(Killer); }

}  // extern "C"

int main() {
  refresh_name(csm_name(MAINCSM));
  create_process_at_root<kRecordSize>(MAINCSM);
  return 0;
}
