// The vector kernels for one instruction set; CMakeLists.txt gives this file its compiler flags.
#include "dsp/VectorMathKernels.h"

namespace morsello
{
namespace VectorMath::Kernels
{
const Functions& avx2() noexcept
{
    static constexpr auto functions = For<xsimd::avx2>::functions ("avx2");
    return functions;
}
} // namespace VectorMath::Kernels
} // namespace morsello
