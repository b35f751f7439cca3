// The pages of the screenshot tool. A page joins with its header and one SHOT
// line (or an entry of its own when the creator, not the page, sets its pointer).
// sampleFile(): a ".gx" file with a thumbnail in the sandbox's /data.
#include "tools/screenshots/pages.h"

#include "UI/build.h"
#include "UI/buildfilemanage.h"
#include "UI/buildprint.h"
#include "UI/home.h"
#include "UI/showtfcard.h"
#include "tools/RootPath.h"

std::vector<PageShot>& pageShots()
{
    static std::vector<PageShot> shots;
    return shots;
}

namespace {
QString sampleFile() { return rootPath("/data/Calibration cube.gx"); }
}

static PageShotEntry shot_build("build", [] { return Build::instBuild = static_cast<Build*>(makePage<Build>(QString())); });
static PageShotEntry shot_showtfcard("showtfcard", [] { return new ShowTFCard(FromMemory, nullptr); });
static PageShotEntry shot_showtfcard_usb("showtfcard_usb", [] { return new ShowTFCard(FromUsbDisk, nullptr); });
SHOT("buildfilemanage", BuildFileManage, sampleFile());
static PageShotEntry shot_buildprint("buildprint", [] {
    return BuildPrint::instBuildPrint = static_cast<BuildPrint*>(makePage<BuildPrint>(sampleFile()));
});
static PageShotEntry shot_home("home", [] { return Home::instHome = static_cast<Home*>(makePage<Home>(QString())); });
