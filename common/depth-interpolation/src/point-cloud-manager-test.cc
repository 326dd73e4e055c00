// The point cloud manager: the first exchange, hand-over order, refused clouds, writer and reader.
#include "depth-interpolation/point-cloud-manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "logging/log-capture.h"

namespace depth_interpolation {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

// An incoming cloud of `count` points whose coordinates are all `value`, stamped `timestamp`,
// with every word the manager must not copy set.
struct Cloud {
  Cloud(uint32_t count, float value, double timestamp) : points(count * 3, value) {
    cloud.service_word = 0xFFFFFFFFu;
    for (uint32_t& word : cloud.tail_words) word = 0xFFFFFFFFu;
    cloud.timestamp = timestamp;
    cloud.point_count = count;
    cloud.xyz = reinterpret_cast<float(*)[3]>(points.data());
  }
  Cloud(const Cloud&) = delete;
  std::vector<float> points;
  SolvoXYZij cloud{};
};

std::vector<float> Points(const SolvoXYZij* cloud, uint32_t count) {
  return {&cloud->xyz[0][0], &cloud->xyz[0][0] + count * 3};
}

TEST(PointCloudManager, TheFirstGetLatestExchangesAndHandsOutTheClearedCloud) {
  PointCloudManager manager(50);
  SolvoXYZij* front = nullptr;
  EXPECT_EQ(manager.GetLatest(&front), 1);
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(front->point_count, 0u);
  EXPECT_EQ(front->timestamp, 0.0);
  EXPECT_THAT(Points(front, 50), Each(0.0f));
  SolvoXYZij* again = nullptr;
  EXPECT_EQ(manager.GetLatest(&again), 0);
  EXPECT_EQ(again, front);
}

TEST(PointCloudManager, TheReaderGetsOnlyTheNewerOfTwoUnreadClouds) {
  PointCloudManager manager(10);
  ASSERT_TRUE(manager.Update(Cloud(10, 1.0f, 1.0).cloud));
  ASSERT_TRUE(manager.Update(Cloud(4, 2.0f, 2.0).cloud));
  SolvoXYZij* front = nullptr;
  EXPECT_EQ(manager.GetLatest(&front), 1);
  EXPECT_EQ(front->timestamp, 2.0);
  EXPECT_EQ(front->point_count, 4u);
  EXPECT_THAT(Points(front, 4), Each(2.0f));
}

TEST(PointCloudManager, ACloudNoNewerThanTheFrontNeverReachesIt) {
  PointCloudManager manager(10);
  SolvoXYZij* front = nullptr;
  manager.Update(Cloud(3, 5.0f, 5.0).cloud);
  ASSERT_EQ(manager.GetLatest(&front), 1);
  for (double stale : {5.0, 4.0}) {
    EXPECT_TRUE(manager.Update(Cloud(6, 9.0f, stale).cloud));
    EXPECT_EQ(manager.GetLatest(&front), 0);
    EXPECT_EQ(front->timestamp, 5.0);
    EXPECT_EQ(front->point_count, 3u);
    EXPECT_THAT(Points(front, 3), Each(5.0f));
  }
}

TEST(PointCloudManager, RefusesACloudWithoutPointsWithOneLineAndChangesNothing) {
  PointCloudManager manager(10);
  SolvoXYZij* front = nullptr;
  manager.Update(Cloud(2, 1.0f, 1.0).cloud);
  ASSERT_EQ(manager.GetLatest(&front), 1);
  Cloud empty(0, 0.0f, 2.0);
  Cloud without_array(3, 0.0f, 2.0);
  without_array.cloud.xyz = nullptr;
  for (const SolvoXYZij* refused : {&empty.cloud, &without_array.cloud}) {
    logging::LogCapture capture;
    EXPECT_FALSE(manager.Update(*refused));
    EXPECT_THAT(capture.Texts(), ElementsAre("No data in callback."));
    EXPECT_EQ(manager.GetLatest(&front), 0);
  }
  EXPECT_EQ(front->point_count, 2u);
}

TEST(PointCloudManager, HandsOutZeroServiceWordsWhateverTheIncomingCloudsCarried) {
  PointCloudManager manager(10);
  for (int update = 1; update <= 4; ++update) {
    manager.Update(Cloud(5, 1.0f, update).cloud);
    SolvoXYZij* front = nullptr;
    manager.GetLatest(&front);
    EXPECT_EQ(front->service_word, 0u);
    EXPECT_THAT(front->tail_words, ElementsAre(0u, 0u, 0u, 0u));
  }
}

// Each cloud carries its sequence number in every coordinate, as its time stamp and in its point
// count: a cloud read while being written would mix two numbers.
TEST(PointCloudManager, OneWriterAndOneReaderSeeWholeCloudsInOrder) {
  constexpr uint32_t kClouds = 20000, kCapacity = 1000;
  auto count_of = [](uint32_t sequence) { return 1 + sequence % kCapacity; };
  PointCloudManager manager(kCapacity);
  std::atomic<bool> writer_done{false};
  std::thread writer([&] {
    Cloud incoming(kCapacity, 0.0f, 0.0);
    for (uint32_t sequence = 1; sequence <= kClouds; ++sequence) {
      std::fill(incoming.points.begin(), incoming.points.end(), static_cast<float>(sequence));
      incoming.cloud.point_count = count_of(sequence);
      incoming.cloud.timestamp = sequence;
      manager.Update(incoming.cloud);
    }
    writer_done.store(true, std::memory_order_release);
  });

  uint32_t last = 0, torn = 0, backwards = 0;
  for (;;) {
    // Once the writer is done, the next read must find its last cloud.
    const bool done = writer_done.load(std::memory_order_acquire);
    SolvoXYZij* front = nullptr;
    manager.GetLatest(&front);
    const auto sequence = static_cast<uint32_t>(front->timestamp);
    if (sequence > 0) {
      torn += front->point_count != count_of(sequence);
      for (float value : Points(front, front->point_count)) {
        torn += value != static_cast<float>(sequence);
      }
    }
    backwards += sequence < last;
    last = sequence;
    if (done) break;
  }
  writer.join();
  EXPECT_EQ(torn, 0u);
  EXPECT_EQ(backwards, 0u);
  EXPECT_EQ(last, kClouds);
}

TEST(PointCloudManagerDeathTest, EndsOnWhatOnlyABrokenCallerCanPass) {
  EXPECT_DEATH(PointCloudManager(0), "Check failed: capacity > 0");
  PointCloudManager manager(2);
  EXPECT_DEATH(manager.Update(Cloud(3, 1.0f, 1.0).cloud), "point_count <= capacity_ 3 > 2");
  EXPECT_DEATH(manager.GetLatest(nullptr), "'front_point_cloud' Must be non NULL");
}

}  // namespace
}  // namespace depth_interpolation
