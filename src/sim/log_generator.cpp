#include "sim/log_generator.h"

#include "sim/scenario_context.h"

namespace nimbrel::sim {
namespace {

using ScenarioFn = void (*)(ScenarioContext&);

struct Choice {
    ScenarioFn run;
    std::uint32_t weight;
};

// Picks the next activity of the simulated controller; what is possible depends on its
// state (a disconnect needs a link, a second scan needs the first one stopped, ...).
void runScenario(ScenarioContext& c) {
    if (!c.booted) {
        scenarioBoot(c);
        return;
    }
    c.wait(c.rng.range(3, 300));  // the controller is quiet between activities
    const bool link = c.classicLinkCount() > 0;
    const bool freeLink = c.freeClassicSlot() != nullptr;
    bool unencrypted = false;
    for (const ClassicLink& l : c.classic) unencrypted = unencrypted || (l.up && !l.encrypted);
    const bool leLink = c.leLinkCount() > 0;
    bool leUnencrypted = false;
    for (const LeLink& l : c.le) leUnencrypted = leUnencrypted || (l.up && !l.encrypted);

    const Choice choices[] = {
        {scenarioHousekeeping, 20},
        {scenarioWarning, 4},
        {scenarioRawDump, 3},
        {scenarioUndefinedIndex, 1},
        {scenarioInquiry, freeLink ? 3u : 0u},
        {scenarioConnect, freeLink ? (link ? 4u : 10u) : 0u},
        {scenarioRemoteInfo, link ? 3u : 0u},
        {scenarioPairing, unencrypted ? 6u : 0u},
        {scenarioSniff, link ? 4u : 0u},
        {scenarioRoleSwitch, link ? 2u : 0u},
        {scenarioAfh, link ? 2u : 0u},
        {scenarioAclTraffic, link ? 12u : 0u},
        {scenarioPowerControl, link ? 2u : 0u},
        {scenarioDisconnect, link ? (freeLink ? 2u : 6u) : 0u},
        {scenarioLinkLoss, link ? 1u : 0u},
        {scenarioAdvertising, 4},
        {scenarioScanning, c.scanning ? 0u : 3u},
        {scenarioLeConnect, c.freeLeSlot() ? 3u : 0u},
        {scenarioLeConnectionEvents, leLink ? 10u : 0u},
        {scenarioLeUpdate, leLink ? 2u : 0u},
        {scenarioLeEncryption, leUnencrypted ? 3u : 0u},
        {scenarioLeDisconnect, leLink ? 2u : 0u},
    };
    std::uint32_t total = 0;
    for (const Choice& ch : choices) total += ch.weight;
    std::uint32_t pick = c.rng.below(total);
    for (const Choice& ch : choices) {
        if (pick < ch.weight) {
            ch.run(c);
            return;
        }
        pick -= ch.weight;
    }
}

}  // namespace

LogGenerator::LogGenerator(std::uint64_t seed)
    : context_(std::make_unique<ScenarioContext>(seed)) {}
LogGenerator::~LogGenerator() = default;
LogGenerator::LogGenerator(LogGenerator&&) noexcept = default;
LogGenerator& LogGenerator::operator=(LogGenerator&&) noexcept = default;

const SimRecord& LogGenerator::next() {
    ScenarioContext& c = *context_;
    while (c.empty()) {
        c.resetQueue();
        runScenario(c);
    }
    ++produced_;
    return c.pop();
}

}  // namespace nimbrel::sim
