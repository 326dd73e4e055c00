/* A C application of the installed library: it sees the library's log lines through its own
 * callback, finds the same words in the last error text, fixes the touch's random seed through
 * the tuning flags, and checks the version. It prints only what a second run must repeat. */
#define _POSIX_C_SOURCE 200809L
#include <pthread.h>
#include <solvo_support_api.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef SOLVO_PACKAGE_VERSION
#define SOLVO_PACKAGE_VERSION ""
#endif
#ifndef SOLVO_PC_VERSION
#define SOLVO_PC_VERSION ""
#endif

#define TEXT(x) #x
#define VERSION_TEXT(major, minor, patch) TEXT(major) "." TEXT(minor) "." TEXT(patch)

static int failures = 0;

static void Check(int condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

/* ---- The lines the callback received, on the library's logging thread. */

enum { kMaxLines = 16, kMaxText = 512 };

typedef struct Line {
  int priority;
  char tag[16];
  char text[kMaxText];
} Line;

typedef struct Received {
  pthread_mutex_t mutex;
  int count;
  Line lines[kMaxLines];
} Received;

static void Receive(int priority, const char* tag, const char* text, void* user_data) {
  Received* received = (Received*)user_data;
  pthread_mutex_lock(&received->mutex);
  if (received->count < kMaxLines) {
    Line* line = &received->lines[received->count];
    line->priority = priority;
    snprintf(line->tag, sizeof line->tag, "%s", tag);
    snprintf(line->text, sizeof line->text, "%s", text);
  }
  ++received->count;
  pthread_mutex_unlock(&received->mutex);
}

static int ReceivedCount(Received* received) {
  pthread_mutex_lock(&received->mutex);
  const int count = received->count;
  pthread_mutex_unlock(&received->mutex);
  return count;
}

/* Whether `text` is "<file>.cc:<line> " + `message` + "\n", the form the Android log receives. */
static int IsLineOf(const char* text, const char* message) {
  const char* blank = strchr(text, ' ');
  const char* colon = strchr(text, ':');
  if (blank == NULL || colon == NULL || colon > blank || blank - colon < 2) return 0;
  for (const char* digit = colon + 1; digit < blank; ++digit) {
    if (*digit < '0' || *digit > '9') return 0;
  }
  const size_t length = strlen(message);
  return strncmp(blank + 1, message, length) == 0 && strcmp(blank + 1 + length, "\n") == 0;
}

static void CheckLogCallbackAndLastErrorText(void) {
  static Received received = {PTHREAD_MUTEX_INITIALIZER, 0, {{0, "", ""}}};
  const char* const kRefusal =
      "SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij*) point_cloud is nullptr.";

  Check(SolvoSupport_setLogCallback(Receive, &received) == SOLVO_STATUS_OK, "setLogCallback");
  Check(SolvoSupport_freeXYZij(NULL) == SOLVO_STATUS_BAD_ARGUMENT, "freeXYZij(NULL) is refused");
  Check(strcmp(SolvoSupport_getLastErrorText(), kRefusal) == 0, "the last error text");
  Check(SolvoSupport_flushLog() == SOLVO_STATUS_OK, "flushLog");
  Check(ReceivedCount(&received) == 1, "one line after the refusal");
  Check(received.lines[0].priority == 6, "the error priority");
  Check(strcmp(received.lines[0].tag, "solvo") == 0, "the tag");
  Check(IsLineOf(received.lines[0].text, kRefusal), "the line's text");

  /* A call that writes no line leaves no text behind. */
  SolvoXYZij cloud = {0};
  Check(SolvoSupport_freeXYZij(&cloud) == SOLVO_STATUS_OK, "freeXYZij of an empty record");
  Check(strcmp(SolvoSupport_getLastErrorText(), "") == 0, "no text after a call without a line");

  Check(SolvoSupport_setLogCallback(NULL, NULL) == SOLVO_STATUS_OK, "removing the callback");
  SolvoSupport_freeXYZij(NULL);
  SolvoSupport_flushLog();
  Check(ReceivedCount(&received) == 1, "no line once the callback is removed");
}

/* ---- Tuning flags. */

static void ExpectFlag(const char* name, const char* expected) {
  char value[32];
  Check(SolvoSupport_getTuningFlag(name, value, sizeof value) == SOLVO_STATUS_OK, name);
  Check(strcmp(value, expected) == 0, expected);
}

static void ExpectRefusal(SolvoErrorType status, const char* text) {
  Check(status == SOLVO_STATUS_BAD_ARGUMENT, "a refusal");
  if (strcmp(SolvoSupport_getLastErrorText(), text) != 0) {
    fprintf(stderr, "FAILED: expected '%s', got '%s'\n", text, SolvoSupport_getLastErrorText());
    ++failures;
  }
}

static void CheckTuningFlagRefusals(void) {
  static Received received = {PTHREAD_MUTEX_INITIALIZER, 0, {{0, "", ""}}};
  const char* const kSet = "SolvoErrorType SolvoSupport_setTuningFlag(const char*, const char*)";
  char text[256];

  SolvoSupport_setLogCallback(Receive, &received);
  snprintf(text, sizeof text, "%s no tuning flag is named 'flagfile'.", kSet);
  ExpectRefusal(SolvoSupport_setTuningFlag("flagfile", "/nonexistent"), text);
  snprintf(text, sizeof text, "%s 'twelve' is not a valid value of random_generator_seed.", kSet);
  ExpectRefusal(SolvoSupport_setTuningFlag("random_generator_seed", "twelve"), text);
  snprintf(text, sizeof text, "%s '-1' is not a valid value of mesh_max_angle_normal_weight.",
           kSet);
  ExpectRefusal(SolvoSupport_setTuningFlag("mesh_max_angle_normal_weight", "-1"), text);
  SolvoSupport_flushLog();
  SolvoSupport_setLogCallback(NULL, NULL);
  Check(ReceivedCount(&received) == 3, "one line for each refusal");
  ExpectFlag("mesh_max_angle_normal_weight", "1000000");

  char small[4] = "abc";
  ExpectRefusal(SolvoSupport_getTuningFlag("mesh_max_angle_normal_weight", small, sizeof small),
                "SolvoErrorType SolvoSupport_getTuningFlag(const char*, char*, size_t) "
                "value_size is too small (8 needed).");
  Check(strcmp(small, "abc") == 0, "a value too small for the text is left untouched");
}

/* ---- A touch on a noisy floor, twice with one seed. */

enum { kWidth = 320, kHeight = 240 };

/* The floor 1.5 m below a camera that looks along it, with up to 3 mm of noise from a fixed
 * sequence. */
static void FillNoisyFloor(SolvoXYZij* cloud) {
  uint32_t state = 12345u;
  uint32_t count = 0;
  for (int row = kHeight / 2 + 4; row < kHeight; ++row) {
    for (int column = 0; column < kWidth; ++column) {
      state = state * 1664525u + 1013904223u;
      const double noise = ((double)(state >> 8) / 16777216.0 - 0.5) * 0.006;
      const double z = 1.5 * 260.0 / (row - kHeight / 2.0);
      cloud->xyz[count][0] = (float)(z * (column - kWidth / 2.0) / 260.0);
      cloud->xyz[count][1] = (float)(1.5 + noise);
      cloud->xyz[count][2] = (float)z;
      ++count;
    }
  }
  cloud->point_count = count;
}

static void Touch(const SolvoXYZij* cloud, double plane[4], double point[3]) {
  SolvoCameraIntrinsics intrinsics;
  memset(&intrinsics, 0, sizeof intrinsics);
  intrinsics.width = kWidth;
  intrinsics.height = kHeight;
  intrinsics.fx = intrinsics.fy = 260.0;
  intrinsics.cx = kWidth / 2.0;
  intrinsics.cy = kHeight / 2.0;
  const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float uv[2] = {0.5f, 0.8f};
  Check(SolvoSupport_fitPlaneModelNearClickMatrixTransform(cloud, &intrinsics, identity, uv, point,
                                                           plane) == SOLVO_STATUS_OK,
        "the touch finds the floor");
}

static void CheckRepeatableTouch(void) {
  Check(SolvoSupport_setTuningFlag("random_generator_use_random_seed", "false") == SOLVO_STATUS_OK,
        "setting random_generator_use_random_seed");
  Check(SolvoSupport_setTuningFlag("random_generator_seed", "2718") == SOLVO_STATUS_OK,
        "setting random_generator_seed");
  ExpectFlag("random_generator_use_random_seed", "false");
  ExpectFlag("random_generator_seed", "2718");

  SolvoXYZij cloud = {0};
  if (SolvoSupport_createXYZij(kWidth * kHeight, &cloud) != SOLVO_STATUS_OK) exit(1);
  FillNoisyFloor(&cloud);
  double first_plane[4], first_point[3], second_plane[4], second_point[3];
  Touch(&cloud, first_plane, first_point);
  Touch(&cloud, second_plane, second_point);
  Check(memcmp(first_plane, second_plane, sizeof first_plane) == 0, "bit-identical planes");
  Check(memcmp(first_point, second_point, sizeof first_point) == 0, "bit-identical points");
  /* Hexadecimal: a second process must print exactly these digits. */
  printf("plane %a %a %a %a, point %a %a %a\n", first_plane[0], first_plane[1], first_plane[2],
         first_plane[3], first_point[0], first_point[1], first_point[2]);
  SolvoSupport_freeXYZij(&cloud);
}

/* ---- Version and status texts. */

static void CheckVersionAndStatusTexts(void) {
  const char* version = SolvoSupport_getVersionString();
  Check(strcmp(version, VERSION_TEXT(SOLVO_SUPPORT_VERSION_MAJOR, SOLVO_SUPPORT_VERSION_MINOR,
                                     SOLVO_SUPPORT_VERSION_PATCH)) == 0,
        "the version string equals the macros");
  Check(strcmp(version, SOLVO_PACKAGE_VERSION) == 0, "the version string equals the package's");
  Check(strcmp(version, SOLVO_PC_VERSION) == 0, "the version string equals the .pc file's");
  printf("version %s\n", version);

  Check(strcmp(SolvoSupport_getStatusString(SOLVO_STATUS_OK), "success") == 0, "OK's text");
  Check(strcmp(SolvoSupport_getStatusString((SolvoErrorType)7), "unknown status") == 0,
        "an unknown status");
}

int main(void) {
  CheckVersionAndStatusTexts();
  CheckLogCallbackAndLastErrorText();
  CheckTuningFlagRefusals();
  CheckRepeatableTouch();
  if (failures != 0) {
    fprintf(stderr, "%d checks failed\n", failures);
    return 1;
  }
  return 0;
}
