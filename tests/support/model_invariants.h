#pragma once
// One checker of the head's links, for any test that changes a head: every
// two-sided link holds on both sides, no point is both fixed and rubber,
// each triangle stands once in each of its corners' lists, and nothing
// names a freed slot.

#include <string>
#include <vector>

class head3;

namespace testsupport {

// Every broken rule, one message each; empty for a sound head.
std::vector<std::string> modelInvariantErrors(const head3& h);

// Euler characteristic V - E + F over the vertices that carry triangles.
int eulerCharacteristic(const head3& h);

}  // namespace testsupport

// EXPECT-style check with the messages in the failure text.
#define EXPECT_MODEL_SOUND(h)                                                        \
    do {                                                                             \
        auto brivantaModelErrors = ::testsupport::modelInvariantErrors(h);           \
        std::string brivantaModelText;                                               \
        for (size_t k = 0; k < brivantaModelErrors.size() && k < 20; ++k)            \
            brivantaModelText += brivantaModelErrors[k] + "\n";                      \
        EXPECT_TRUE(brivantaModelErrors.empty()) << brivantaModelText;               \
    } while (0)
