// LMP tables: one row per opcode with the PDU name and its content fields (label and
// number of content words). A row prints at most the content words the record carries
// (seven for a basic opcode, six for an extended one); a longer PDU ends in a note that
// stands for the rest.
//
// Names, labels and notes are kept letter for letter as users and their tools know them,
// odd spellings and spacing included: do not correct them.
#include "decoders/decoder_tables.h"

namespace nimbrel::decoding {
namespace {

// Basic opcodes; the escape opcodes 124 to 127 share one row.
// clang-format off
constexpr Entry kBasic[] = {
    row(1, "LMP_name_req"), field("name offset", 1),
    row(2, "LMP_name_res"), field("name offset", 1), field("name length", 1),
        fieldThen("name fragment", 5, "lost others"),
    row(3, "LMP_accepted"), field("op code", 1),
    row(4, "LMP_not_accepted"), field("op code", 1), field("error code", 1),
    row(5, "LMP_clkoffset_req", kNoSpaceAfterName), note("no content"),
    row(6, "LMP_clkoffset_res", kNoSpaceAfterName), field("clock offset", 2),
    row(7, "LMP_detach"), field("error code", 2),
    row(8, "LMP_in_rand"), fieldThen("random number", 7, "lost the others"),
    row(9, "LMP_comb_key"), fieldThen("random number", 7, "lost the others"),
    row(10, "LMP_unit_key"), fieldThen("key", 7, "lost the others"),
    row(11, "LMP_au_rand"), fieldThen("random number is", 7, "lost the others", kNoColon),
    row(12, "LMP_sres"), field("authentication response", 4),
    row(13, "LMP_temp_rand"), fieldThen("random number", 7, "lost the others"),
    row(14, "LMP_temp_key"), fieldThen("key", 7, "lost the others"),
    row(15, "LMP_encryption_mode_req"), field("encryption mode", 1),
    row(16, "LMP_encryption_key_size_req"), field("key size", 1),
    row(17, "LMP_start_encryption_req"), fieldThen("random number", 7, "lost the others"),
    row(18, "LMP_stop_encryption_req", kNoSpaceAfterName), note("no content"),
    row(19, "LMP_switch_req"), field("switch instant", 4),
    row(20, "LMP_hold"), field("hold time", 2), field("hold instant", 4),
    row(21, "LMP_hold_req"), field("hold time", 2), field("hold instant", 4),
    row(23, "LMP_sniff_req"), field("timing control flags", 1), field("Dsniff", 2),
        field("Tsniff", 2), field("sniff attempt", 2), note("lost others"),
    row(24, "LMP_unsniff_req", kNoSpaceAfterName), note("no content"),
    row(25, "LMP_park_req", kNoSpaceAfterName), field("timing control flags", 1), field("DB", 2),
        field("TB", 2), field("NB", 1), field("delta B", 1), note("others are lost"),
    row(27, "LMP_set_broadcast_scan_window"), field("timing control flags", 1), field("DB", 2),
        field("broadcast scan window", 2),
    row(28, "LMP_modify_beacon"), field("timing control flags", 1), field("DB", 2), field("TB", 2),
        field("NB", 1), field("delta B", 1), note("others are lost"),
    row(29, "LMP_unpark_BD_ADDR_req"), field("timing control flags", 1), field("DB", 2),
        field("LT_ADDR 1st unpark & LT_ADDR 2nd unpark", 1), note("lost others"),
    row(30, "LMP_unpark_PM_ADDR_req"), field("timing control flags", 1), field("DB", 2),
        field("LT_ADDR 1st unpark & LT_ADDR 2nd unpark", 1), field("PM_ADDR 1st unpark", 1),
        field("PM_ADDR 2nd unpark", 1), field("LT_ADDR 3rd unpark & LT_ADDR 4th unpark", 1),
        note("lost the others"),
    row(31, "LMP_incr_power_req"), field("for future use", 1),
    row(32, "LMP_decr_power_req"), field("for future use", 2),
    row(33, "LMP_max_power"), note("no content"),
    row(34, "LMP_min_power"), note("no content"),
    row(35, "LMP_auto_rate"), note("no content"),
    row(36, "LMP_preferred_rate"), field("data rate", 1),
    row(37, "LMP_version_req"), field("VersNr", 1), field("CompId", 2), field("SubVersNr", 2),
    row(38, "LMP_version_res"), field("VersNr", 1), field("CompId", 2), field("SubVersNr", 2),
    row(39, "LMP_features_req"), fieldThen("features", 7, "lost the others"),
    row(40, "LMP_features_res"), fieldThen("features", 7, "lost the others"),
    row(41, "LMP_quality_of_service"), field("poll interval", 2), field("NBC", 1),
    row(42, "LMP_quality_of_service_req"), field("poll interval", 2), field("NBC", 1),
    row(43, "LMP_SCO_link_req"), field("SCO handle", 1), field("timing control flags", 1),
        field("Dsco", 1), field("Tsco", 1), field("SCO packet", 1), field("air mode", 1),
    row(44, "LMP_remove_SCO_link_req"), field("SCO handle", 1), field("error code", 1),
    row(45, "LMP_max_slot"), field("max slots", 1),
    row(46, "LMP_max_slot_req"), field("max slots", 1),
    row(47, "LMP_timing_accuracy_req", kNoSpaceAfterName), note("no content"),
    row(48, "LMP_timing_accuracy_res"), field("drift", 1), field("jitter", 1),
    row(49, "LMP_setup_complete"), note("no contents"),
    row(50, "LMP_use_semi_permanent_key"), note("no content"),
    row(51, "LMP_host_connection_req", kNoSpaceAfterName), note("on content"),
    row(52, "LMP_slot_offset"), field("slot offset", 2), fieldThen("BD_ADDR", 5, "lost one byte"),
    row(53, "LMP_page_mode_req"), field("paging scheme", 1), field("paging scheme settings", 1),
    row(54, "LMP_page_scan_mode_req"), field("paging scheme", 1),
        field("paging scheme settings", 1),
    row(55, "LMP_supervision_timeout"), field("supervision timeout", 2),
    row(56, "LMP_test_activate"), note("no content"),
    row(57, "LMP_test_control"), field("test scenario", 1), field("hopping mode", 1),
        field("TX frequency", 1), field("RX frequency", 1), field("power control mode", 1),
        field("poll period", 1), field("packet type", 1), note("lost others"),
    row(58, "LMP_encryption_key_size_mask_req", kNoSpaceAfterName), note("no content"),
    row(59, "LMP_encryption_key_size_mask_res"), field("key size mask", 2),
    row(60, "LMP_set_AFH"), field("AFH_instant", 4), field("AFH_mode", 1),
        fieldThen("AFH_channel_map", 2, "lost the others"),
    row(61, "LMP_encapsulated_header"), field("encapsulated major type", 1),
        field("encapsulated minor type", 1), field("encapsulated pay-load length", 1),
    row(62, "LMP_encapsulated_payload"), fieldThen("encapsulated data", 7, "lost the others"),
    row(63, "LMP_Simple_Pairing_Confirm"), fieldThen("Commitment Value", 7, "lost the others"),
    row(64, "LMP_Simple_Pairing_Number"), fieldThen("Nonce Value", 7, "lost the others"),
    row(65, "LMP_DHkey_Check"), fieldThen("Confirmation Value", 7, "lost the others"),
    rowRange(124, 127, "Escape 1"), field("extended op code", 1), field("variable", 6),
};
// clang-format on

static_assert(wellFormed(kBasic, kLmpBasicContentWords), "LMP table is malformed");
static_assert(countRows(kBasic) == 64);
constexpr auto kBasicRows = indexRows<countRows(kBasic)>(kBasic, 8);

// Extended opcodes (escape opcode 127).
// clang-format off
constexpr Entry kExtended[] = {
    row(1, "LMP_accepted_ext"), field("escape op code", 1), field("extended op code", 1),
    row(2, "LMP_not_accepted_ext"), field("escape op code", 1), field("extended op code", 1),
        field("error code", 1),
    row(3, "LMP_features_req_ext"), field("features page", 1), field("max supported page", 1),
        fieldThen("extended features", 4, "lost the others"),
    row(4, "LMP_features_res_ext"), field("features page", 1), field("max supported page", 1),
        fieldThen("extended features", 4, "lost the others"),
    row(11, "LMP_packet_type_table_req", kNoSpaceAfterName), field("packet type table", 1),
    row(12, "LMP_eSCO_link_req"), field("eSCO handle", 1), field("eSCO LT_ADDR", 1),
        field("timing control flags", 1), field("DeSCO", 1), field("TeSCO", 1), field("WeSCO", 1),
        note("lost others"),
    row(13, "LMP_remove_eSCO_link_req"), field("eSCO handle", 1), field("error code", 1),
    row(16, "LMP_channel_classification_req"), field("AFH_reporting_mode", 1),
        field("AFH_min_interval", 2), field("AFH_max_interval", 2),
    row(17, "LMP_channel_classification"),
        fieldThen("AFH_channel_classification", 6, "lost the others"),
    row(21, "LMP_sniff_subrating_req"), field("max_sniff_subrate", 1),
        field("min_sniff_mode_timeout", 2),
        fieldThen("sniff_subrating_instant", 3, "lost one byte"),
    row(22, "LMP_sniff_subrating_res"), field("max_sniff_subrate", 1),
        field("min_sniff_mode_timeout", 2),
        fieldThen("sniff_subrating_instant", 3, "lost one byte"),
    row(23, "LMP_pause_encryption_req"), note("no content"),
    row(24, "LMP_resume_encryption_req"), note("no content"),
    row(25, "LMP_IO_Capability_req"), field("IO_capabilities", 1, kNoColon),
        field("OOB Authentication Data", 1), field("Authentication Requirement", 1),
    row(26, "LMP_IO_Capability_res"), field("IO_capabilities", 1, kNoColon),
        field("OOB Authentication Data", 1), field("Authentication Requirement", 1),
    row(27, "LMP_numeric_comparison_failed"), note("no content"),
    row(28, "LMP_passkey_failed"), note("no content"),
    row(29, "LMP_oob_failed"), note("no content"),
    row(30, "LMP_keypress_notification"), field("Notification Type", 1),
    row(31, "LMP_power_control_req"), field("power_adjustment_request", 1),
    row(32, "LMP_power_control_res"), field("power_adjustment_response", 1),
};
// clang-format on

static_assert(wellFormed(kExtended, kLmpExtContentWords), "extended LMP table is malformed");
static_assert(countRows(kExtended) == 21);
constexpr auto kExtendedRows = indexRows<countRows(kExtended)>(kExtended, 8);

}  // namespace

constinit const DecodeTable kLmpTable{kBasic, kBasicRows};
constinit const DecodeTable kLmpExtTable{kExtended, kExtendedRows};

}  // namespace nimbrel::decoding
