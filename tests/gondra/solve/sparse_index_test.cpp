// The growable arrays behind the per-variable records: values survive growth
// and self-referencing pushes, and literal indices vanish with their literals.
#include "solve/pod_array.hpp"
#include "solve/sparse_index.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace Gondra::Solve {
namespace {

TEST(PodArrayTest, KeepsValuesAcrossGrowthAndCopies) {
    PodArray<uint32_t> a;
    for (uint32_t i = 0; i < 5000; ++i) {
        a.push_back(i == 0 ? 7 : a[i - 1] + 1); // pushes a value held by the array
    }
    a.resize(6000, 3);
    PodArray<uint32_t> b = a;
    a.resize(10);
    ASSERT_EQ(b.size(), 6000u);
    EXPECT_EQ(b[4999], 5006u);
    EXPECT_EQ(b[5999], 3u);
    EXPECT_EQ(a.back(), 16u);
    a.resize(20);
    EXPECT_EQ(a[15], 0u); // regrown entries are value-initialised
}

TEST(SparseIndexTest, AgreesWithAMapUnderSetsAndShrinking) {
    std::mt19937 rng(3);
    SparseIndex index;
    std::map<size_t, uint32_t> reference;
    index.resize(50000);
    for (int step = 0; step < 20000; ++step) {
        size_t l = rng() % index.size();
        uint32_t value = rng() % 4;
        index.set(l, value);
        reference[l] = value;
        if (step % 5000 == 4999) {
            size_t size = rng() % index.size();
            index.resize(size);
            std::erase_if(reference, [size](auto const& e) { return e.first >= size; });
            index.resize(50000);
        }
    }
    for (size_t l = 0; l < index.size(); ++l) {
        auto it = reference.find(l);
        ASSERT_EQ(index[l], it == reference.end() ? 0u : it->second) << l;
    }
}

} // namespace
} // namespace Gondra::Solve
