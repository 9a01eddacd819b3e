// Extracts a payload archive the way the installer does and prints what it
// took: extract_bench STORED.7z DEST
// STORED.7z is an archive in the payload's stored form (bytes 0 and 1
// exchanged). It is read as the installer reads its resource from its own
// file: through a window of the file that presents the standard signature.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "core/handles.h"
#include "payload/allocator.h"
#include "payload/archive.h"
#include "payload/extract.h"
#include "payload/seek_streams.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: extract_bench STORED.7z DEST\n");
    return 2;
  }
  kw::UniqueHandle file(CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.Valid()) {
    std::fprintf(stderr, "cannot open the archive\n");
    return 1;
  }
  LARGE_INTEGER size;
  GetFileSizeEx(file.Get(), &size);
  const auto archiveSize = static_cast<std::uint64_t>(size.QuadPart);

  // The largest folder, for the memory budget, and the time decoding alone
  // takes (every folder once, nothing written).
  unsigned long long largestFolder = 0, unpacked = 0;
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  {
    kw::FileSeekStream stream(file.Get(), 0, archiveSize);
    stream.PresentSwappedSignature();
    kw::OpenedArchive archive;
    if (archive.Open(stream.Stream()) != SZ_OK) {
      std::fprintf(stderr, "not a payload archive\n");
      return 1;
    }
    const CSzArEx& db = archive.Db();
    for (UInt32 f = 0; f < db.db.NumFolders; ++f) {
      const unsigned long long folder = SzAr_GetFolderUnpackSize(&db.db, f);
      largestFolder = folder > largestFolder ? folder : largestFolder;
      unpacked += folder;
    }
    UInt32 cached = 0xFFFFFFFF;
    Byte* bytes = nullptr;
    size_t bytesSize = 0, offset = 0, itemSize = 0;
    for (UInt32 i = 0; i < db.NumFiles; ++i) {
      if (SzArEx_IsDir(&db, i) || db.FileToFolder[i] == 0xFFFFFFFF || db.FileToFolder[i] == cached) continue;
      if (SzArEx_Extract(&db, archive.Look(), i, &cached, &bytes, &bytesSize, &offset, &itemSize, &kw::kDecoderAlloc,
                         &kw::kDecoderAlloc) != SZ_OK)
        return 1;
    }
    ISzAlloc_Free(&kw::kDecoderAlloc, bytes);
  }
  QueryPerformanceCounter(&end);
  const double decodeSeconds = Seconds(start, end);

  QueryPerformanceCounter(&start);
  kw::FileSeekStream stream(file.Get(), 0, archiveSize);
  if (!stream.PresentSwappedSignature()) return 1;
  const SRes result = kw::ExtractArchive(stream.Stream(), argv[2], nullptr, nullptr);
  QueryPerformanceCounter(&end);

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("result %d\nseconds %.3f\ndecode_seconds %.3f\narchive_bytes %lld\nunpacked_bytes %llu\nlargest_folder_bytes %llu\n"
              "peak_working_set_bytes %lu\npeak_private_bytes %lu\n",
              result, Seconds(start, end), decodeSeconds, size.QuadPart, unpacked, largestFolder,
              static_cast<unsigned long>(memory.PeakWorkingSetSize),
              static_cast<unsigned long>(memory.PeakPagefileUsage));
  return result == SZ_OK ? 0 : 1;
}
