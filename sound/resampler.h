// Changing a sound's sample rate: a windowed-sinc low-pass at 0.45 times the lower of the
// two rates (a Kaiser window for at least 60 dB from half that rate on), evaluated at every
// output instant. The kernel is centred, so nothing is delayed, and each of its phases
// sums to 1, so a constant stays exactly that constant.
#pragma once

#include <cstddef>
#include <vector>

#include "base/status.h"

namespace sound {

// The most samples one resampling makes: beyond it, kTooLarge.
constexpr size_t kMaxResampledSamples = size_t{1} << 30;

// How many samples `count` input samples give at the output rate: count * out / in,
// rounded.
size_t resampledCount(size_t count, int inputRate, int outputRate);

// Resamples `input` (at inputRate) to outputRate; samples before and after the input count
// as 0. kTooLarge when the result would pass kMaxResampledSamples, kOutOfMemory when there
// is no room for it. Rates are positive.
vz::Status resample(const std::vector<float>& input, int inputRate, int outputRate,
                    std::vector<float>& output);

}  // namespace sound
