#include "app/engines_not_built.h"

#include "app/main_dialog.h"

namespace setup {

namespace {
void sayNotBuilt(MainDialog& dialog, const char* kind) {
    dialog.statusStep(std::string("This program cannot install ") + kind + " drivers yet: \"" +
                      dialog.window().driverListText() + "\" was not installed.");
    dialog.window().enableInstall(true);
}
}  // namespace

void EnginesNotBuilt::installReceipt(MainDialog& dialog) {
    sayNotBuilt(dialog, "receipt printer");
}

void EnginesNotBuilt::installLabel(MainDialog& dialog) {
    sayNotBuilt(dialog, "label printer");
}

}  // namespace setup
