// The first fill of the tangent table when two threads ask at once. Its own
// program, so that the table is still empty when the threads start.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "geometry/CAngleNum.h"

TEST(AngleThreads, FirstCallsFromTwoThreadsAgree) {
  ASSERT_EQ(CAngleNum<3600>::s_bInit, 0);
  std::vector<unsigned short> a(20000), b(20000);
  auto run = [](std::vector<unsigned short>& out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
      out[i] = CAngleNum<3600>::GetAngle(0, 0, 1.0, static_cast<double>(i) * 0.001);
    }
  };
  std::thread t1(run, std::ref(a));
  std::thread t2(run, std::ref(b));
  t1.join();
  t2.join();
  EXPECT_EQ(a, b);
  EXPECT_EQ(a[1000], CAngleNum<3600>::GetAngle(0, 0, 1.0, 1.0));
  EXPECT_EQ(a[1000], 450);
}
