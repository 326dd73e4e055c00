// The choice among CPU-specific implementations.
#include "generic/cpu-paths.h"

#include <gtest/gtest.h>

namespace {

using generic::CpuFeature;
using generic::CpuHas;
using generic::CpuPaths;

int Plain() { return 1; }
int Lanes() { return 2; }
int Wide() { return 3; }

TEST(CpuPaths, ChoosesTheLastEntryThisCpuRunsAndKeepsEveryEntryForTests) {
  const CpuPaths<int (*)()> portable = {{"plain", CpuFeature::kNone, Plain},
                                        {"lanes", CpuFeature::kNone, Lanes}};
  EXPECT_EQ(portable.chosen()(), 2);
  EXPECT_EQ(portable.plain()(), 1);

  const CpuPaths<int (*)()> wide = {{"plain", CpuFeature::kNone, Plain},
                                    {"avx512f", CpuFeature::kAvx512f, Wide},
                                    {"lanes", CpuFeature::kNone, Lanes}};
  EXPECT_EQ(wide.chosen()(), 2) << "a later entry that runs wins over an earlier one";
  ASSERT_EQ(wide.all().size(), 3u);
  EXPECT_EQ(wide.all()[1].RunsHere(), CpuHas(CpuFeature::kAvx512f));

  const CpuPaths<int (*)()> fastest_last = {{"plain", CpuFeature::kNone, Plain},
                                            {"avx512f", CpuFeature::kAvx512f, Wide}};
  EXPECT_EQ(fastest_last.chosen()(), CpuHas(CpuFeature::kAvx512f) ? 3 : 1);
}

TEST(CpuHas, KnowsEveryCpuRunsTheBaselineAndAvx512OnlyWithAvx2) {
  EXPECT_TRUE(CpuHas(CpuFeature::kNone));
  if (CpuHas(CpuFeature::kAvx512f)) {
    EXPECT_TRUE(CpuHas(CpuFeature::kAvx2));
  }
#if !defined(__x86_64__)
  EXPECT_FALSE(CpuHas(CpuFeature::kAvx2));
  EXPECT_FALSE(CpuHas(CpuFeature::kAvx512f));
#endif
}

}  // namespace
