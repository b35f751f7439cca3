#pragma once
// orlenk_ui is a static library, so the linker would drop its compiled-in
// icons: the program (and every test or tool that shows pages) calls this once,
// after creating the application object.
#include <string>

void initOrlenkResources();

// Installs the translation ":/Resource/translations/firmware_<language>" ("english"
// when empty) in place of the one installed before; false when there is none.
bool installOrlenkTranslator(const std::string& language);
