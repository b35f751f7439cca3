#include "UI/machinetrouble.h"

#include <QCoreApplication>

namespace MachineTrouble {

// The printing page's texts: one translation for every page.
QString text(MachineRules::Trouble why)
{
    switch (why) {
    case MachineRules::Trouble::Silent:
        return QCoreApplication::translate("BuildPrint", "The printer's controller is not answering.\nPlease check the printer.");
    case MachineRules::Trouble::Unreadable:
        return QCoreApplication::translate("BuildPrint",
                                           "The printer's controller sent a reply that could not be read.\nPlease check the printer.");
    case MachineRules::Trouble::Stuck:
        break;
    }
    return QCoreApplication::translate("BuildPrint", "The printer did not finish its move.\nPlease check the printer.");
}

}
