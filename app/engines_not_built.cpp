#include "app/engines_not_built.h"


namespace setup {

namespace {
void sayNotBuilt(DialogContext& context, const char* kind) {
    context.calls.statusStep(std::string("This program cannot install ") + kind + " drivers yet: \"" +
                      context.window.driverListText() + "\" was not installed.");
    context.window.enableInstall(true);
}
}  // namespace

void EnginesNotBuilt::installReceipt(DialogContext& context) {
    sayNotBuilt(context, "receipt printer");
}

void EnginesNotBuilt::installLabel(DialogContext& context) {
    sayNotBuilt(context, "label printer");
}

}  // namespace setup
