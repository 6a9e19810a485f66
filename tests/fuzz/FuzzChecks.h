#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The checks behind the fuzzers, shared with the ordinary test suite, which replays every
// committed corpus and regression input through them. Each feeds one input to the code under
// test and returns an empty string when every invariant holds, otherwise what broke.
namespace fuzzchecks
{
// The bytes as a host hands them to setStateInformation. Afterwards every parameter is in its
// range and on its step, and a save restored into a fresh processor gives the same values.
std::string checkStateChunk (const uint8_t* data, size_t size);

// The bytes as the contents of a recipe file that is loaded. Afterwards every parameter is in
// its range and on its step, and a load that fails has changed nothing.
std::string checkRecipeFile (const uint8_t* data, size_t size);

// The bytes as a run of the engine: the rate (8 kHz to 384 kHz), the largest block, mono or
// stereo, then steps that each may change a setting (always to a value the parameter could
// hold) and process a block of 0 to the largest size, filled with the input's own bit patterns
// (NaN, infinities, denormals among them), full-scale squares or silence. Every output sample
// must be finite and within the limiter's ceiling, and the output guard must never fire: the
// layers only ever see finite input.
std::string checkEngineRun (const uint8_t* data, size_t size);
} // namespace fuzzchecks
