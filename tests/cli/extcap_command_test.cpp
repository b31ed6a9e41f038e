// nimbrel-cli extcap as Wireshark runs it, and Wireshark's own capture through it.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "support/capture_file_reader.h"
#include "support/child_process.h"
#include "support/cli_run.h"
#include "support/fake_driver.h"
#include "support/hci_records.h"
#include "support/record_builder.h"
#include "support/sim_stream.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using test::runCli;
using test::runProgram;

const std::string kDefs = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";

// The settings of a user who stored nothing: the stored port and baud rate are the defaults.
struct FreshUser {
    test::TempDir home;
    std::vector<std::string> env{"HOME=" + home.path(), "XDG_CONFIG_HOME=" + home.file(".config"),
                                 "XDG_DATA_HOME=" + home.file(".local/share"),
                                 "NIMBREL_HOME=" + home.path()};
};

// The packets the simulator's first `records` records carry.
std::vector<test::ExpectedPacket> expectedPackets(std::uint64_t seed, std::size_t records) {
    std::vector<test::ExpectedPacket> out;
    for (const auto& r : test::simulatedRecords(seed, records)) {
        if (auto p = test::expectedHciPacket(r)) out.push_back(*p);
    }
    return out;
}

// The calls Wireshark makes, in its order: the interfaces (with its version), then for each
// interface its link type and its options; the same under the link's name.
TEST(ExtcapCommand, AnswersWiresharksCallsInTheirOrder) {
    FreshUser user;
    const auto interfaces =
        runCli({"extcap", "--extcap-interfaces", "--extcap-version=4.0"}, user.env);
    ASSERT_EQ(interfaces.code, 0) << interfaces.err;
    EXPECT_EQ(interfaces.out.rfind("extcap {version=", 0), 0u) << interfaces.out;
    for (const char* name : {"nimbrel-com", "nimbrel-filter", "nimbrel-uart"}) {
        EXPECT_NE(interfaces.out.find(std::string("interface {value=") + name + "}"),
                  std::string::npos);
        const auto dlts = runCli({"extcap", "--extcap-interface", name, "--extcap-dlts"}, user.env);
        EXPECT_EQ(dlts.code, 0);
        EXPECT_EQ(dlts.out.rfind("dlt {number=201}{name=BLUETOOTH_HCI_H4_WITH_PHDR}", 0), 0u);
        const auto config = runCli(
            {"extcap", "--extcap-interface=" + std::string(name), "--extcap-config"}, user.env);
        EXPECT_EQ(config.code, 0);
        EXPECT_NE(config.out.find("{call=--defs}"), std::string::npos) << config.out;
        EXPECT_NE(config.out.find("{call=--ember-flint}"), std::string::npos);
        const bool serial = std::string(name) == "nimbrel-com";
        EXPECT_EQ(config.out.find("{call=--port}{display=Serial port}{type=string}{required=true}"
                                  "{default=ttyUSB0}") != std::string::npos,
                  serial)
            << config.out;
        EXPECT_EQ(config.out.find("{call=--baud}{display=Baud rate}{type=unsigned}"
                                  "{range=1,4000000}{default=115200}") != std::string::npos,
                  serial);
    }

    const std::string link = user.home.file("nimbrel-extcap");
    ASSERT_EQ(::symlink(NIMBREL_CLI_PATH, link.c_str()), 0);
    EXPECT_EQ(runProgram(link, {"--extcap-interfaces"}, user.env).out, interfaces.out);

    struct Usage {
        std::vector<std::string> args;
        std::string message;
    };
    const Usage usages[] = {
        {{}, "expected --extcap-interfaces"},
        {{"--extcap-dlts"}, "--extcap-interface is required"},
        {{"--extcap-interface", "eth0", "--extcap-config"}, "unknown interface 'eth0'"},
        {{"--extcap-interface", "nimbrel-com", "--capture"}, "--capture needs --fifo PATH"},
        {{"--extcap-interfaces", "--capture"}, "choose one of"},
        {{"--extcap-interface", "nimbrel-com", "--extcap-dlts", "--frobnicate"},
         "unexpected argument '--frobnicate'"},
    };
    for (const Usage& u : usages) {
        const auto r = runProgram(link, u.args, user.env);
        EXPECT_EQ(r.code, 2) << u.message;
        EXPECT_NE(r.err.find(u.message), std::string::npos) << r.err;
    }
}

// Reads a FIFO until it holds `packets` pcap packets or the time is up.
std::vector<std::uint8_t> readFifo(int fd, std::size_t packets, int timeoutMs) {
    std::vector<std::uint8_t> bytes;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end &&
           test::readPcap(bytes).packets.size() < packets) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        std::uint8_t buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) bytes.insert(bytes.end(), buf, buf + n);
    }
    return bytes;
}

// Reads what is left in a FIFO until its writer closes it.
void drainFifo(int fd, std::vector<std::uint8_t>& bytes, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        std::uint8_t buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) return;
        if (n > 0) bytes.insert(bytes.end(), buf, buf + n);
    }
}

// A capture of the simulator's serial stream: the packets reach the FIFO in order, each
// with its direction. Both ways Wireshark ends a capture end it cleanly: the reader closes
// the FIFO, or Wireshark terminates the program, which then leaves the stream on a packet's
// end.
TEST(ExtcapCommand, WritesTheSerialPortsPacketsToTheFifoUntilWiresharkStops) {
    for (const bool terminated : {false, true}) {
        SCOPED_TRACE(terminated ? "SIGTERM" : "reader gone");
        FreshUser user;
        test::ChildProcess controller({"simulate", "--serial", "--rate", "400", "--seed", "5"});
        const std::string port = controller.readLine(5000);
        ASSERT_EQ(port.rfind("/dev/", 0), 0u) << port;
        const std::string fifo = user.home.file("fifo");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);

        test::ChildProcess extcap({"extcap", "--capture", "--extcap-interface", "nimbrel-com",
                                   "--fifo", fifo, "--port", port, "--defs", kDefs},
                                  user.env);
        std::vector<std::uint8_t> bytes = readFifo(reader, 40, 20000);
        const test::CaptureFile got = test::readPcap(bytes);
        ASSERT_TRUE(got.valid) << extcap.errText();
        EXPECT_EQ(got.linkType, 201u);
        ASSERT_GE(got.packets.size(), 40u) << extcap.errText();

        const auto expected = expectedPackets(5, 2000);
        for (std::size_t i = 0; i < 40; ++i) {
            ASSERT_LT(i, expected.size());
            EXPECT_EQ(got.packets[i].bytes, expected[i].bytes) << i;
            EXPECT_EQ(got.packets[i].flags, expected[i].command ? 0u : 1u) << i;
            EXPECT_EQ(got.packets[i].originalLength, expected[i].fullLength) << i;
        }

        if (terminated) {
            extcap.signal(SIGTERM);
            drainFifo(reader, bytes, 10000);
            EXPECT_EQ(extcap.wait(10000), 0) << extcap.errText();
            const test::CaptureFile all = test::readPcap(bytes);
            std::size_t whole = 24;
            for (const auto& p : all.packets) whole += 16 + 4 + p.bytes.size();
            EXPECT_EQ(bytes.size(), whole);
            EXPECT_GE(all.packets.size(), got.packets.size());
            ::close(reader);
        } else {
            ::close(reader);
            EXPECT_EQ(extcap.wait(10000), 0) << extcap.errText();
        }
    }
}

// A port has one owner at a time: while Nimbrel captures it, Wireshark's capture of it fails
// and says why and what to do.
TEST(ExtcapCommand, APortNimbrelCapturesIsRefusedWithTheReason) {
    FreshUser user;
    test::ChildProcess controller({"simulate", "--serial", "--rate", "400", "--seed", "5"});
    const std::string port = controller.readLine(5000);
    ASSERT_EQ(port.rfind("/dev/", 0), 0u) << port;
    test::ChildProcess nimbrel(
        {"capture", "--com", port, "--defs", kDefs, "--color", "never", "--duration", "30"},
        user.env);
    ASSERT_FALSE(nimbrel.readLine(5000).empty()) << nimbrel.errText();  // the port is open

    const std::string fifo = user.home.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const auto extcap = runCli({"extcap", "--capture", "--extcap-interface", "nimbrel-com",
                                "--fifo", fifo, "--port", port, "--defs", kDefs},
                               user.env);
    ::close(reader);
    EXPECT_EQ(extcap.code, 1) << extcap.err;
    EXPECT_NE(extcap.err.find("extcap: cannot open " + port), std::string::npos) << extcap.err;
    EXPECT_NE(extcap.err.find("the port has one owner at a time"), std::string::npos) << extcap.err;
    nimbrel.signal(SIGINT);
    EXPECT_EQ(nimbrel.wait(10000), 0) << nimbrel.errText();
}

// A driver capture whose driver stops answering, or whose driver side breaks the device
// bridge's protocol, fails with the reason when Wireshark stops it.
TEST(ExtcapCommand, AFailingDriverFailsTheCaptureWithTheReason) {
    struct Case {
        test::FakeDriver::Fault fault;
        const char* words;
    };
    const Case cases[] = {
        {test::FakeDriver::Fault::SilentReads, "nimbrel-cli: extcap: the driver did not answer"},
        {test::FakeDriver::Fault::HangsUp, "nimbrel-cli: extcap: the driver side closed the "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words);
        FreshUser user;
        test::TempDir radios;
        test::FakeDriver driver(
            {.chunks = {test::simulatedStream(3, 5)}, .fault = c.fault, .radioDir = radios.path()});
        const std::string fifo = user.home.file("fifo");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        std::vector<std::string> env = user.env;
        env.push_back("NIMBREL_BT_CLASS_DIR=" + radios.path());
        env.push_back("NIMBREL_DEVICE_DIR=" + driver.deviceFolder());
        test::ChildProcess extcap({"extcap", "--capture", "--extcap-interface", "nimbrel-filter",
                                   "--fifo", fifo, "--defs", kDefs},
                                  env);
        ASSERT_TRUE(driver.waitForRequest("read")) << extcap.errText();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        extcap.signal(SIGTERM);
        EXPECT_EQ(extcap.wait(10000), 1) << extcap.errText();
        EXPECT_NE(extcap.errText().find(c.words), std::string::npos) << extcap.errText();
        ::close(reader);
    }
}

// Wireshark's own capture program finds the interface through the link a user installs and
// captures the packets the simulator sent, with the direction it understands.
TEST(ExtcapCommand, TsharkCapturesTheSimulatorsPacketsLive) {
    if (runProgram("tshark", {"--version"}).code != 0) {
        GTEST_SKIP() << "tshark is not installed";
    }
    FreshUser user;
    // Wireshark up to 4.0 looks in its configuration folder, later ones in ~/.local/lib.
    for (const char* folder : {".config/wireshark/extcap", ".local/lib/wireshark/extcap"}) {
        std::filesystem::create_directories(user.home.file(folder));
        ASSERT_EQ(::symlink(NIMBREL_CLI_PATH, (user.home.file(folder) + "/nimbrel-extcap").c_str()),
                  0);
    }
    test::ChildProcess controller(
        {"simulate", "--serial", "--rate", "500", "--records", "300", "--seed", "7"});
    const std::string port = controller.readLine(5000);
    ASSERT_EQ(port.rfind("/dev/", 0), 0u) << port;

    // The capture ends when the simulator has sent everything and the port goes away.
    const std::string out = user.home.file("live.pcap");
    const auto tshark = runProgram(
        "tshark",
        {"-i", "nimbrel-com", "-o", "extcap.nimbrel_com.port:" + port, "-o",
         "extcap.nimbrel_com.defs:" + kDefs, "-a", "duration:30", "-F", "pcap", "-w", out},
        user.env);
    const test::CaptureFile got = test::readPcap(test::readFileBytes(out));
    const auto expected = expectedPackets(7, 300);
    ASSERT_EQ(got.packets.size(), expected.size()) << tshark.err;
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(got.packets[i].bytes, expected[i].bytes) << i;

    const auto fields = runProgram("tshark", {"-r", out, "-T", "fields", "-e", "hci_h4.direction"});
    std::istringstream lines(fields.out);
    std::size_t i = 0;
    for (std::string direction; std::getline(lines, direction); ++i) {
        ASSERT_LT(i, expected.size());
        EXPECT_EQ(direction, expected[i].command ? "0x00" : "0x01") << i;
    }
    EXPECT_EQ(i, expected.size());
}

}  // namespace
}  // namespace nimbrel
