// The base of the platform's aggregation rules.
#include "platform/rule.h"

long ClRuleBase::AttachOptLink(ClOptLink*) { return 0; }
