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

Result<std::optional<PrinterRecord>> readPrinter(Spooler& spooler, const std::string& name) {
    Result<PrinterHandle> printer = PrinterHandle::adopt(spooler, spooler.openPrinter(name, "RAW", printerAllAccess));
    if (!printer) return std::optional<PrinterRecord>{};
    Result<PrinterRecord> settings = spooler.getPrinter(printer->get());
    if (!settings) return Result<std::optional<PrinterRecord>>::failure(settings.error());
    return std::optional<PrinterRecord>{*settings};
}

}  // namespace setup
