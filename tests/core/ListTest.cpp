#include <gtest/gtest.h>

#include <string>

#include "core/List.h"

using velm::list;

TEST(List, InsertPositionsAndCursor) {
    list<int> l;
    l.Insert(0, 2);  // empty: first element
    l.Insert(1, 4);  // == count: append
    l.Insert(0, 1);  // prepend
    l.Insert(2, 3);  // before the element at 2
    ASSERT_EQ(l.Count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(l[i], i + 1);
    EXPECT_THROW(l.Insert(6, 9), velm::VelmError);
    EXPECT_THROW(l[4], velm::VelmError);
    EXPECT_THROW(l[-1], velm::VelmError);
}

TEST(List, IndexWalksFromTheCursor) {
    list<int> l;
    for (int i = 0; i < 10; ++i) l.Append(i);
    EXPECT_EQ(l[0], 0);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(l[i], i);
        EXPECT_EQ(l.LastWalk(), 1) << "index " << i;
    }
    EXPECT_EQ(l[0], 0);
    EXPECT_EQ(l.LastWalk(), 3);
    EXPECT_EQ(l[9], 9);
    EXPECT_EQ(l.LastWalk(), 9);
}

TEST(List, RemoveKeepsTheCursorValid) {
    struct Case { int remove; std::string left; };
    const Case cases[] = {{0, "1234"}, {2, "0134"}, {4, "0123"}};
    for (const Case& c : cases) {
        list<int> l;
        for (int i = 0; i < 5; ++i) l.Append(i);
        (void)l[c.remove];
        l.Remove(c.remove);
        std::string got;
        for (int i = 0; i < l.Count(); ++i) got += std::to_string(l[i]);
        EXPECT_EQ(got, c.left) << "removing " << c.remove;
        std::string walked;
        for (int v : l) walked += std::to_string(v);
        EXPECT_EQ(walked, c.left);
    }
    list<int> one;
    one.Append(7);
    one.Remove(0);
    EXPECT_EQ(one.Count(), 0);
    one.Append(8);  // the emptied list takes elements again
    EXPECT_EQ(one[0], 8);
}

TEST(List, CopiesAreDeepAndClearEmpties) {
    list<std::string> a;
    a.Append("x");
    a.Append("y");
    list<std::string> b = a;
    b[0] = "changed";
    EXPECT_EQ(a[0], "x");
    EXPECT_EQ(b.Count(), 2);
    a = b;
    EXPECT_EQ(a[0], "changed");
    a.Clear();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(b[1], "y");
    list<std::string> moved = std::move(b);
    EXPECT_EQ(moved.Count(), 2);
}
