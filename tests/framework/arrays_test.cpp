#include "framework/arrays.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Items(const CStringArray& a) {
  std::vector<std::string> out;
  for (int i = 0; i < a.GetSize(); ++i) out.emplace_back(a[i].View());
  return out;
}

// Random inserts, removals, appends and growth, checked against std::vector.
TEST(Arrays, RandomOperationsMatchStdVector) {
  std::mt19937 rng(12345);
  CStringArray a;
  std::vector<std::string> ref;
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int step = 0; step < 3000; ++step) {
    const std::string v = "v" + std::to_string(step);
    const int size = static_cast<int>(ref.size());
    switch (pick(7)) {
      case 0: {  // InsertAt inside or past the end, count copies
        int i = pick(size + 3), count = pick(3) + 1;
        a.InsertAt(i, CString(v.c_str()), count);
        if (i > size) ref.resize(static_cast<std::size_t>(i));
        ref.insert(ref.begin() + i, static_cast<std::size_t>(count), v);
        break;
      }
      case 1:
        if (size > 0) {
          int i = pick(size), count = pick(size - i) + 1;
          a.RemoveAt(i, count);
          ref.erase(ref.begin() + i, ref.begin() + i + count);
        }
        break;
      case 2: {
        int i = pick(size + 5);
        a.SetAtGrow(i, CString(v.c_str()));
        if (i >= size) ref.resize(static_cast<std::size_t>(i) + 1);
        ref[static_cast<std::size_t>(i)] = v;
        break;
      }
      case 3: {
        CStringArray other;
        other.Add(CString(v.c_str()));
        other.Add("second");
        EXPECT_EQ(a.Append(other), size);
        ref.push_back(v);
        ref.push_back("second");
        break;
      }
      case 4: {
        int i = pick(size + 1);
        CStringArray other;
        other.Add("i1");
        other.Add("i2");
        a.InsertAt(i, &other);
        ref.insert(ref.begin() + i, {"i1", "i2"});
        break;
      }
      case 5: {
        int n = pick(size + 4);
        a.SetSize(n);
        ref.resize(static_cast<std::size_t>(n));
        break;
      }
      default:
        a.Add(CString(v.c_str()));
        ref.push_back(v);
    }
    if (ref.size() > 200) {
      a.RemoveAt(0, 100);
      ref.erase(ref.begin(), ref.begin() + 100);
    }
    ASSERT_EQ(Items(a), ref) << "step " << step;
    ASSERT_GE(a.GetAllocatedSize(), a.GetSize());
  }
}

TEST(Arrays, GrowthRuleAndFreshSlots) {
  CUIntArray u;
  u.SetSize(0);
  u.SetAtGrow(0, 7);
  EXPECT_EQ(u.GetAllocatedSize(), 1);  // exactly one element at first
  u.SetAtGrow(1, 8);
  EXPECT_EQ(u.GetAllocatedSize(), 5);  // below 32 elements: 4 more
  u.SetSize(40);
  for (int i = 2; i < 40; ++i) EXPECT_EQ(u[i], 0u) << i;
  u.SetSize(41);
  EXPECT_EQ(u.GetAllocatedSize(), 45);  // 40 elements: 40 / 8 more
  u.SetSize(3);
  EXPECT_EQ(u.GetAllocatedSize(), 45);  // shrinking keeps the storage
  u.SetSize(10);
  EXPECT_EQ(u[5], 0u);  // slots given up and taken again start at 0
  u.FreeExtra();
  EXPECT_EQ(u.GetAllocatedSize(), 10);
  u.SetSize(20, 100);
  EXPECT_EQ(u.GetAllocatedSize(), 110);  // an explicit step
  u.SetSize(0);
  EXPECT_EQ(u.GetAllocatedSize(), 0);
  EXPECT_EQ(u.GetData(), nullptr);
}

TEST(Arrays, SelfAppendCopyAndInsert) {
  CStringArray a;
  a.Add("x");
  a.Add("y");
  EXPECT_EQ(a.Append(a), 2);
  EXPECT_EQ(Items(a), (std::vector<std::string>{"x", "y", "x", "y"}));
  a.InsertAt(1, &a);
  EXPECT_EQ(Items(a), (std::vector<std::string>{"x", "x", "y", "x", "y", "y", "x", "y"}));
  a.SetAtGrow(10, a[0]);  // the value lives in the array being grown
  EXPECT_EQ(a[10].View(), "x");
  EXPECT_TRUE(a[9].IsEmpty());

  CStringArray b;
  b.Copy(a);
  EXPECT_EQ(Items(b), Items(a));
  b[0] = "changed";
  EXPECT_EQ(a[0].View(), "x");
  CStringArray empty;
  b.InsertAt(0, &empty);
  EXPECT_EQ(b.GetSize(), 11);
}

}  // namespace
