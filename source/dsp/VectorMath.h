#pragma once

namespace morsello
{
// Maths functions applied to a run of values at once, in the widest vector instructions the
// processor offers (AVX-512, AVX2, or SSE2 on any x86-64 processor). The choice is made once,
// when the program starts; each call then goes straight to the chosen kernel. Results differ
// from the platform's scalar functions by the vector library's accuracy (a unit or two in the
// last place at most); the square root is exact either way.
//
// Every function takes values[i] for i in [0, count) and replaces each with its result. Runs
// of any length work; the layers pass a chunk (up to 64 values) at a time.

namespace VectorMath
{
void tanhInPlace (float* values, int count) noexcept;
void sinInPlace (float* values, int count) noexcept;
void asinInPlace (float* values, int count) noexcept;
void sqrtInPlace (float* values, int count) noexcept;
void sinInPlace (double* values, int count) noexcept;

// A symmetric filter's correlation: output[m] = (accumulate ? output[m] : 0) + the sum over
// k < numTaps / 2 of taps[k] * (input[m + k] + input[m + numTaps - 1 - k]), plus
// taps[numTaps / 2] * input[m + numTaps / 2] for an odd count, for m in [0, count): the even k
// and the odd k summed apart, then together, then the middle tap. Only the first half of the
// taps (and the middle one) is read. The input must hold count + numTaps - 1 values. Sums run
// in the same order on every instruction set, so all give the same bits.
void firSymmetric (const float* input, const float* taps, int numTaps, float* output, int count, bool accumulate) noexcept;

// output[2 m] = even[m], output[2 m + 1] = odd[m], for m in [0, n); and back.
void interleave (const float* even, const float* odd, float* output, int n) noexcept;
void deinterleave (const float* input, float* even, float* odd, int n) noexcept;

// The high quality wavefold's arguments at the top rate, arguments[i] = drive * input[i] + bias
// (worked in float, as the fold's input is, then held as doubles), and their second
// antiderivatives integrals[i] = trianglefold::secondAntiderivative (arguments[i]), for i in
// [0, count).
void foldArguments (const float* input, int count, float drive, float bias, double* arguments, double* integrals) noexcept;

// The high quality wavefold's output: output[i] = (trianglefold::averagedTwice (arguments[i],
// arguments[i + 1], arguments[i + 2]) - offset) / pi, for i in [0, count) (arguments and
// integrals hold count + 2 values, integrals from foldArguments()); averages is scratch for
// count doubles. The same bits on every instruction set.
void foldSecondAverages (const double* arguments, const double* integrals, double offset, double* averages, float* output, int count) noexcept;

// The high quality drive's curve (tanh (z) - offsetShape) / gain, z = (input + offset) * gain,
// averaged over each step from the argument before (first-order antiderivative anti-aliasing,
// log cosh being tanh's antiderivative): output[i] = (mean of tanh over [z[i], z[i + 1]] -
// offsetShape) / gain, for i in [0, count). arguments is scratch for count + 1 floats:
// arguments[0] holds the argument before input[0] and, on return, arguments[count] the last.
// Accurate to a few units in the last place of the mean, for quiet signals as for loud ones.
inline constexpr float kLongTanhStep = 4.0f;

void driveAverages (const float* input, int count, float offset, float gain, float offsetShape, float* arguments, float* output) noexcept;

// The high quality ring mod at the top rate: with the carrier's angle a = 2 pi (phases[i] +
// j * fastIncrement + offset) for the factor top-rate samples k = i * factor + j of base sample
// i, and sine = sin (a) as a float, samples[k] *= sine + shape * (tanh (5 sine) - sine), for k
// in [0, n * factor). angles and shaped are scratch for n * factor values.
void ringModProducts (const double* phases, int n, int factor, double fastIncrement, double offset, float shape, double* angles, float* shaped, float* samples) noexcept;

// The toast: samples[k] = tanh (D samples[k]) / D with D = drives[i] for the factor samples k
// made from base sample i (factor 1 at the base rate, the oversampling factor in "high"), for k
// in [0, n * factor); gains is scratch for n * factor floats.
void toastCurve (const float* drives, int n, int factor, float* gains, float* samples) noexcept;

// The instruction set the kernels use: "avx512", "avx2", "sse2", or "scalar" when the scalar
// path is selected.
const char* instructionSet() noexcept;

// Selects the platform's scalar maths functions instead of the vector kernels' (the kernels
// that call none, the filters and the fold, stay the SSE2 ones), so that a benchmark or a test
// can compare both in one run. Not for use while audio is processed.
void useScalarPath (bool scalar) noexcept;

// One set of kernels, all for the same instruction set.
struct Functions
{
    void (*tanhFloat) (float*, int) noexcept;
    void (*sinFloat) (float*, int) noexcept;
    void (*asinFloat) (float*, int) noexcept;
    void (*sqrtFloat) (float*, int) noexcept;
    void (*sinDouble) (double*, int) noexcept;
    void (*firSymmetric) (const float*, const float*, int, float*, int, bool) noexcept;
    void (*interleave) (const float*, const float*, float*, int) noexcept;
    void (*deinterleave) (const float*, float*, float*, int) noexcept;
    void (*foldArguments) (const float*, int, float, float, double*, double*) noexcept;
    void (*foldSecondAverages) (const double*, const double*, double, double*, float*, int) noexcept;
    void (*driveAverages) (const float*, int, float, float, float, float*, float*) noexcept;
    void (*ringModProducts) (const double*, int, int, double, double, float, double*, float*, float*) noexcept;
    void (*toastCurve) (const float*, int, int, float*, float*) noexcept;
    const char* name;
};

// Each instruction set's kernels, whether or not this processor can run them (for tests that
// compare them with each other), and the platform's scalar functions.
namespace Kernels
{
    const Functions& sse2() noexcept;
    const Functions& avx2() noexcept;
    const Functions& avx512() noexcept;
    const Functions& scalar() noexcept;
} // namespace Kernels
} // namespace VectorMath
} // namespace morsello
