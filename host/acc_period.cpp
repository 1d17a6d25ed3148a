// Making a period calendar: the one step of it that the host database can refuse.
#include <new>

#include "host/host_db.h"
#include "platform/rule.h"

ClAccPeriod* ClAccPeriod::Create() {
  long result = 0;
  if (host::HostDb::Inst().Fault("NewPeriod", &result)) return nullptr;
  return new (std::nothrow) ClAccPeriod();
}
