#include "files/raw_data_replay_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "capture/capture_session.h"
#include "pipeline/memory_log_view.h"
#include "support/lonely_fifo.h"
#include "support/record_builder.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using test::Bytes;
using test::operator+;

struct Session {
    test::TempDir dir;
    MemoryLogView view;
    CaptureSession core{view, dir.path()};
    std::atomic<bool> stop{false};
    ReplaySessionOptions options;
    int rangeAsked = 0;

    Session() {
        ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
        std::ofstream(dir.file("defs.h")) << "#define A 1 //\"one %d\"\n#define B 2 //\"two\"\n";
        options.definitionFile = dir.file("defs.h");
        options.rawFile = dir.file("raw.log");
    }
    void writeRaw(const Bytes& bytes) {
        std::ofstream out(options.rawFile, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    void chooseRange(ReplayRangeChoice choice) {
        options.chooseRange = [this, choice](const std::string&) {
            ++rangeAsked;
            return choice;
        };
    }
    ReplayOutcome run() { return runRawDataReplay(core, options, stop); }
};

Bytes records(int count) {
    const Bytes stamp{0xEA, 0x07, 1, 2, 3, 4, 5, 0, 0};
    Bytes out;
    for (int i = 0; i < count; ++i) {
        out =
            out + stamp +
            test::buildRecord({.layout = 4, .colour = 2, .index = 1, .params = {std::uint32_t(i)}});
    }
    return out;
}

TEST(RawDataReplaySession, ToTheViewLineByLine) {
    Session s;
    s.writeRaw(records(3));
    s.options.method = ReplayMethod::ToView;
    std::string started;
    s.options.started = [&](const std::string& path) { started = path; };
    EXPECT_EQ(s.run(), ReplayOutcome::Done);
    EXPECT_EQ(started, s.options.rawFile);
    const auto lines = s.view.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, u"[R]Analyze raw file to 0 %, please wait...");
    EXPECT_EQ(lines[3].text, u"03:04:05.000  [FIL] [R] [00003] [000] [000] [00000] one 2");
    EXPECT_EQ(lines[3].colour, (Rgb{255, 0, 0}));
    EXPECT_FALSE(s.core.capture.viewInUse());
}

TEST(RawDataReplaySession, ToTheTextFileThenTheChosenRange) {
    Session s;
    s.writeRaw(records(4));
    s.chooseRange({50, 100, false});
    EXPECT_EQ(s.run(), ReplayOutcome::Done);
    EXPECT_EQ(s.rangeAsked, 1);
    // Four lines of equal length: the second half is the last two lines, uncoloured.
    const auto lines = s.view.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].text.ends_with(u"[00003] [000] [000] [00000] one 2"));
    EXPECT_EQ(lines[0].colour, (Rgb{128, 128, 128}));

    // Colour: each line printed through the console below the progress and path lines;
    // line numbers run on for the life of the view.
    s.chooseRange({0, 100, true});
    EXPECT_EQ(s.run(), ReplayOutcome::Done);
    const auto coloured = s.view.lines();
    ASSERT_EQ(coloured.size(), 6u);
    EXPECT_EQ(coloured[0].text, u"[R]Analyze raw file to 100 %, please wait...");
    EXPECT_EQ(coloured[1].text.rfind(u"[G]File path: ", 0), 0u);
    EXPECT_TRUE(coloured[1].text.ends_with(u"/_nimbrel_temp.txt"));
    EXPECT_EQ(coloured[2].colour, (Rgb{255, 0, 0}));
    EXPECT_TRUE(coloured[2].text.ends_with(u"[00005] [000] [000] [00000] one 0"));
}

TEST(RawDataReplaySession, EmptyFileMissingFileAndAViewInUse) {
    Session s;
    s.writeRaw({});
    s.chooseRange({});
    EXPECT_EQ(s.run(), ReplayOutcome::NoRecords);
    EXPECT_EQ(s.rangeAsked, 1);
    EXPECT_FALSE(s.view.hasText());  // the empty stream leaves the view empty

    // Neither a device nor a FIFO is a raw data file: the scan reads blocks at offsets and
    // needs the file's size. A FIFO is not waited for.
    test::LonelyFifo fifo(s.dir.file("fifo.log"));
    for (const std::string& path : {std::string("/dev/zero"), fifo.path()}) {
        s.view.clear();
        s.options.rawFile = path;
        EXPECT_EQ(s.run(), ReplayOutcome::Unreadable) << path;
        EXPECT_EQ(s.view.plainText(), u"[R] Fail to read raw data file \"" +
                                          std::u16string(path.begin(), path.end()) +
                                          u"\": not a regular file\n");
    }
    EXPECT_FALSE(fifo.releasedAReader()) << "the replay waited for a writer";

    s.options.rawFile = s.dir.file("missing.log");
    EXPECT_EQ(s.run(), ReplayOutcome::Missing);
    EXPECT_NE(s.view.plainText().find(u"doesn't exist."), std::u16string::npos);

    ASSERT_TRUE(s.core.capture.claimReplay());  // another replay holds the view
    EXPECT_EQ(s.run(), ReplayOutcome::ViewInUse);
    s.core.capture.endReplay();

    s.options.definitionFile = s.dir.file("none.h");
    Session fresh;
    fresh.options.definitionFile = fresh.dir.file("none.h");
    EXPECT_EQ(fresh.run(), ReplayOutcome::NoDefinitions);
}

TEST(RawDataReplaySession, StopEndsTheScanWithoutRangeDisplay) {
    Session s;
    s.writeRaw(records(50));
    s.chooseRange({});
    s.stop = true;
    EXPECT_EQ(s.run(), ReplayOutcome::Cancelled);
    EXPECT_EQ(s.rangeAsked, 0);
    EXPECT_FALSE(s.core.capture.viewInUse());
}

}  // namespace
}  // namespace nimbrel
