#include "probe/printer_list.h"

namespace setup {

bool listPrinters(Spooler& spooler, PrinterLists& printers) {
    Result<std::vector<PrinterRecord>> found = spooler.enumPrinters(printerEnumLocalConnections);
    if (!found) return false;
    printers.names.clear();
    printers.ports.clear();
    for (const PrinterRecord& printer : *found) {
        printers.names.push_back(printer.printerName);
        printers.ports.push_back(printer.portName);
    }
    return !printers.names.empty();
}

}  // namespace setup
