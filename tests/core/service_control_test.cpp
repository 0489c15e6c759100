#include <gtest/gtest.h>

#include "probe/service_control.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

struct ServiceControlTest : ::testing::Test {
    Desktop desktop;
    sim::SimService& spooler() { return desktop.machine.services["Spooler"]; }
    void control(int mode) { controlService(desktop.dialog.context(), spoolerService, mode); }
    std::vector<std::string> controls() {
        std::vector<std::string> calls;
        for (const std::string& entry : desktop.machine.log())
            if (entry == "StartService" || entry == "ControlService Stop") calls.push_back(entry);
        return calls;
    }
};

TEST_F(ServiceControlTest, StartIfStoppedStartsAStoppedServiceAndWaitsUntilItRuns) {
    spooler() = {ServiceState::Stopped, 5};
    control(serviceStartIfStopped);
    EXPECT_EQ(spooler().state, ServiceState::Running);
    EXPECT_EQ(controls(), std::vector<std::string>{"StartService"});
    EXPECT_EQ(desktop.machine.openHandles(), 0);
    EXPECT_TRUE(desktop.window.messageBoxes.empty());
}

TEST_F(ServiceControlTest, StartIfStoppedLeavesARunningServiceAlone) {
    control(serviceStartIfStopped);
    EXPECT_TRUE(controls().empty());
    EXPECT_EQ(desktop.machine.logMatching("QueryServiceStatus").size(), 1u);
}

TEST_F(ServiceControlTest, StartIfStoppedLeavesAServiceInAnyOtherStateAlone) {
    for (ServiceState state : {ServiceState::Paused, ServiceState::StartPending, ServiceState::StopPending,
                               ServiceState::PausePending, ServiceState::ContinuePending}) {
        spooler() = {state, 1000, 1000};  // a pending state that does not end meanwhile
        control(serviceStartIfStopped);
        EXPECT_TRUE(controls().empty()) << static_cast<int>(state);
    }
}

TEST_F(ServiceControlTest, RestartStopsARunningServiceThenStartsIt) {
    spooler() = {ServiceState::Running, 2, 3};
    control(serviceRestart);
    EXPECT_EQ(controls(), (std::vector<std::string>{"ControlService Stop", "StartService"}));
    EXPECT_EQ(spooler().state, ServiceState::Running);
    EXPECT_EQ(desktop.machine.openHandles(), 0);
}

TEST_F(ServiceControlTest, RestartOfAStoppedServiceOnlyStartsIt) {
    spooler() = {ServiceState::Stopped};
    control(serviceRestart);
    EXPECT_EQ(controls(), std::vector<std::string>{"StartService"});
}

TEST_F(ServiceControlTest, AServiceThatNeverStartsEndsTheWaitWithAMessage) {
    spooler() = {ServiceState::Stopped, 0, 0, false};
    control(serviceStartIfStopped);
    ASSERT_EQ(desktop.window.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.window.messageBoxes[0].text,
              "The service Spooler did not reach the state running within 30 seconds.");
    EXPECT_EQ(desktop.window.messageBoxes[0].caption, "multisetup");
    EXPECT_EQ(desktop.machine.sleptMs(), serviceWaitLimitMs);
    EXPECT_EQ(desktop.machine.openHandles(), 0);
}

TEST_F(ServiceControlTest, WithoutAdministratorRightsTheStatusIsUnknownAndNothingIsControlled) {
    desktop.machine.administrator = false;
    control(serviceRestart);
    ASSERT_EQ(desktop.window.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.window.messageBoxes[0].text, "Service status is unknown");
    EXPECT_EQ(desktop.window.messageBoxes[0].caption, "multisetup");
    EXPECT_EQ(desktop.window.messageBoxes[0].style, message_box::iconInformation);
    EXPECT_TRUE(desktop.machine.logMatching("OpenService").empty());
    EXPECT_TRUE(controls().empty());
}

TEST_F(ServiceControlTest, AFailedStatusQueryIsReportedAndTheServiceLeftAlone) {
    spooler() = {ServiceState::Stopped};
    desktop.machine.serviceQueryFails = true;
    control(serviceStartIfStopped);
    ASSERT_EQ(desktop.window.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.window.messageBoxes[0].text, "Service status is unknown");
    EXPECT_TRUE(controls().empty());
    EXPECT_EQ(desktop.machine.openHandles(), 0);
}

TEST_F(ServiceControlTest, AMissingServiceIsReportedAsUnknown) {
    desktop.machine.services.clear();
    control(serviceStartIfStopped);
    ASSERT_EQ(desktop.window.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.machine.openHandles(), 0);
}

}  // namespace
}  // namespace setup::test
