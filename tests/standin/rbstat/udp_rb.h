/* The stand-in's transport: instead of sending anything, it appends one line
 * per call to the file named by KW_STANDIN_LOG and answers from
 * KW_STANDIN_RESULTS ("name=value;name=value", decimal values). */
#ifndef KW_STANDIN_UDP_RB_H
#define KW_STANDIN_UDP_RB_H

#ifdef KW_STANDIN_TRANSPORT
#define KW_STANDIN_API __declspec(dllexport)
#else
#define KW_STANDIN_API __declspec(dllimport)
#endif

/* Appends the formatted text, " tid=" and the calling thread's id, and a
 * line feed. Does nothing without KW_STANDIN_LOG. */
KW_STANDIN_API void standin_record(const char* format, ...);

/* The value configured for key, or fallback. */
KW_STANDIN_API int standin_result(const char* key, int fallback);

/* Sleeps for the milliseconds configured as "<name>_sleep_ms" and then
 * records "<name> returns"; does nothing when none is configured. */
KW_STANDIN_API void standin_maybe_sleep(const char* name);

#endif
