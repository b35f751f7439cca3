#include "UI/machinetrouble.h"

#include <QCoreApplication>

namespace MachineTrouble {

// The printing page's texts: one translation for every page.
QString text(MachineRules::Trouble why)
{
    return why == MachineRules::Trouble::Silent
        ? QCoreApplication::translate("BuildPrint", "The printer's controller is not answering.\nPlease check the printer.")
        : QCoreApplication::translate("BuildPrint", "The printer did not finish its move.\nPlease check the printer.");
}

}
