// Reading ahead for the viewer: every wanted picture is read once, and the picture asked
// for never shares the background thread's helpers.
#include "viewer/ReadAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "imaging/CodecClient.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;

// Waits until the background thread has nothing more to read for the wanted paths.
void Settle(PictureReadAhead& ahead, const std::vector<std::string>& paths) {
  for (int i = 0; i < 500; ++i) {
    bool all = true;
    for (const std::string& path : paths) all = all && ahead.Peek(path) != nullptr;
    if (all) break;
    std::this_thread::sleep_for(10ms);
  }
}

TEST(ReadAhead, APictureWhoseFittedSideRoundsToZeroIsFittedAtOnePixelAndReadOnce) {
  std::atomic<int> reads{0};
  PictureReadAhead ahead([&](const std::string&, Bitmap& out) {
    ++reads;
    out.SetSize(3000, 1);
    out.Fill(clRed);
    return true;
  });
  ahead.SetFitBox(1800, 1000);
  ahead.Keep({"/wide"});
  Settle(ahead, {"/wide"});
  const auto picture = ahead.Peek("/wide");
  ASSERT_TRUE(picture && picture->ok);
  EXPECT_EQ(picture->width, 3000);
  EXPECT_EQ(picture->fitted.Width(), 1800);
  EXPECT_EQ(picture->fitted.Height(), 1);
  EXPECT_EQ(picture->fitted.Pixel(900, 0), clRed);
  EXPECT_TRUE(picture->FittedFor(1800, 1000));
  std::this_thread::sleep_for(300ms);  // a thread that reads it again would by now
  EXPECT_EQ(reads.load(), 1);
  EXPECT_EQ(ahead.ReadLog().size(), 1u);

  Bitmap tall(1, 5000);
  tall.Fill(clBlue);
  ASSERT_TRUE(FitPictureToBox(tall, 1800, 1000));
  EXPECT_EQ(tall.Width(), 1);
  EXPECT_EQ(tall.Height(), 1000);
}

TEST(ReadAhead, TheShownPictureNeverSharesTheReadAheadHelpers) {
  std::mutex mutex;
  std::map<std::string, CodecClient*> clients;
  std::atomic<bool> neighbourInside{false}, release{false};
  PictureReadAhead ahead([&](const std::string& path, Bitmap& out) {
    {
      std::lock_guard lock(mutex);
      clients[path] = &ThreadCodecClient();
    }
    if (path == "/neighbour") {
      neighbourInside = true;
      while (!release) std::this_thread::sleep_for(1ms);
    }
    out.SetSize(4, 4);
    out.Fill(clLime);
    return true;
  });
  ahead.Keep({"/neighbour"});
  for (int i = 0; i < 500 && !neighbourInside; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(neighbourInside);
  // Shown while the neighbour's decode still runs: read at once, on another helper.
  EXPECT_TRUE(ahead.Get("/shown")->ok);
  release = true;
  Settle(ahead, {"/neighbour"});
  std::lock_guard lock(mutex);
  ASSERT_TRUE(clients.count("/shown") && clients.count("/neighbour"));
  EXPECT_EQ(clients["/shown"], &ThreadCodecClient());  // the caller's own
  EXPECT_NE(clients["/neighbour"], clients["/shown"]);
  EXPECT_NE(clients["/neighbour"], &DefaultCodecClient());
}

}  // namespace
}  // namespace quorvane
