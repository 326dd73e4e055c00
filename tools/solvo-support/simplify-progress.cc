// Mesh simplification through the library, with its progress shown on the terminal.
#include "simplify-progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

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

  // `fraction` of the work done, from 0 to 1.
  void Show(double fraction) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    if (!enabled_ || elapsed < 0.5) return;
    const int filled = static_cast<int>(fraction * 30.0 + 0.5);
    std::fprintf(stderr, "\rsimplifying [%.*s%*s] %3d%%  %.1f s", filled,
                 "##############################", 30 - filled, "",
                 static_cast<int>(fraction * 100.0 + 0.5), elapsed);
    std::fflush(stderr);
    shown_ = true;
  }

 private:
  const bool enabled_;
  const Clock::time_point start_ = Clock::now();
  bool shown_ = false;
};

// Called on this thread from inside the library: draws the bar; never cancels.
int ShowFraction(float fraction_done, void* user_data) {
  static_cast<ProgressLine*>(user_data)->Show(fraction_done);
  return 0;
}

}  // namespace

void SimplifyShowingProgress(const SolvoMesh_Experimental& input, uint32_t target_faces,
                             bool show_progress, MeshRecord* output) {
  ProgressLine line(show_progress);
  const SolvoErrorType status = SolvoSupport_createSimplifiedMeshWithProgress(
      &input, target_faces, output->get(), &ShowFraction, &line);
  CheckStatus(status, "simplifying the mesh");
}

}  // namespace solvo_cli
