// The vector kernels for one instruction set; CMakeLists.txt gives this file its compiler flags.
#include "dsp/VectorMathKernels.h"

namespace VectorMath::Kernels
{
void tanhInPlaceAvx512 (float* values, int count) noexcept
{
    tanhInPlace<xsimd::avx512f> (values, count);
}
} // namespace VectorMath::Kernels
