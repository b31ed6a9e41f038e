// nimbrel-cli simulate, run as a separate process.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/serial_port.h"
#include "sim/log_generator.h"
#include "sim/raw_file_writer.h"
#include "support/child_process.h"
#include "support/sim_stream.h"

namespace nimbrel::sim {
namespace {

using test::ChildProcess;

int runCli(std::vector<std::string> args) {
    ChildProcess p(std::move(args));
    if (!p.started()) return -1;
    return p.wait(20000);
}

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> expectedStream(std::uint64_t seed, int records) {
    return test::simulatedStream(seed, static_cast<std::size_t>(records));
}

TEST(SimulateCommand, RawFileMatchesTheWriter) {
    const std::string dir = ::testing::TempDir();
    const std::string cliFile = dir + "nimbrel_cli_sim_" + std::to_string(::getpid()) + ".log";
    const std::string libFile = dir + "nimbrel_lib_sim_" + std::to_string(::getpid()) + ".log";
    ASSERT_EQ(runCli({"simulate", "--raw-file", cliFile, "--records", "500", "--seed", "77"}), 0);
    ASSERT_EQ(writeRawDataFile(libFile, 77, 500), 0);
    const std::vector<std::uint8_t> a = fileBytes(cliFile);
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, fileBytes(libFile));
    std::remove(cliFile.c_str());
    std::remove(libFile.c_str());
}

TEST(SimulateCommand, ExitCodes) {
    EXPECT_EQ(runCli({"simulate", "--help"}), 0);
    EXPECT_EQ(runCli({"simulate"}), 2);
    EXPECT_EQ(runCli({"simulate", "--raw-file", "/tmp/x.log", "--serial"}), 2);
    EXPECT_EQ(runCli({"simulate", "--raw-file", "/tmp/x.log", "--records", "many"}), 2);
    EXPECT_EQ(runCli({"simulate", "--raw-file", "/tmp/x.log", "--rate", "5"}), 2);
    EXPECT_EQ(runCli({"simulate", "--serial", "--rate", "-3"}), 2);
    EXPECT_EQ(runCli({"simulate", "--raw-file"}), 2);
    EXPECT_EQ(runCli({"simulate", "--frobnicate"}), 2);
    EXPECT_EQ(runCli({"simulate", "--raw-file", "/nonexistent-folder-nimbrel/x.log"}), 1);
    EXPECT_EQ(runCli({"simulate", "--serial", "ttyNimbrelNoSuchPort7", "--rate", "10"}), 1);
}

TEST(SimulateCommand, StreamsToANewPseudoTerminalUntilInterrupted) {
    ChildProcess sim({"simulate", "--serial", "--rate", "0", "--seed", "5"});
    ASSERT_TRUE(sim.started());
    const std::string path = sim.readLine(5000);
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << "got '" << path << "'";

    SerialPort port;
    ASSERT_TRUE(port.open(path).ok());
    const std::vector<std::uint8_t> expected = expectedStream(5, 400);
    std::vector<std::uint8_t> got;
    std::uint8_t buf[kSerialReadMax];
    while (got.size() < expected.size()) {
        const SerialReadResult r = port.read(buf, sizeof buf);
        ASSERT_EQ(r.status, SerialReadStatus::Ok);
        ASSERT_GT(r.count, 0u);
        got.insert(got.end(), buf, buf + r.count);
    }
    got.resize(expected.size());
    EXPECT_EQ(got, expected);

    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(5000), 0);
    // The simulator's end is the device going away for the reader.
    SerialReadResult r;
    do {
        r = port.read(buf, sizeof buf);
    } while (r.status == SerialReadStatus::Ok && r.count > 0);
    EXPECT_EQ(r.status, SerialReadStatus::DeviceGone);
}

TEST(SimulateCommand, LimitedStreamEndsAfterTheReaderTookEverything) {
    ChildProcess sim({"simulate", "--serial", "--rate", "500", "--records", "60", "--seed", "6"});
    ASSERT_TRUE(sim.started());
    const std::string path = sim.readLine(5000);
    ASSERT_FALSE(path.empty());
    SerialPort port;
    ASSERT_TRUE(port.open(path).ok());

    const std::vector<std::uint8_t> expected = expectedStream(6, 60);
    std::vector<std::uint8_t> got;
    std::uint8_t buf[kSerialReadMax];
    for (;;) {
        const SerialReadResult r = port.read(buf, sizeof buf);
        if (r.status != SerialReadStatus::Ok) {
            EXPECT_EQ(r.status, SerialReadStatus::DeviceGone);
            break;
        }
        got.insert(got.end(), buf, buf + r.count);
        ASSERT_LE(got.size(), expected.size());
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(sim.wait(5000), 0);
}

}  // namespace
}  // namespace nimbrel::sim
