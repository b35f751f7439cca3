// The pages of the screenshot tool. A page joins with its header and one SHOT
// line (or an entry of its own when the creator, not the page, sets its
// pointer); the guards keep the tool building while a page does not exist yet.
// sampleFile(): a ".gx" file with a thumbnail in the sandbox's /data.
#include "tools/screenshots/pages.h"

#include "tools/RootPath.h"

std::vector<PageShot>& pageShots()
{
    static std::vector<PageShot> shots;
    return shots;
}

namespace {
[[maybe_unused]] QString sampleFile() { return rootPath("/data/Calibration cube.gx"); }
}

#if __has_include("UI/build.h")
#include "UI/build.h"
static PageShotEntry shot_build("build", [] { return Build::instBuild = static_cast<Build*>(makePage<Build>(QString())); });
#endif
#if __has_include("UI/showtfcard.h")
#include "UI/showtfcard.h"
static PageShotEntry shot_showtfcard("showtfcard", [] { return new ShowTFCard(FromMemory, nullptr); });
static PageShotEntry shot_showtfcard_usb("showtfcard_usb", [] { return new ShowTFCard(FromUsbDisk, nullptr); });
#endif
#if __has_include("UI/buildfilemanage.h")
#include "UI/buildfilemanage.h"
SHOT("buildfilemanage", BuildFileManage, sampleFile());
#endif
#if __has_include("UI/buildprint.h")
#include "UI/buildprint.h"
static PageShotEntry shot_buildprint("buildprint", [] {
    return BuildPrint::instBuildPrint = static_cast<BuildPrint*>(makePage<BuildPrint>(sampleFile()));
});
#endif
#if __has_include("UI/printctl.h")
#include "UI/printctl.h"
SHOT("printctl", PrintCtl, QString());
#endif
#if __has_include("UI/printdetail.h")
#include "UI/printdetail.h"
SHOT("printdetail", PrintDetail, QString());
#endif
#if __has_include("UI/changfilament.h")
#include "UI/changfilament.h"
SHOT("changfilament", ChangFilament, QString());
#endif
#if __has_include("UI/control.h")
#include "UI/control.h"
static PageShotEntry shot_control("control", [] { return Control::instControl = static_cast<Control*>(makePage<Control>(QString())); });
#endif
#if __has_include("UI/preheat.h")
#include "UI/preheat.h"
SHOT("preheat", Preheat, QString());
#endif
#if __has_include("UI/manual.h")
#include "UI/manual.h"
SHOT("manual", Manual, QString());
#endif
#if __has_include("UI/home.h")
#include "UI/home.h"
static PageShotEntry shot_home("home", [] { return Home::instHome = static_cast<Home*>(makePage<Home>(QString())); });
#endif
#if __has_include("UI/loadfilament.h")
#include "UI/loadfilament.h"
SHOT("loadfilament", LoadFilament, QString());
#endif
#if __has_include("UI/unloadfilament.h")
#include "UI/unloadfilament.h"
SHOT("unloadfilament", UnloadFilament, QString());
#endif
#if __has_include("UI/PlatformLevel.h")
#include "UI/PlatformLevel.h"
SHOT("platformlevel", PlatformLevel, QString());
#endif
#if __has_include("UI/ExtruderCalibration.h")
#include "UI/ExtruderCalibration.h"
SHOT("extrudercalibration", ExtruderCalibration, QString());
#endif
