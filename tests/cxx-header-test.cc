// The public header as a C++17 program sees it, compiled with every warning as an error: records,
// enumerations, the callback types and a call of each kind of function.
#include <solvo_support_api.h>

#include <cstdio>

namespace {

void PrintLine(int priority, const char* tag, const char* text, void* user_data) {
  *static_cast<int*>(user_data) += 1;
  std::printf("%d %s %s", priority, tag, text);
}

int GoOn(float, void*) { return 0; }

}  // namespace

int main() {
  int lines = 0;
  if (SolvoSupport_setLogCallback(PrintLine, &lines) != SOLVO_STATUS_OK) return 1;
  if (SolvoSupport_freeXYZij(nullptr) != SOLVO_STATUS_BAD_ARGUMENT) return 1;
  SolvoSupport_flushLog();
  SolvoSupport_setLogCallback(nullptr, nullptr);
  if (lines != 1) return 1;

  char value[32];
  if (SolvoSupport_getTuningFlag("random_generator_seed", value, sizeof value) != SOLVO_STATUS_OK) {
    return 1;
  }
  SolvoMesh_Experimental input{};
  SolvoMesh_Experimental output{};
  const SolvoSupportProgressCallback progress = GoOn;
  if (SolvoSupport_createSimplifiedMeshWithProgress(&input, 0, &output, progress, nullptr) !=
      SOLVO_STATUS_OK) {
    return 1;
  }
  SolvoSupport_freeMesh(&output);
  const SolvoCoordinateConvention convention = SOLVO_CONVENTION_RIGHT_HANDED_Y_UP;
  std::printf("%s %d %d.%d.%d %s\n", SolvoSupport_getVersionString(), static_cast<int>(convention),
              SOLVO_SUPPORT_VERSION_MAJOR, SOLVO_SUPPORT_VERSION_MINOR, SOLVO_SUPPORT_VERSION_PATCH,
              SolvoSupport_getStatusString(SOLVO_STATUS_FAILED));
  return 0;
}
