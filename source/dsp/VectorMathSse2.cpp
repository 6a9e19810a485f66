// The vector kernels for one instruction set; CMakeLists.txt gives this file its compiler flags.
#include "dsp/VectorMathKernels.h"

namespace VectorMath::Kernels
{
void tanhInPlaceSse2 (float* values, int count) noexcept
{
    tanhInPlace<xsimd::sse2> (values, count);
}
} // namespace VectorMath::Kernels
