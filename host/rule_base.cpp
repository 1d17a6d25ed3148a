// The base of the platform's aggregation rules.
#include "platform/rule.h"

long ClRuleBase::AttachOptLink(ClOptLink* link) {
  m_pOptLink = link;
  return 0;
}
