#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/program_entry.h"
#include "platform/sim/sim_main_window.h"

namespace setup::test {

// The entry's host on the simulated desktop: the dialog runs on the sim's window, a user
// (if any) acts once preparation has enabled Install, and what the program tells its
// starter is kept.
struct SimProgramHost : ProgramHost {
    explicit SimProgramHost(sim::SimMainWindow& window) : simWindow(window) {}

    MainWindow& window() override { return simWindow; }
    void keepHidden() override { hidden = true; }
    std::optional<std::uint32_t> runDialog(MainWindowEvents& events) override {
        dialogEvents = &events;
        if (windowError) return windowError;
        if (beforeOpen) beforeOpen(events);
        simWindow.open(events);
        if (user) {
            EXPECT_TRUE(simWindow.waitFor([&] { return simWindow.installEnabled; }));
            user();
        }
        EXPECT_TRUE(simWindow.waitClosed(std::chrono::seconds(30))) << "the run did not end";
        if (afterClose) afterClose();
        return std::nullopt;
    }
    void tell(const std::string& text, bool boxAllowed) override { told.push_back({text, boxAllowed}); }

    sim::SimMainWindow& simWindow;
    // The window cannot be created: the error number the system gives.
    std::optional<std::uint32_t> windowError;
    std::function<void(MainWindowEvents&)> beforeOpen;
    std::function<void()> user;
    std::function<void()> afterClose;

    bool hidden = false;
    MainWindowEvents* dialogEvents = nullptr;
    struct Told {
        std::string text;
        bool boxAllowed;
    };
    std::vector<Told> told;
};

}  // namespace setup::test
