// The vector kernels for one instruction set; CMakeLists.txt gives this file its compiler flags.
#include "dsp/VectorMathKernels.h"

namespace morsello
{
namespace VectorMath::Kernels
{
const Functions& avx512() noexcept
{
    static constexpr auto functions = For<xsimd::avx512f>::functions ("avx512");
    return functions;
}
} // namespace VectorMath::Kernels
} // namespace morsello
