// A program that defines the device log's print function receives the library's lines: the
// library reaches it through the dynamic linker, never through a private copy.
#include <solvo_support_api.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::atomic<int> lines_seen{0};
char last_line[2048];
std::atomic<bool> wrong_tag{false};

}  // namespace

extern "C" int __android_log_print(int prio, const char* tag, const char* fmt, ...) {
  if (std::strcmp(tag, "solvo") != 0 || prio != 6) wrong_tag = true;
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(last_line, sizeof last_line, fmt, args);
  va_end(args);
  lines_seen.fetch_add(1, std::memory_order_release);
  return 0;
}

int main() {
  if (SolvoSupport_freeXYZij(nullptr) != SOLVO_STATUS_BAD_ARGUMENT) return 1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (lines_seen.load(std::memory_order_acquire) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      std::fprintf(stderr, "no line reached this program's __android_log_print\n");
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const std::string expected =
      "SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij*) point_cloud is nullptr.\n";
  const std::string line = last_line;
  if (wrong_tag || line.size() < expected.size() ||
      line.compare(line.size() - expected.size(), expected.size(), expected) != 0) {
    std::fprintf(stderr, "unexpected line: %s\n", last_line);
    return 1;
  }
  std::printf("received: %s", last_line);
  return 0;
}
