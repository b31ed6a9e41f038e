// The formatter's hand-off to the protocol decoders.
#include <gtest/gtest.h>

#include "pipeline/record_formatter.h"
#include "support/formatter_rig.h"
#include "support/record_builder.h"

namespace nimbrel {
namespace {

using test::buildRecord;
using test::Bytes;

constexpr char kDefinitions[] =
    "#define HCI_CMD 1355 //\"HCI command %x len %d\"\n"
    "#define HCI_EVT 1358 //\"HCI event %x\"\n"
    "#define LMP_TX 3091 //\"LMP tx %d\"\n"
    "#define LMP_TX_EXT 3092 //\"LMP tx ext %d\"\n"
    "#define LMP_RX 3093 //\"LMP rx %s\"\n";

struct Rig : test::FormatterRig {
    Rig() : FormatterRig(kDefinitions) {}
    std::u16string show(const Bytes& r) {
        view.clear();
        const RawStamp stamp{2026, 1, 1, 1, 2, 3, 4};
        formatter.formatAndShow({r.data(), checkHeader(r.data(), r.size()).layout}, &stamp);
        return view.plainText();
    }
};

Bytes wide(std::uint16_t index, std::vector<std::uint32_t> params) {
    return buildRecord({.layout = 4, .colour = 1, .index = index, .params = params});
}

TEST(RecordFormatterDecoders, DecodedPacketFollowsTheLineOnlyWithAutoParseLog) {
    Rig rig;
    const Bytes reset = wide(1355, {0x0C03, 0});
    EXPECT_EQ(rig.show(reset),
              u"01:02:03.004  [FIL] [G] [00001] [000] [000] [00000] HCI command c03 len 0\n");
    rig.toggles.setAutoParseLog(true);
    EXPECT_EQ(rig.show(reset),
              u"01:02:03.004  [FIL] [G] [00002] [000] [000] [00000] HCI command c03 len 0\n"
              u"HCI_CMD: Reset Command, opcode: 0x0C03 , len: 00 \n\t No parameters\n");
    // LMP sent with the opcode in word 1.
    std::vector<std::uint32_t> lmp(15, 0);
    lmp[1] = 37;
    lmp[8] = 0x09;
    const std::u16string text = rig.show(wide(3091, lmp));
    EXPECT_NE(text.find(u"\nsend lmp opcode: 37, name is LMP_version_req \n\t VersNr: 09"),
              std::u16string::npos);
    // The extended path on a record that is not an extended one.
    EXPECT_NE(rig.show(wide(3092, {0, 5})).find(u"\nit is not ext lmp message\n"),
              std::u16string::npos);
}

TEST(RecordFormatterDecoders, ByteParametersAndMismatchesNeverReachTheDecoders) {
    Rig rig;
    rig.toggles.setAutoParseLog(true);
    // A "%s" definition with byte parameters: the decoder is not given them.
    const std::u16string text =
        rig.show(buildRecord({.layout = 8, .colour = 1, .index = 3093, .params = {'h', 'i'}}));
    EXPECT_TRUE(text.ends_with(u"LMP rx hi\nparaWide is 1 not 4\n"))
        << std::string(text.begin(), text.end());
    // A record that does not match its definition is a parameter error, not decoded.
    const std::u16string error = rig.show(wide(1358, {}));
    EXPECT_NE(error.find(u"parameter error:"), std::u16string::npos);
    EXPECT_EQ(error.find(u"HCI_EVENT"), std::u16string::npos);
}

TEST(RecordFormatterDecoders, EmberAndFlintTogetherSkipTheFirstWordOfHciRecords) {
    Rig rig;
    rig.toggles.setAutoParseLog(true);
    rig.toggles.setEmberType(true);
    const Bytes shifted = wide(1355, {0xDEAD, 0x0C03, 0});
    EXPECT_EQ(rig.show(shifted).find(u"Reset Command"),
              std::u16string::npos);  // Ember alone: no shift
    rig.toggles.setFlintType(true);
    EXPECT_NE(rig.show(shifted).find(u"HCI_CMD: Reset Command, opcode: 0x0C03"),
              std::u16string::npos);
    // LMP records are never shifted.
    std::vector<std::uint32_t> lmp(15, 0);
    lmp[1] = 37;
    EXPECT_NE(rig.show(wide(3091, lmp)).find(u"name is LMP_version_req"), std::u16string::npos);
}

}  // namespace
}  // namespace nimbrel
