#pragma once
// The message a page shows when it gives up on the machine, one text per cause.
#include <QString>
#include "Execute/MachineRules.h"

namespace MachineTrouble {
QString text(MachineRules::Trouble why);
}
