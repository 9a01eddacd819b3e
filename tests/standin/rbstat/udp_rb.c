#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define KW_STANDIN_TRANSPORT
#include "udp_rb.h"

static void append(const char* text, int length) {
  wchar_t path[32768];
  DWORD written = 0;
  HANDLE file;
  if (!GetEnvironmentVariableW(L"KW_STANDIN_LOG", path, 32768) || !path[0]) return;
  /* One write per line: lines of concurrent callers never interleave. */
  file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, text, (DWORD)length, &written, NULL);
  CloseHandle(file);
}

void standin_record(const char* format, ...) {
  char suffix[32];
  va_list args;
  int length, suffixLength;
  char* line;
  va_start(args, format);
  length = vsnprintf(NULL, 0, format, args);
  va_end(args);
  if (length < 0) return;
  suffixLength = snprintf(suffix, sizeof suffix, " tid=%lu\n", (unsigned long)GetCurrentThreadId());
  line = (char*)malloc((size_t)length + (size_t)suffixLength + 1);
  if (!line) return;
  va_start(args, format);
  vsnprintf(line, (size_t)length + 1, format, args);
  va_end(args);
  memcpy(line + length, suffix, (size_t)suffixLength + 1);
  append(line, length + suffixLength);
  free(line);
}

int standin_result(const char* key, int fallback) {
  char settings[4096];
  const size_t keyLength = strlen(key);
  const char* entry;
  DWORD length = GetEnvironmentVariableA("KW_STANDIN_RESULTS", settings, sizeof settings);
  if (length == 0 || length >= sizeof settings) return fallback;
  for (entry = settings; *entry;) {
    const char* end = strchr(entry, ';');
    if (!end) end = entry + strlen(entry);
    if ((size_t)(end - entry) > keyLength && strncmp(entry, key, keyLength) == 0 && entry[keyLength] == '=')
      return atoi(entry + keyLength + 1);
    entry = *end ? end + 1 : end;
  }
  return fallback;
}

void standin_maybe_sleep(const char* name) {
  char key[128];
  int ms;
  snprintf(key, sizeof key, "%s_sleep_ms", name);
  ms = standin_result(key, 0);
  if (ms <= 0) return;
  Sleep((DWORD)ms);
  standin_record("%s returns", name);
}
