#include "document/record_limit.h"

#include "model/head.h"

namespace files {

std::string RecordLimitReason(const std::string& what) {
    return what + ", more than the " + std::to_string(maxStoredCount) + " a head may hold";
}

bool WithinRecordLimit(const head3& h, std::string& reason) {
    const std::pair<long, const char*> lists[] = {
        {h.vertices.count(), "vertices"},         {h.triangles.count(), "triangles"},
        {h.extrapoints.count(), "extra points"},  {h.featurepoints.count(), "feature points"},
        {h.featurelines.count(), "feature lines"}, {h.areas.count(), "areas"},
        {h.colors.count(), "colours"},            {h.regions.count(), "regions"},
    };
    for (const auto& [count, what] : lists)
        if (count > maxStoredCount) {
            reason = RecordLimitReason("the head has " + std::to_string(count) + " " + what);
            return false;
        }
    return true;
}

}  // namespace files
