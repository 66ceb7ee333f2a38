#include "updater/description/event_table.h"

CEventTable& CEventTable::Instance() {
  static CEventTable instance;
  return instance;
}

void CEventTable::ResetInstance() { Instance() = CEventTable(); }

CEventData* CEventTable::Find(std::string_view event_name) {
  for (std::size_t i = 0; i < kEventNames.size(); ++i)
    if (kEventNames[i] == event_name) return &events_[i];
  return nullptr;
}

const CEventData* CEventTable::Find(std::string_view event_name) const {
  return const_cast<CEventTable*>(this)->Find(event_name);
}
