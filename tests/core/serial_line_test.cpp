#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "ports/serial_line.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

struct SerialLineTest : ::testing::Test {
    TempRoot root;
    sim::SimWindows machine{root.path};
    sim::SimMainWindow window;
    sim::SimQuietEvents events{window};
    SerialLine line{machine.serial, machine};
    const std::uint8_t query[3] = {0x10, 0x04, 0x01};

    void SetUp() override { window.open(events); }
    void TearDown() override {
        onDialogThread([&] { line.Close(); });
        window.clickCloseBox();
        window.waitClosed();
    }
    void onDialogThread(const std::function<void()>& action) { window.onDialogThread(action); }
    int open(int port, std::uint32_t mask = 3, int baud = 19200) {
        int opened = 0;
        onDialogThread([&] { opened = line.Open(window, port, baud, 'N', 8, 1, mask, 512); });
        return opened;
    }
    // Opens and starts the monitor; returns once the monitor waits for line events.
    int openAndMonitor(int port, std::uint32_t mask = 3) {
        int started = 0;
        onDialogThread([&] { started = line.Open(window, port, 19200, 'N', 8, 1, mask, 512) && line.StartMonitor(); });
        std::string com = "COM" + std::to_string(port);
        if (started) {
            EXPECT_TRUE(window.waitFor([&] { return machine.serial.waiting(com); }));
        }
        return started;
    }
    std::vector<sim::SimSerialMessage> messages() {
        std::vector<sim::SimSerialMessage> copy;
        onDialogThread([&] { copy = window.serialMessages; });
        return copy;
    }
    bool waitForMessages(std::size_t count) {
        return window.waitFor([&] { return window.serialMessages.size() >= count; }, std::chrono::seconds(5));
    }
    std::vector<std::string> serialLog(const std::string& prefix) {
        std::vector<std::string> matching;
        for (const std::string& entry : machine.serial.log())
            if (entry.rfind(prefix, 0) == 0) matching.push_back(entry);
        return matching;
    }
};

TEST_F(SerialLineTest, CloseOfALineNeverOpenedChangesNothing) {
    int closed = -1;
    onDialogThread([&] { closed = line.Close(); });
    EXPECT_EQ(closed, 0);
    EXPECT_TRUE(machine.serial.log().empty());
    EXPECT_FALSE(line.hasPort());
}

TEST_F(SerialLineTest, OpeningConfiguresThePortAndAFailedOpeningHoldsNoPort) {
    machine.serial.attach("COM2", {});
    EXPECT_EQ(open(2, 3, 115200), 1);
    EXPECT_TRUE(line.hasPort());
    EXPECT_EQ(machine.serial.log(), (std::vector<std::string>{"CreateFile COM2",
                                                              "BuildCommDCB COM2 baud=115200 parity=N data=8 stop=1",
                                                              "PurgeComm COM2"}));
    EXPECT_EQ(open(9), 0) << "no device on COM9";
    EXPECT_FALSE(line.hasPort());
    EXPECT_EQ(serialLog("CloseHandle"), (std::vector<std::string>{"CloseHandle COM2"}));
    int closed = 0;
    onDialogThread([&] { closed = line.Close(); });
    EXPECT_EQ(closed, 1) << "the events of the failed opening are released";
    EXPECT_EQ(machine.serial.openObjects(), 0);
}

// The first byte after a query is the answer; what follows is read and dropped.
TEST_F(SerialLineTest, TheAnswersFirstByteReachesTheOwnerOnceAndTheRestIsDropped) {
    machine.serial.attach("COM2", sim::SimSerialDevice::answering(bytes({0x00, 0x41, 0xFF, 0x10}), 5));
    ASSERT_EQ(openAndMonitor(2), 1);
    using P = std::pair<std::uint32_t, std::uintptr_t>;
    auto seen = [&] {
        std::vector<P> got;
        for (const auto& m : messages()) {
            got.emplace_back(m.message, m.wParam);
            EXPECT_EQ(m.lParam, 2) << "every notification names the port";
        }
        return got;
    };
    for (int query = 1; query <= 2; ++query) {
        onDialogThread([&] { line.Write(this->query, 3); });
        ASSERT_TRUE(window.waitFor([&] { return machine.serial.device("COM2").bytesRead == 4u * query; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        std::vector<P> expected;
        for (int i = 0; i < query; ++i) expected.insert(expected.end(), {{0x407, 0x00}, {0x408, 0}});
        EXPECT_EQ(seen(), expected) << "query " << query;
    }
    EXPECT_EQ(line.bytesRead(), 8u);
    EXPECT_EQ(machine.serial.queued("COM2"), 0u);
}

// A device that never stops sending: the line keeps up with it, the dialog hears of it once,
// and closing does not wait for the stream to end.
TEST_F(SerialLineTest, ADeviceThatNeverStopsSendingIsReadInBlocksAndTheLineStillCloses) {
    sim::SimSerialDevice device;
    device.streamBytesPerSecond = 11520;  // 115200 baud
    machine.serial.attach("COM2", device);
    ASSERT_EQ(openAndMonitor(2), 1);
    onDialogThread([&] { line.Write(query, 3); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<sim::SimSerialMessage> seen = messages();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const auto& m) { return m.message == 0x407u; }), 1);
    // One flag notification per block read, and a block at most every 10 ms, not one per
    // byte nor per millisecond: ~5,700 bytes came in meanwhile.
    EXPECT_LT(seen.size(), 100u);
    sim::SimSerialDevice seenByDevice = machine.serial.device("COM2");
    EXPECT_EQ(seenByDevice.bytesOverrun, 0u) << "the input queue never overflowed";
    EXPECT_GT(seenByDevice.bytesSent, 4000u);
    EXPECT_GE(seenByDevice.bytesRead + 2048, seenByDevice.bytesSent);

    auto closing = std::async(std::launch::async, [&] { onDialogThread([&] { line.Close(); }); });
    ASSERT_EQ(closing.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "the close waits for the stream";
    EXPECT_EQ(machine.liveThreads(), 0);
    EXPECT_EQ(machine.serial.openObjects(), 0);
}

TEST_F(SerialLineTest, AReceivedQRaisesTheFlagEvent) {
    machine.serial.attach("COM2", {});
    ASSERT_EQ(openAndMonitor(2, comm_event::rxFlag), 1);
    machine.serial.arrive("COM2", bytes({'a'}));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(messages().empty()) << "only the flag character is watched";
    machine.serial.arrive("COM2", bytes({'q'}));
    ASSERT_TRUE(waitForMessages(1));
    std::vector<sim::SimSerialMessage> seen = messages();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, 0x408u);
}

TEST_F(SerialLineTest, AWritePurgesTheBytesNotReadYet) {
    machine.serial.attach("COM2", {});
    // Nothing watched: the bytes that arrive stay unread in the input queue.
    ASSERT_EQ(openAndMonitor(2, 0), 1);
    machine.serial.arrive("COM2", bytes({0x55, 0x66}));
    EXPECT_EQ(machine.serial.queued("COM2"), 2u);
    onDialogThread([&] { line.Write(query, 3); });
    ASSERT_TRUE(window.waitFor([&] { return !machine.serial.device("COM2").written.empty(); }));
    EXPECT_EQ(machine.serial.queued("COM2"), 0u);
    std::vector<std::string> log = machine.serial.log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "PurgeComm COM2");
    EXPECT_EQ(log.back(), "WriteFile COM2 10 04 01");
}

TEST_F(SerialLineTest, ASecondOpeningEndsTheMonitorOfTheFirst) {
    machine.serial.attach("COM2", {});
    machine.serial.attach("COM3", {});
    ASSERT_EQ(openAndMonitor(2), 1);
    EXPECT_EQ(machine.liveThreads(), 1);
    EXPECT_EQ(open(3), 1);
    EXPECT_EQ(machine.liveThreads(), 0);
    std::vector<std::string> log = machine.serial.log();
    auto closed = std::find(log.begin(), log.end(), "CloseHandle COM2");
    auto opened = std::find(log.begin(), log.end(), "CreateFile COM3");
    EXPECT_TRUE(closed < opened) << "COM2 is closed before COM3 is opened";
    EXPECT_EQ(machine.serial.openObjects(), 4) << "one port and its three events";
}

// The dialog's thread closes the line while the monitor thread waits for it to take a
// notification: the close delivers it and returns.
TEST_F(SerialLineTest, ClosingWhileTheMonitorWaitsForTheDialogDoesNotHang) {
    std::vector<std::uint8_t> answer(300, 0x33);
    machine.serial.attach("COM2", sim::SimSerialDevice::answering(answer, 1));
    ASSERT_EQ(openAndMonitor(2), 1);
    auto closing = std::async(std::launch::async, [&] {
        onDialogThread([&] {
            line.Write(query, 3);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the answer is in, the monitor sending
            line.Close();
        });
    });
    ASSERT_EQ(closing.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "the close hung";
    EXPECT_FALSE(messages().empty());
    EXPECT_EQ(machine.liveThreads(), 0);
    EXPECT_EQ(machine.serial.openObjects(), 0);
}

TEST_F(SerialLineTest, AThousandOpenWriteCloseCyclesLeaveNoHandleOrThread) {
    machine.serial.attach("COM2", sim::SimSerialDevice::answering(bytes({0x12}), 0));
    onDialogThread([&] {
        for (int cycle = 0; cycle < 1000; ++cycle) {
            ASSERT_EQ(line.Open(window, 2, 19200, 'N', 8, 1, 3, 512), 1);
            ASSERT_EQ(line.StartMonitor(), 1);
            line.Write(query, 3);
            // Every other cycle closes only once the query went out, with the answer on its way.
            if (cycle % 2 == 0) {
                auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
                while (machine.serial.device("COM2").written.size() <= static_cast<std::size_t>(cycle / 2) &&
                       std::chrono::steady_clock::now() < until)
                    std::this_thread::yield();
            }
            ASSERT_EQ(line.Close(), 1);
        }
    });
    EXPECT_EQ(machine.serial.openObjects(), 0);
    EXPECT_EQ(machine.liveThreads(), 0);
    // A close right after a write may come first: the monitor then ends without sending.
    EXPECT_GE(machine.serial.device("COM2").written.size(), 500u);
}

// Wine ends a pending event wait by itself every millisecond or two: such an end is no line
// event and brings the owner nothing.
TEST_F(SerialLineTest, WaitsEndingWithoutAnEventBringNoNotification) {
    machine.serial.attach("COM2", {});
    machine.serial.endWaitsByThemselves(true);
    ASSERT_EQ(openAndMonitor(2), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(messages().empty());
    // Every end is followed by a pause before the next wait: not hundreds a second.
    EXPECT_GT(machine.serial.emptyWaitEnds(), 5);
    EXPECT_LT(machine.serial.emptyWaitEnds(), 50);
    machine.serial.arrive("COM2", bytes({0x07}));
    ASSERT_TRUE(waitForMessages(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::vector<sim::SimSerialMessage> seen = messages();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, 0x407u);
    EXPECT_EQ(seen[0].wParam, 0x07u);
    EXPECT_EQ(seen[1].message, 0x408u);
}

TEST_F(SerialLineTest, AFailedReadIsShownWholeAndStillNotified) {
    sim::SimSerialDevice device;
    device.failReads = true;
    machine.serial.attach("COM2", device);
    const std::string longText = std::string(400, 'x') + "\xB6\xCB\xBF\xDA";
    machine.systemTexts[io_error::badCommand] = longText;
    ASSERT_EQ(openAndMonitor(2, comm_event::rxChar), 1);
    machine.serial.arrive("COM2", bytes({0x41}));
    ASSERT_TRUE(waitForMessages(1));
    std::vector<sim::SimErrorBox> boxes = machine.serial.errorBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].text, "WARNING:  ReadFile() Failed with the following error: \n" + longText + "\nPort: 2\n");
    EXPECT_EQ(boxes[0].caption, "Application Error");
    EXPECT_EQ(boxes[0].style, 0x10u);
    EXPECT_EQ(messages()[0].message, 0x407u);
}

TEST_F(SerialLineTest, ADeviceThatVanishesEndsTheWaitQuietly) {
    sim::SimSerialDevice device;
    device.vanishAfterWrite = true;
    machine.serial.attach("COM2", device);
    ASSERT_EQ(openAndMonitor(2), 1);
    onDialogThread([&] { line.Write(query, 3); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(machine.serial.errorBoxes().empty());
    int closed = 0;
    onDialogThread([&] { closed = line.Close(); });
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(machine.liveThreads(), 0);
}

}  // namespace

}  // namespace setup::test
