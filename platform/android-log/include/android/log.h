/* The device's log interface: priorities and the three calls the support library makes. */
#ifndef ANDROID_LOG_H_
#define ANDROID_LOG_H_

#ifdef __cplusplus
extern "C" {
#endif

typedef enum android_LogPriority {
  ANDROID_LOG_UNKNOWN = 0,
  ANDROID_LOG_DEFAULT,
  ANDROID_LOG_VERBOSE,
  ANDROID_LOG_DEBUG,
  ANDROID_LOG_INFO,
  ANDROID_LOG_WARN,
  ANDROID_LOG_ERROR,
  ANDROID_LOG_FATAL,
  ANDROID_LOG_SILENT,
} android_LogPriority;

#if defined(__GNUC__)
#define ANDROID_LOG_EXPORT __attribute__((visibility("default")))
#define ANDROID_LOG_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#define ANDROID_LOG_NORETURN __attribute__((noreturn))
#else
#define ANDROID_LOG_EXPORT
#define ANDROID_LOG_PRINTF(fmt, args)
#define ANDROID_LOG_NORETURN
#endif

/* Writes `text` as one line of priority `prio` under `tag`. */
ANDROID_LOG_EXPORT int __android_log_write(int prio, const char* tag, const char* text);

/* Formats its arguments like printf and writes the result as one line. */
ANDROID_LOG_EXPORT int __android_log_print(int prio, const char* tag, const char* fmt, ...)
    ANDROID_LOG_PRINTF(3, 4);

/* Writes a fatal line and ends the process; never returns. */
ANDROID_LOG_EXPORT void __android_log_assert(const char* cond, const char* tag, const char* fmt,
                                             ...) ANDROID_LOG_PRINTF(3, 4) ANDROID_LOG_NORETURN;

#ifdef __cplusplus
}
#endif

#endif /* ANDROID_LOG_H_ */
