/* Writes log lines to standard error in the brief form "E/tag: text", as the device log shows them.
 */
#include <android/log.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char PriorityLetter(int prio) {
  static const char kLetters[] = "??VDIWEFS";
  return (prio >= 0 && prio <= ANDROID_LOG_SILENT) ? kLetters[prio] : '?';
}

int __android_log_write(int prio, const char* tag, const char* text) {
  if (tag == NULL) tag = "";
  if (text == NULL) text = "";
  size_t length = strlen(text);
  /* The support library ends each message with a newline; do not add a second one. */
  const char* end = (length > 0 && text[length - 1] == '\n') ? "" : "\n";
  /* One fprintf per line: the C library locks the stream, so lines of two threads never mix. */
  return fprintf(stderr, "%c/%s: %s%s", PriorityLetter(prio), tag, text, end);
}

static int VPrint(int prio, const char* tag, const char* fmt, va_list args) {
  char stack_buffer[1024];
  va_list copy;
  va_copy(copy, args);
  int needed = vsnprintf(stack_buffer, sizeof stack_buffer, fmt ? fmt : "", copy);
  va_end(copy);
  if (needed < 0) return needed;
  if ((size_t)needed < sizeof stack_buffer) return __android_log_write(prio, tag, stack_buffer);
  char* heap_buffer = (char*)malloc((size_t)needed + 1);
  if (heap_buffer == NULL) return -1;
  vsnprintf(heap_buffer, (size_t)needed + 1, fmt, args);
  int result = __android_log_write(prio, tag, heap_buffer);
  free(heap_buffer);
  return result;
}

int __android_log_print(int prio, const char* tag, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int result = VPrint(prio, tag, fmt, args);
  va_end(args);
  return result;
}

void __android_log_assert(const char* cond, const char* tag, const char* fmt, ...) {
  if (fmt != NULL) {
    va_list args;
    va_start(args, fmt);
    VPrint(ANDROID_LOG_FATAL, tag, fmt, args);
    va_end(args);
  } else {
    __android_log_write(ANDROID_LOG_FATAL, tag, cond ? cond : "assertion failed");
  }
  fflush(stderr);
  abort();
}
