// The hit set against a plain vector of flags: ranges assigned over and over (across
// block bounds, partly and wholly), single lines inserted, copies that keep what they saw.
#include "gui/logview/hit_set.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace nimbrel::gui {
namespace {

TEST(HitSet, AnswersAsAVectorOfFlagsDoesAfterRandomChanges) {
    constexpr std::int64_t kLines = 3 * HitSet::kBlockLines + 1000;
    std::mt19937_64 rng(7);
    std::vector<bool> model(kLines, false);
    HitSet set;
    for (int step = 0; step < 300; ++step) {
        const HitSet before = set;
        const std::int64_t beforeCount = before.count();
        if (step % 5 == 0) {
            const auto line = static_cast<std::int64_t>(rng() % kLines);
            set.insert(line);
            model[static_cast<std::size_t>(line)] = true;
        } else {
            // Sparse, dense or empty ranges of any length and place.
            const auto first = static_cast<std::int64_t>(rng() % kLines);
            const auto count = std::min<std::int64_t>(
                kLines - first, static_cast<std::int64_t>(rng() % (step % 3 ? 200 : 150000)));
            const unsigned density = static_cast<unsigned>(rng() % 4);
            std::vector<std::uint64_t> bits(static_cast<std::size_t>((count + 63) / 64));
            for (std::int64_t k = 0; k < count; ++k) {
                const bool on = density == 3 || (density > 0 && rng() % (density * 8) == 0);
                model[static_cast<std::size_t>(first + k)] = on;
                if (on) bits[static_cast<std::size_t>(k / 64)] |= 1ull << (k % 64);
            }
            set.assign(first, count, bits);
        }
        EXPECT_EQ(before.count(), beforeCount);  // a copy does not change with the set
        if (step % 30 != 0) continue;
        std::vector<std::int64_t> lines;
        for (std::int64_t l = 0; l < kLines; ++l) {
            if (model[static_cast<std::size_t>(l)]) lines.push_back(l);
        }
        ASSERT_EQ(set.count(), static_cast<std::int64_t>(lines.size()));
        for (int probe = 0; probe < 200; ++probe) {
            const auto l = static_cast<std::int64_t>(rng() % kLines);
            const auto at = std::lower_bound(lines.begin(), lines.end(), l);
            EXPECT_EQ(set.contains(l), model[static_cast<std::size_t>(l)]);
            EXPECT_EQ(set.rank(l), at - lines.begin());
            EXPECT_EQ(set.next(l), at == lines.end() ? -1 : *at);
            const auto upTo = std::upper_bound(lines.begin(), lines.end(), l);
            EXPECT_EQ(set.previous(l), upTo == lines.begin() ? -1 : *(upTo - 1));
            if (!lines.empty()) {
                const std::size_t k = rng() % lines.size();
                EXPECT_EQ(set.select(static_cast<std::int64_t>(k)), lines[k]);
            }
        }
        EXPECT_EQ(set.select(set.count()), -1);
    }
}

}  // namespace
}  // namespace nimbrel::gui
