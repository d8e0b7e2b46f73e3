#include "document/morph_state.h"

namespace morph {

SliderDecision DecideSlider(int code, const int* positions, const int* applied, int count, bool anyCode) {
    SliderDecision d;
    if (!anyCode && code != kThumbPosition && code != kEndTrack) return d;
    int moved = 0;
    for (int k = 0; k < count; ++k) {
        if (positions[k] == applied[k]) continue;
        if (++moved == 1) {
            d.slider = k;
            d.delta = positions[k] - applied[k];
        }
    }
    if (moved == 1) {
        d.action = SliderAction::kApply;
    } else if (moved > 1) {
        d = SliderDecision();
        d.action = SliderAction::kPutBack;
    }
    return d;
}

}  // namespace morph
