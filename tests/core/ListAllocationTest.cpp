// A list whose node cannot be allocated reports it: this executable replaces
// the non-throwing operator new so that the test can make it fail.
#include <gtest/gtest.h>

#include <new>

#include "core/List.h"

namespace {
bool failAllocations = false;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (failAllocations) return nullptr;
    try {
        return ::operator new(size);  // the same allocator the list's delete returns to
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p, const std::nothrow_t&) noexcept { ::operator delete(p); }

TEST(ListAllocation, FirstAndLaterElements) {
    velm::list<int> l;
    failAllocations = true;
    try {
        l.Append(1);
        ADD_FAILURE() << "no error";
    } catch (const velm::VelmError& e) {
        EXPECT_EQ(e.text(), "Error! Can't allocate memory for first element of list");
        // Where it was raised, for developers: the list's own header.
        EXPECT_EQ(e.source(), "List");
        EXPECT_GT(e.line(), 0);
    }
    EXPECT_EQ(l.Count(), 0);
    failAllocations = false;
    l.Append(1);
    failAllocations = true;
    EXPECT_THROW(l.Append(2), velm::VelmError);
    failAllocations = false;
    EXPECT_EQ(l.Count(), 1);
    EXPECT_EQ(l[0], 1);
}
