#pragma once

#include "dsp/EngineSettings.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace morsello
{
// One layer kind under test, for suites that run once per bread kind and once per filling kind.
struct KindCase
{
    bool isBread;
    int kind;
};

inline void PrintTo (const KindCase& c, std::ostream* os)
{
    *os << (c.isBread ? "bread " : "filling ") << c.kind;
}

// Every bread kind, then every filling kind.
inline std::vector<KindCase> everyKind()
{
    std::vector<KindCase> cases;

    for (int kind = 0; kind < kNumBreadTypes; ++kind)
        cases.push_back ({ true, kind });

    for (int kind = 0; kind < kNumFillingTypes; ++kind)
        cases.push_back ({ false, kind });

    return cases;
}

// A test name for each case: "bread4", "filling7".
inline std::string kindCaseName (const testing::TestParamInfo<KindCase>& param)
{
    return std::string (param.param.isBread ? "bread" : "filling") + std::to_string (param.param.kind);
}
} // namespace morsello
