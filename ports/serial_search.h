#pragma once

#include <cstdint>
#include <string>

#include "context/dialog_context.h"

namespace setup {

class SerialLine;

// The main dialog's timer that drives the serial probe, and how long a port has to answer.
constexpr std::uintptr_t serialProbeTimer = 1;
constexpr std::uint32_t serialProbeMs = 700;

// Whether the spooler is restarted after parked printers were put back, so that it takes
// their ports at once; at the end of the session the next start takes them.
enum class SpoolerAfterRestore { Restart, LeaveForNextStart };

// The search for the COM port a new serial printer answers on. It probes one port at a time
// with the dialog's serial line, on the dialog's timer 1; the printers on COM ports wait on
// the parking port meanwhile. Its state lives across the timer's ticks, on the dialog thread.
class SerialSearch {
public:
    explicit SerialSearch(SerialLine& line) : line_(line) {}
    SerialSearch(const SerialSearch&) = delete;
    SerialSearch& operator=(const SerialSearch&) = delete;

    // Finds the COM port the printer answers on; may return with the probe running on timer
    // 1, whose ticks and received bytes finish the installation (Install relabelled
    // "&Finish"). It sets the final state itself.
    void start(DialogContext& context, const std::string& printerName);
    // Timer 1: the port probed has had its time.
    void tick(DialogContext& context);
    // A byte the line received on a COM port (WM_SERIAL_BYTE).
    void byte(int port);
    // However the dialog ends while the COM printers are parked: stops the probe and puts
    // each of them back on its own port, as the search's end does (the printer being
    // installed back on the port it was created on). Nothing when none is parked.
    void end(DialogContext& context, SpoolerAfterRestore spooler);

    // Whether the port being probed answered.
    bool answered() const { return answered_; }

private:
    enum class ProbeStart { Running, OpenFailed, MonitorFailed };

    ProbeStart startProbe(DialogContext& context);
    void closeLine();
    void parkComPrinters(DialogContext& context);
    void restoreComPrinters(DialogContext& context, const std::string& passOver = {});
    void keepFirstPort(DialogContext& context);
    void takeOnlyPort(DialogContext& context);
    void finishNotFound(DialogContext& context, const char* head);
    void finishFound(DialogContext& context);
    void finishExhausted(DialogContext& context);

    SerialLine& line_;
    // The printer the search is for, and the line settings it probes and writes with.
    std::string printerName_;
    SerialSettings settings_;
    // The entry of the serial port list being probed, and its COM number.
    int probeIndex_ = 0;
    int portNumber_ = 0;
    bool answered_ = false;
    // The printers the spooler listed when the search began; those on COM ports wait on the
    // parking port until parked_ is cleared.
    PrinterLists captured_;
    bool parked_ = false;
};

}  // namespace setup
