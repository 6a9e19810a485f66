#pragma once

// Maths functions applied to a run of values at once, in the widest vector instructions the
// processor offers (AVX-512, AVX2, or SSE2 on any x86-64 processor). The choice is made once,
// when the program starts; each call then goes straight to the chosen kernel. Results differ
// from the platform's scalar functions by the vector library's accuracy (a few units in the
// last place at most).

namespace VectorMath
{
// values[i] = tanh (values[i]) for i in [0, count).
void tanhInPlace (float* values, int count) noexcept;

// The instruction set the kernels use: "avx512", "avx2", "sse2", or "scalar" when the scalar
// path is selected.
const char* instructionSet() noexcept;

// Selects the platform's scalar functions instead of the vector kernels, so that a benchmark can
// compare both in one run. Not for use while audio is processed.
void useScalarPath (bool scalar) noexcept;
} // namespace VectorMath
