/*
 * LOG1.h - trace message table of the Bluetooth controller firmware (demo chip).
 *
 * Every trace record the firmware writes carries a message index instead of text.
 * Each define below gives one index its printf-style text in the trailing comment.
 *
 * Conversions take the record's 32-bit parameters in order; a text with %s takes the
 * record's byte parameters as one string. Texts without conversions belong to records
 * that carry their numbers in the header (info byte, extra byte, extra word).
 *
 * Info byte of a record = firmware module:
 *   1 system, 2 HCI, 3 link manager, 4 link controller, 5 LE, 6 OS, 7 power
 */
#ifndef LOG1_H
#define LOG1_H

/* ---------------------------------------------------------------- system --- */
#define LOG_SYS_BOOT_BANNER          1    //"********** BT controller firmware start **********"
#define LOG_SYS_ROM_VERSION          2    //"ROM version %d.%d.%d"
#define LOG_SYS_PATCH_INFO           3    //"patch 0x%08x loaded, %d entries"
#define LOG_SYS_CHIP_ID              4    //"chip id 0x%04x, revision %d"
#define LOG_SYS_XTAL                 5    //"xtal %d kHz, cap trim %d"
#define LOG_SYS_HEAP_INIT            6    //"heap init: base 0x%08x, size %d bytes"
#define LOG_SYS_UART_CONFIG          7    //"hci uart: baud %d, flow control %d"
#define LOG_SYS_BUILD_INFO           8    //"firmware build: %s"
#define LOG_SYS_TASK_START           9    //"task started: %s"
#define LOG_SYS_RF_CAL_DONE          10   //"rf calibration done"
#define LOG_SYS_BD_ADDR              11   //"local bd_addr %02x:%02x:%02x:%02x:%02x:%02x"
#define LOG_SYS_INIT_DONE            12   //"controller ready, free heap %d bytes"
#define LOG_SYS_RESET_REASON         13   //"last reset reason: %d"
#define LOG_SYS_IDLE                 14   //"scheduler idle"
#define LOG_SYS_WATCHDOG_KICK        15   //"watchdog kick"
#define LOG_SYS_FEATURES             16   //"lmp features 0x%08x 0x%08x"

/* ------------------------------------------------------------------- HCI --- */
#define LOG_HCI_TRANSPORT_UP         1350 //"hci transport up, rx buffers %d"
#define LOG_HCI_CREDITS              1351 //"hci command credits %d"
#define LOG_HCI_ACL_TX               1352 //"acl tx: handle 0x%03x, len %d, pb %d"
#define LOG_HCI_ACL_RX               1353 //"acl rx: handle 0x%03x, len %d, pb %d"
#define LOG_HCI_RX_OVERFLOW          1354 //"hci rx queue overflow"
#define LOG_HCI_COMMAND              1355 //"HCI command: opcode 0x%04x, param len %d"
#define LOG_HCI_UNKNOWN_OPCODE       1356 //"unsupported hci opcode 0x%04x"
#define LOG_HCI_CMD_TIMEOUT          1357 //"hci command 0x%04x timed out after %d ms"
#define LOG_HCI_EVENT                1358 //"HCI event: code 0x%02x, param len %d"
#define LOG_HCI_NUM_COMPLETED        1359 //"completed packets: handle 0x%03x, count %d"

/* ---------------------------------------------------------- link manager --- */
#define LOG_LMP_LINK_STATE           3090 //"lmp link %d: state %d -> %d"
#define LOG_LMP_TX                   3091 //"LMP tx: link %d, opcode %d, tid %d, len %d"
#define LOG_LMP_TX_EXT               3092 //"LMP tx ext: link %d, escape %d, ext opcode %d, tid %d, len %d"
#define LOG_LMP_RX                   3093 //"LMP rx: link %d, opcode %d, tid %d, len %d"
#define LOG_LMP_RX_EXT               3094 //"LMP rx ext: link %d, escape %d, ext opcode %d, tid %d, len %d"
#define LOG_LMP_RSP_TIMEOUT          3095 //"lmp response timeout: link %d, opcode %d"
#define LOG_LMP_REMOTE_NAME          3096 //"remote name: %s"
#define LOG_LMP_COLLISION            3097 //"lmp transaction collision: link %d, opcode %d"

/* ------------------------------------------------------- link controller --- */
#define LOG_LC_PAGE_START            4000 //"page start: bd_addr %02x:%02x:%02x:%02x:%02x:%02x, train %d"
#define LOG_LC_PAGE_DONE             4001 //"page done: lt_addr %d, %d slots"
#define LOG_LC_INQUIRY_START         4002 //"inquiry start: lap 0x%06x, length %d"
#define LOG_LC_INQUIRY_RSP           4003 //"fhs received: clk 0x%07x, rssi %d"
#define LOG_LC_SUPERVISION_TO        4004 //"link supervision timeout"
#define LOG_LC_AFH_UPDATE            4005 //"afh map updated: %d channels used"
#define LOG_LC_SNIFF                 4006 //"sniff: link %d, Tsniff %d, attempt %d"
#define LOG_LC_ROLE_SWITCH           4007 //"role switch done: link %d, new role %d"
#define LOG_LC_SCHED_OVERRUN         4008 //"scheduler overrun"
#define LOG_LC_ENCRYPTION            4009 //"encryption %d on link %d, key size %d"
#define LOG_LC_RSSI                  4010 //"link %d rssi %d dBm"
#define LOG_LC_CLOCK_DRIFT           4011 //"sleep clock drift %d ppm"

/* -------------------------------------------------------------------- LE --- */
#define LOG_LE_ADV_START             4100 //"adv start: type %d, interval %d slots, channels 0x%x"
#define LOG_LE_ADV_STOP              4101 //"adv stopped"
#define LOG_LE_SCAN_START            4102 //"scan start: interval %d, window %d"
#define LOG_LE_SCAN_STOP             4103 //"scan stopped"
#define LOG_LE_ADV_REPORT            4104 //"adv report: addr type %d, rssi %d, data len %d"
#define LOG_LE_ADV_NAME              4105 //"adv name: %s"
#define LOG_LE_CONN_CREATED          4106 //"le link created: handle 0x%03x, interval %d, latency %d"
#define LOG_LE_CONN_EVENT            4107 //"le conn event: handle 0x%03x, channel %d"
#define LOG_LE_CONN_UPDATE           4108 //"le conn update: handle 0x%03x, interval %d -> %d"
#define LOG_LE_MIC_FAILURE           4109 //"le mic failure on handle 0x%03x"

/* -------------------------------------------------------------------- OS --- */
#define LOG_OS_ASSERT                5000 //"ASSERT failed: %s"
#define LOG_OS_HEAP_LOW              5001 //"heap low: %d bytes free, largest block %d"
#define LOG_OS_QUEUE_FULL            5002 //"queue %d full, message %d dropped"
#define LOG_OS_STACK_USAGE           5003 //"task %d stack high water %d bytes"
#define LOG_OS_ERROR                 5004 //"error 0x%x in module %d"
#define LOG_OS_TIMER_EXPIRED         5005 //"timer expired"
#define LOG_OS_FLASH_WRITE           5006 //"flash write done"
#define LOG_OS_FATAL                 5007 //"fatal: %s"

/* ----------------------------------------------------------------- power --- */
#define LOG_PM_SLEEP                 6000 //"enter deep sleep"
#define LOG_PM_WAKE                  6001 //"wake up: source %d, slept %d ms"
#define LOG_PM_VOLTAGE               6002 //"supply voltage %d mV"

/* -------------------------------------------------------------- raw data --- */
#define LOG_RAW_DUMP                 65535 //"raw data:%s"

#endif /* LOG1_H */
