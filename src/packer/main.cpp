// kwpack: builds a branded installer from the prebuilt engine, a product
// folder (or a ready .7z), the three script sources, a skin folder, an icon
// and version fields. Every input is read and checked before anything is
// written; the output appears only complete, by renaming a finished file.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/encoding.h"
#include "packer/chunk.h"
#include "packer/folder.h"
#include "packer/pack_error.h"
#include "packer/payload_section.h"
#include "packer/resources.h"
#include "packer/seven_zip.h"
#include "packer/skin_zip.h"
#include "packer/stream_file.h"
#include "packer/symbol_table.h"
#include "payload/signature.h"

namespace {

using namespace kwpack;

const wchar_t kUsage[] =
    L"usage: kwpack --engine Engine.exe --out Setup.exe\n"
    L"              --global GLOBAL_VAR.lua --install INSTSCRIPT.lua --uninstall UNINSTSCRIPT.lua\n"
    L"              (--payload-dir FOLDER | --payload-7z ARCHIVE.7z) --skin-dir FOLDER\n"
    L"              [--icon app.ico] [--version a.b.c.d [--company T] [--product T]\n"
    L"              [--description T] [--copyright T]] [--payload-out payload.7z]\n"
    L"              [--solid-block-mib N]  (solid blocks of at most N MiB, default 64; 0: one per kind)\n";

const wchar_t* const kValueOptions[] = {L"engine", L"out", L"global", L"install", L"uninstall", L"payload-dir",
                                        L"payload-7z", L"skin-dir", L"icon", L"version", L"company", L"product",
                                        L"description", L"copyright", L"payload-out",
                                        L"solid-block-mib"};

void Print(const std::wstring& text) {
  const std::string bytes = kw::WideToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

// Owner of the temporary file beside the output: deleted unless renamed.
class PendingFile {
 public:
  explicit PendingFile(const std::wstring& target) : target_(target) {
    const std::size_t slash = target.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? L"." : target.substr(0, slash);
    if (folder.empty() || folder.back() == L':') folder += L"\\";
    std::wstring name(MAX_PATH + 1, L'\0');
    if (folder.size() > MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"kwp", 0, name.data()))
      Fail(L"Output cannot be written: " + target);
    path_ = name.c_str();
  }
  ~PendingFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  const std::wstring& Path() const { return path_; }
  void Finish() {
    if (!MoveFileExW(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      Fail(L"Output cannot be written: " + target_ + L" (error " + std::to_wstring(GetLastError()) + L")");
    path_.clear();
  }

 private:
  std::wstring target_, path_;
};

// The installer decodes each solid block whole in memory, in a 32-bit
// process: blocks stay small by default.
std::uint64_t SolidBlockBytes(const std::map<std::wstring, std::wstring>& options) {
  const auto found = options.find(L"solid-block-mib");
  if (found == options.end()) return kDefaultSolidBlockBytes;
  const std::wstring& text = found->second;
  const bool digits = !text.empty() && text.size() <= 4 && text.find_first_not_of(L"0123456789") == std::wstring::npos;
  if (!digits) Fail(L"--solid-block-mib must be a number of MiB up to 4095 (0: one solid block per kind): " + text);
  const std::uint64_t mib = std::stoull(text);
  if (mib > 4095) Fail(L"--solid-block-mib must be a number of MiB up to 4095 (0: one solid block per kind): " + text);
  return mib << 20;
}

// The payload in its standard form, in a file: written by the packer into a
// pending file, or a ready archive given on the command line.
struct Payload {
  std::optional<PendingFile> written;
  std::wstring path;
  std::uint64_t size = 0;
};

void BuildPayload(const std::map<std::wstring, std::wstring>& options, Payload& payload) {
  const bool fromFolder = options.count(L"payload-dir") != 0;
  if (fromFolder == (options.count(L"payload-7z") != 0)) Fail(L"Give one of --payload-dir and --payload-7z");
  // With --payload-out the payload is written beside that name and renamed
  // to it at the end; otherwise beside the output, and deleted.
  const bool keep = options.count(L"payload-out") != 0;
  if (fromFolder) {
    const std::vector<FolderEntry> entries = ListFolder(options.at(L"payload-dir"), L"Product folder");
    const std::uint64_t blockBytes = SolidBlockBytes(options);
    payload.written.emplace(options.at(keep ? L"payload-out" : L"out"));
    payload.path = payload.written->Path();
    payload.size = Write7z(entries, blockBytes, payload.path);
    return;
  }
  payload.path = options.at(L"payload-7z");
  if (!Has7zSignature(payload.path)) Fail(L"Payload archive is not a 7z archive: " + payload.path);
  payload.size = InputFile(payload.path, L"Payload archive").Size();
  if (keep) {
    payload.written.emplace(options.at(L"payload-out"));
    if (!CopyFileW(payload.path.c_str(), payload.written->Path().c_str(), FALSE))
      Fail(L"Output cannot be written: " + options.at(L"payload-out"));
  }
}

int Pack(const std::map<std::wstring, std::wstring>& options) {
  for (const wchar_t* required : {L"engine", L"out", L"global", L"install", L"uninstall", L"skin-dir"})
    if (!options.count(required)) Fail(std::wstring(L"Missing --") + required + L"\n" + kUsage);
  const auto option = [&](const wchar_t* name) { return options.count(name) ? options.at(name) : std::wstring(); };

  const std::string global = CompileChunk(option(L"global"));
  const std::string install = CompileChunk(option(L"install"));
  const std::string uninstall = CompileChunk(option(L"uninstall"));
  const std::string skin = BuildZip(ListFolder(option(L"skin-dir"), L"Skin folder"));
  const std::string icon = options.count(L"icon") ? ReadWholeFile(option(L"icon"), L"Icon") : std::string();
  VersionFields version;
  if (options.count(L"version") && !ParseVersion(option(L"version"), version.number))
    Fail(L"Version must read a.b.c.d (numbers up to 65535): " + option(L"version"));
  version.company = option(L"company");
  version.product = option(L"product");
  version.description = option(L"description");
  version.copyright = option(L"copyright");
  for (const wchar_t* field : {L"company", L"product", L"description", L"copyright"})
    if (options.count(field) && !options.count(L"version"))
      Fail(std::wstring(L"--") + field + L" needs --version: the version block is written whole");
  if (GetFileAttributesW(option(L"engine").c_str()) == INVALID_FILE_ATTRIBUTES)
    Fail(L"Engine cannot be read: " + option(L"engine"));
  // The payload last: the quick checks come before the long compression.
  Payload payload;
  BuildPayload(options, payload);

  // Both outputs are finished in full before either takes its name.
  PendingFile output(option(L"out"));
  if (!CopyFileW(option(L"engine").c_str(), output.Path().c_str(), FALSE))
    Fail(L"Output cannot be written: " + option(L"out"));
  {
    ResourceWriter writer(option(L"engine"), output.Path());
    writer.Write(L"LUA", L"GLOBAL_VAR.LUAC", global);
    writer.Write(L"LUA", L"INSTSCRIPT.LUAC", install);
    writer.Write(L"LUA", L"UNINSTSCRIPT.LUAC", uninstall);
    writer.Write(kw::kPayloadResourceType, L"APP.7Z", kPayloadPlaceholder);
    writer.Write(L"ZIP", MAKEINTRESOURCEW(249), skin);
    if (options.count(L"icon")) writer.WriteIcon(icon, option(L"icon"));
    if (options.count(L"version")) writer.Write(RT_VERSION, MAKEINTRESOURCEW(1), BuildVersionInfo(version));
    writer.Commit();
  }
  KeepSymbolTable(ReadWholeFile(option(L"engine"), L"Engine"), output.Path());
  AttachPayload(output.Path(), L"APP.7Z", payload.path);
  output.Finish();
  if (options.count(L"payload-out")) payload.written->Finish();
  Print(L"Packed " + option(L"out") + L" (payload " + std::to_wstring(payload.size) + L" bytes)\n");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::map<std::wstring, std::wstring> options;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    bool known = false;
    for (const wchar_t* name : kValueOptions)
      if (arg == std::wstring(L"--") + name) {
        known = true;
        if (i + 1 >= argc) {
          Print(L"Missing value for " + arg + L"\n" + kUsage);
          return 2;
        }
        options[name] = argv[++i];
      }
    if (!known) {
      Print(L"Unknown argument: " + arg + L"\n" + kUsage);
      return 2;
    }
  }
  try {
    return Pack(options);
  } catch (const PackError& error) {
    Print(L"kwpack: " + error.message + L"\n");
    return 1;
  }
}
