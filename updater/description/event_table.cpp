#include "updater/description/event_table.h"

#include "updater/core/overloaded.h"

CEventTable& CEventTable::Instance() {
  static CEventTable instance;
  return instance;
}

void CEventTable::ResetInstance() { Instance() = CEventTable(); }

namespace {

// The position of an event name in kEventNames, or kEventNames.size().
std::size_t IndexOf(std::string_view event_name) {
  std::size_t index = 0;
  while (index < kEventNames.size() && kEventNames[index] != event_name) ++index;
  return index;
}

}  // namespace

CEventData* CEventTable::Find(std::string_view event_name) {
  std::size_t index = IndexOf(event_name);
  return index < events_.size() ? &events_[index] : nullptr;
}

const CEventData* CEventTable::Find(std::string_view event_name) const {
  std::size_t index = IndexOf(event_name);
  return index < events_.size() ? &events_[index] : nullptr;
}

const char* EventActionTypeName(const EventAction& action) {
  return std::visit(
      Overloaded{
          [](const CEventActionRun&) { return kEventActionRun; },
          [](const CEventActionClose&) { return kEventActionClose; },
          [](const CEventActionSetMode&) { return kEventActionSetMode; },
          [](const CEventActionSkipNextTask&) { return kEventActionSkipNextTask; },
          [](const CEventActionStartNextTask&) { return kEventActionStartNextTask; },
          [](const CEventActionCloseApplication&) { return kEventActionCloseApplication; },
          [](const CEventActionShowNotifier&) { return kEventActionShowNotifier; },
      },
      action);
}
