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

// A request the manager refuses never brings the state: the wait ends at once and the box
// gives the system's reason with its number.
TEST_F(ServiceControlTest, ARefusedStartEndsAtOnceWithTheSystemsReason) {
    const struct {
        std::uint32_t error;
        const char* reason;
    } refusals[] = {
        {1058, "The service cannot be started, either because it is disabled or because it has no enabled devices "
               "associated with it."},
        {1053, "The service did not respond to the start or control request in a timely fashion."},
    };
    for (const auto& refusal : refusals) {
        Desktop fresh;
        fresh.machine.services["Spooler"] = {ServiceState::Stopped};
        fresh.machine.services["Spooler"].startRefusal = refusal.error;
        EXPECT_FALSE(controlService(fresh.dialog.context(), spoolerService, serviceStartIfStopped));
        ASSERT_EQ(fresh.window.messageBoxes.size(), 1u) << refusal.error;
        EXPECT_EQ(fresh.window.messageBoxes[0].text, "The service Spooler could not be started.\r\n\r\n" +
                                                         std::string(refusal.reason) + " (error " +
                                                         std::to_string(refusal.error) + ")");
        EXPECT_EQ(fresh.window.messageBoxes[0].caption, "multisetup");
        EXPECT_EQ(fresh.machine.sleptMs(), 0u) << "no status polling after a refusal";
        EXPECT_EQ(fresh.machine.services["Spooler"].state, ServiceState::Stopped);
        EXPECT_EQ(fresh.machine.openHandles(), 0);
    }
}

TEST_F(ServiceControlTest, ARefusedStopEndsTheRestartBeforeAnyStart) {
    spooler() = {ServiceState::Running};
    spooler().stopRefusal = 1053;
    EXPECT_FALSE(controlService(desktop.dialog.context(), spoolerService, serviceRestart));
    EXPECT_EQ(controls(), std::vector<std::string>{"ControlService Stop"});
    ASSERT_EQ(desktop.window.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.window.messageBoxes[0].text.rfind("The service Spooler could not be stopped.\r\n", 0), 0u);
    EXPECT_EQ(desktop.machine.sleptMs(), 0u);
}

TEST_F(ServiceControlTest, OnlyAServiceKnownNotToGetThereCountsAsFailed) {
    spooler() = {ServiceState::Stopped, 2};
    EXPECT_TRUE(controlService(desktop.dialog.context(), spoolerService, serviceStartIfStopped));
    spooler() = {ServiceState::Stopped, 0, 0, false};
    EXPECT_FALSE(controlService(desktop.dialog.context(), spoolerService, serviceStartIfStopped)) << "out of time";
    desktop.machine.serviceQueryFails = true;
    EXPECT_TRUE(controlService(desktop.dialog.context(), spoolerService, serviceRestart))
        << "an unknown status says nothing against the service";
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
