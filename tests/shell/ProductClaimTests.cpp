// One run per product under Wine: the claims of one process stand for those of several, since
// the named objects are the same.

#include "shell/ProductClaim.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A claim refuses a second claim of its product, in any letter case, and none of another
// product (a name with a backslash, which a kernel object's name cannot hold, included); it
// ends with its holder.
TEST(ProductClaim, OneHolderPerProductUntilItEnds) {
    auto first = std::make_unique<TProductClaim>();
    ASSERT_TRUE(first->Claim("ProductClaimTest Velmora"));
    TProductClaim second;
    EXPECT_FALSE(second.Claim("productclaimtest VELMORA"));
    TProductClaim other;
    EXPECT_TRUE(other.Claim("ProductClaimTest Velmora\\Delay"));
    first.reset();
    EXPECT_TRUE(second.Claim("ProductClaimTest Velmora"));
}

} // namespace
