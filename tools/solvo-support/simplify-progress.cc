// Mesh simplification through the library, with its progress shown on the terminal.
#include "simplify-progress.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace solvo_cli {
namespace {

using Clock = std::chrono::steady_clock;

// One line on standard error, rewritten in place, cleared when the work ends.
class ProgressLine {
 public:
  explicit ProgressLine(bool enabled) : enabled_(enabled && ::isatty(STDERR_FILENO)) {}
  ~ProgressLine() {
    if (shown_) std::fprintf(stderr, "\r%-60s\r", "");
  }

  // `fraction` of the work done, or below 0 when only the elapsed time is known.
  void Show(double fraction) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    if (!enabled_ || elapsed < 0.5) return;
    if (fraction < 0.0) {
      std::fprintf(stderr, "\rsimplifying... %.1f s", elapsed);
    } else {
      const int filled = static_cast<int>(fraction * 30.0 + 0.5);
      std::fprintf(stderr, "\rsimplifying [%.*s%*s] %3d%%  %.1f s", filled,
                   "##############################", 30 - filled, "",
                   static_cast<int>(fraction * 100.0 + 0.5), elapsed);
    }
    std::fflush(stderr);
    shown_ = true;
  }

 private:
  const bool enabled_;
  const Clock::time_point start_ = Clock::now();
  bool shown_ = false;
};

}  // namespace

void SimplifyShowingProgress(const SolvoMesh_Experimental& input, uint32_t target_faces,
                             bool show_progress, MeshRecord* output) {
  ProgressLine line(show_progress);
  // The plain entry reports no fraction: a ticker shows the elapsed time until it returns.
  // TODO(#10): call SolvoSupport_createSimplifiedMeshWithProgress once the library exports it,
  // with a callback that calls line.Show(fraction), and drop the ticker.
  std::mutex mutex;
  std::condition_variable done_changed;
  bool done = false;
  std::thread ticker([&] {
    std::unique_lock<std::mutex> lock(mutex);
    while (!done_changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return done; })) {
      line.Show(-1.0);
    }
  });
  const SolvoErrorType status =
      SolvoSupport_createSimplifiedMesh(&input, target_faces, output->get());
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  done_changed.notify_one();
  ticker.join();
  CheckStatus(status, "simplifying the mesh");
}

}  // namespace solvo_cli
