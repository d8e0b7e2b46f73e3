#include "foundation/pools.h"

#include <vector>

namespace fnd {

namespace {
std::vector<void (*)()>& resets() {
    static std::vector<void (*)()> r;
    return r;
}
}  // namespace

void detail::registerPoolReset(void (*reset)()) { resets().push_back(reset); }

void resetPools() {
    auto& r = resets();
    for (auto it = r.rbegin(); it != r.rend(); ++it) (*it)();
}

}  // namespace fnd
