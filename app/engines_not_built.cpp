#include "app/engines_not_built.h"

#include "ports/port_choice.h"

namespace setup {

namespace {
void sayNotBuilt(DialogContext& context, const char* kind) {
    // The engines' first step exists: parallel and TCP/IP printers get their port first.
    if (!choosePortBeforeInstall(context)) return;
    context.calls.statusStep(std::string("This program cannot install ") + kind + " drivers yet: \"" +
                      context.window.driverListText() + "\" was not installed on " + context.values.chosenPort + ".");
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
