// The script file and folder functions on real files.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

extern "C" {
#include <lua.h>
}

#include "core/handles.h"
#include "script/lib_file.h"
#include "held_file.h"
#include "host_link.h"
#include "script_runner.h"
#include "temp_folder.h"
#include "trace_capture.h"

namespace {

using namespace kwtest;
using Lines = std::vector<std::wstring>;

class FileFunctions : public WithTempFolder<ScriptTest> {
 protected:
  TraceCapture capture;
};

TEST_F(FileFunctions, MissingSourcesFailToCopyMoveRenameButCountAsDeleted) {
  struct Case {
    const char* function;
    const wchar_t* result;
    const wchar_t* missingTrace;  // the function's name in the trace, or null for none
  };
  const Case cases[] = {
      {"Lua_CopyFile", L"false", L"Lua_CopyFile"},
      {"Lua_MoveFile", L"false", L"Lua_MoveFile"},
      {"Lua_RenameFile", L"false", L"Lua_RenameFile"},
      {"Lua_DeleteFile", L"true", nullptr},
      {"Lua_DeleteFileEx", L"true", nullptr},
      {"Lua_DelFileRecursive", L"true", nullptr},
      {"Lua_DelFileRecursiveEx", L"true", nullptr},
      {"Lua_DeleteFileAfterReboot", L"true", nullptr},
  };
  const std::wstring missing = Path(L"missing.txt");
  engine.SetGlobalString("src", missing);
  engine.SetGlobalString("dst", Path(L"target.txt"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    capture.Take();
    EXPECT_EQ(FirstResult(std::string(c.function) + "(src, dst)"), c.result);
    const Lines traces = capture.Take();
    const std::wstring notExists = L"tq Fun:" + std::wstring(c.missingTrace ? c.missingTrace : L"") +
                                   L", Description:" + missing + L" it's not exists!\r\n";
    EXPECT_EQ(std::count(traces.begin(), traces.end(), notExists), c.missingTrace ? 1 : 0);
    EXPECT_FALSE(FileExists(Path(L"target.txt")));
  }
}

TEST_F(FileFunctions, CreateDirectoryMakesNestedParentsAndAcceptsAnExistingFolderSilently) {
  const std::wstring nested = Path(L"a\\b\\c");
  SetEnvironmentVariableW(L"KW_TEST_ROOT", folder.c_str());
  EXPECT_EQ(FirstResult("Lua_CreateDirectory('%KW_TEST_ROOT%\\\\a\\\\b\\\\c')"), L"true");
  EXPECT_EQ(capture.Take(), Lines{L"tq Create Directory " + nested + L"!\r\n"});
  EXPECT_EQ(GetFileAttributesW(nested.c_str()) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

  EXPECT_EQ(FirstResult("Lua_CreateDirectory('%KW_TEST_ROOT%\\\\a\\\\b')"), L"true");
  EXPECT_EQ(capture.Take(), Lines{}) << "an existing folder is not traced";

  // A file where the folder should be is not the folder.
  ASSERT_TRUE(WriteBytes(Path(L"plain"), "x"));
  engine.SetGlobalString("p", Path(L"plain"));
  EXPECT_EQ(FirstResult("Lua_CreateDirectory(p)"), L"false");
  EXPECT_EQ(capture.Take(), Lines{L"tq Fun:Lua_CreateDirectory, Description:" + Path(L"plain") + L" it's not exists!\r\n"});

  // No argument reads as "": nothing is created.
  EXPECT_EQ(FirstResult("Lua_CreateDirectory()"), L"false");
}

TEST_F(FileFunctions, CopyMoveAndRenameCarryUtf8PathsAndExpandBoth) {
  SetEnvironmentVariableW(L"KW_TEST_ROOT", folder.c_str());
  ASSERT_TRUE(WriteBytes(Path(L"源文件.txt"), "payload"));
  ASSERT_TRUE(WriteBytes(Path(L"old.txt"), "old"));
  ASSERT_TRUE(CreateDirectoryW(Path(L"目标").c_str(), nullptr));
  engine.SetGlobalString("src", L"%KW_TEST_ROOT%\\源文件.txt");

  engine.SetGlobalString("dst", L"%KW_TEST_ROOT%\\目标\\副本.txt");
  EXPECT_EQ(FirstResult("Lua_CopyFile(src, dst)"), L"true");
  EXPECT_EQ(ReadBytes(Path(L"目标\\副本.txt")), "payload");
  EXPECT_TRUE(FileExists(Path(L"源文件.txt")));

  engine.SetGlobalString("dst", L"%KW_TEST_ROOT%\\moved.txt");
  EXPECT_EQ(FirstResult("Lua_MoveFile(src, dst)"), L"true");
  EXPECT_EQ(ReadBytes(Path(L"moved.txt")), "payload");
  EXPECT_FALSE(FileExists(Path(L"源文件.txt")));

  // Renaming replaces an existing target.
  engine.SetGlobalString("src", L"%KW_TEST_ROOT%\\moved.txt");
  engine.SetGlobalString("dst", L"%KW_TEST_ROOT%\\old.txt");
  capture.Take();
  EXPECT_EQ(FirstResult("Lua_RenameFile(src, dst)"), L"true");
  EXPECT_EQ(ReadBytes(Path(L"old.txt")), "payload");
  EXPECT_FALSE(FileExists(Path(L"moved.txt")));
  EXPECT_EQ(capture.Take(), Lines{L"tq MoveFile " + Path(L"moved.txt") + L" to " + Path(L"old.txt") + L" !"});

  // A target in a folder that does not exist.
  engine.SetGlobalString("src", Path(L"old.txt"));
  engine.SetGlobalString("dst", Path(L"nowhere\\x.txt"));
  EXPECT_EQ(FirstResult("Lua_RenameFile(src, dst)"), L"false");
  EXPECT_EQ(capture.Take(), Lines{L"tq MoveFile " + Path(L"old.txt") + L" to " + Path(L"nowhere\\x.txt") + L" failed!"});
}

TEST_F(FileFunctions, CopyAndMoveTraceWhatTheyDid) {
  ASSERT_TRUE(WriteBytes(Path(L"a.txt"), "a"));
  engine.SetGlobalString("a", Path(L"a.txt"));
  engine.SetGlobalString("b", Path(L"b.txt"));
  engine.SetGlobalString("c", Path(L"c.txt"));
  capture.Take();
  EXPECT_EQ(FirstResult("Lua_CopyFile(a, b)"), L"true");
  EXPECT_EQ(FirstResult("Lua_MoveFile(b, c)"), L"true");
  EXPECT_EQ(capture.Take(), (Lines{L"tq Copy " + Path(L"a.txt") + L" to " + Path(L"b.txt") + L" !",
                             L"tq Move " + Path(L"b.txt") + L" to " + Path(L"c.txt") + L" !"}));
  EXPECT_EQ(ReadBytes(Path(L"c.txt")), "a");
}

// A target whose folder is a file cannot be written: false, the failure
// line and the shell's error code, and the source stays.
TEST_F(FileFunctions, CopyAndMoveFailuresTraceTheShellsCode) {
  ASSERT_TRUE(WriteBytes(Path(L"source.txt"), "source"));
  ASSERT_TRUE(WriteBytes(Path(L"plain"), "a file, not a folder"));
  engine.SetGlobalString("a", Path(L"source.txt"));
  engine.SetGlobalString("b", Path(L"plain\\target.txt"));
  for (const char* verb : {"Copy", "Move"}) {
    SCOPED_TRACE(verb);
    capture.Take();
    EXPECT_EQ(FirstResult(std::string("Lua_") + verb + "File(a, b)"), L"false");
    const Lines traces = capture.Take();
    ASSERT_GE(traces.size(), 2u) << testing::PrintToString(traces);
    EXPECT_EQ(traces[0], L"tq " + kw::Utf8ToWide(verb) + L" " + Path(L"source.txt") + L" to " +
                             Path(L"plain\\target.txt") + L" failed!");
    EXPECT_EQ(traces[1].rfind(L"tq SHFileOperation error code : 0x", 0), 0u) << testing::PrintToString(traces[1]);
    EXPECT_EQ(traces[1].substr(traces[1].size() - 2), L"\r\n");
    EXPECT_EQ(ReadBytes(Path(L"source.txt")), "source");
    EXPECT_EQ(ReadBytes(Path(L"plain")), "a file, not a folder");
  }
}

// A tree with nested folders, a read-only and a hidden file.
void MakeTree(const std::wstring& root) {
  for (const wchar_t* sub : {L"", L"\\sub", L"\\sub\\deeper", L"\\empty"})
    ASSERT_TRUE(CreateDirectoryW((root + sub).c_str(), nullptr));
  for (const wchar_t* file : {L"\\top.txt", L"\\sub\\readonly.txt", L"\\sub\\deeper\\hidden.bin", L"\\sub\\文件.txt"})
    ASSERT_TRUE(WriteBytes(root + file, "x"));
  ASSERT_TRUE(SetFileAttributesW((root + L"\\sub\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW((root + L"\\sub\\deeper\\hidden.bin").c_str(), FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(FileFunctions, DelFileRecursiveRemovesATreeAndReturnsNothing) {
  const std::wstring tree = Path(L"tree");
  MakeTree(tree);
  engine.SetGlobalString("p", tree);
  capture.Take();
  EXPECT_EQ(FirstResult("Lua_DelFileRecursive(p, 'ignored')"), L"none");
  EXPECT_FALSE(FileExists(tree));
  const Lines traces = capture.Take();
  ASSERT_GE(traces.size(), 3u);
  EXPECT_EQ(traces[0], L"tq Lua_DelFileRecursive");
  EXPECT_EQ(traces[1], L"tq PathIsDirectoryW");
  EXPECT_EQ(traces[2], L"tq QRVScriptEngine::DeleteDirectories " + tree);
  // One line for each folder of the tree.
  EXPECT_EQ(traces.size(), 2u + 4u);

  // A single file, read through the expansion.
  ASSERT_TRUE(WriteBytes(Path(L"single.txt"), "x"));
  SetEnvironmentVariableW(L"KW_TEST_ROOT", folder.c_str());
  EXPECT_EQ(FirstResult("Lua_DelFileRecursive('%KW_TEST_ROOT%\\\\single.txt')"), L"none");
  EXPECT_FALSE(FileExists(Path(L"single.txt")));
  EXPECT_EQ(capture.Take(), (Lines{L"tq Lua_DelFileRecursive", L"tq Path is file!"}));
}

TEST_F(FileFunctions, DelFileRecursiveRemovesTheCurrentDirectory) {
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  const std::wstring tree = Path(L"current");
  MakeTree(tree);
  ASSERT_TRUE(SetCurrentDirectoryW((tree + L"\\sub").c_str()));
  engine.SetGlobalString("p", tree);
  // The current directory is deep inside: the tree walk leaves it before
  // removing each folder on the way up.
  EXPECT_EQ(FirstResult("Lua_DelFileRecursive(p)"), L"none");
  const bool gone = !FileExists(tree);
  wchar_t now[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, now);
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(gone);
  EXPECT_EQ(std::wstring(now), folder);
}

TEST_F(FileFunctions, DelFileRecursiveExReportsEachUndeletableFileOnce) {
  const std::wstring tree = Path(L"held");
  MakeTree(tree);
  const std::wstring heldTop = tree + L"\\top.txt", heldDeep = tree + L"\\sub\\deeper\\hidden.bin";
  HeldFile top(heldTop), deep(heldDeep);
  ASSERT_TRUE(top.Held() && deep.Held());
  engine.SetGlobalString("p", tree);
  RunScript("reports = {} function on_fail(path, code) reports[#reports + 1] = path .. '|' .. code return 5 end");
  EXPECT_EQ(FirstResult("Lua_DelFileRecursiveEx(p, on_fail)"), L"none");
  // In the order of the paths, whatever order the folder walk took.
  EXPECT_EQ(FirstResult("(function() table.sort(reports) return table.concat(reports, '\\n') end)()"),
            heldDeep + L"|" + std::to_wstring(ERROR_SHARING_VIOLATION) + L"\n" + heldTop + L"|" +
                std::to_wstring(ERROR_SHARING_VIOLATION));
  // Everything else went; the folders holding the two files stay.
  EXPECT_FALSE(FileExists(tree + L"\\sub\\readonly.txt"));
  EXPECT_FALSE(FileExists(tree + L"\\empty"));
  EXPECT_TRUE(FileExists(heldDeep));

  // A single file; the function is found as the last argument.
  RunScript("reports = {}");
  engine.SetGlobalString("p", heldTop);
  EXPECT_EQ(FirstResult("Lua_DelFileRecursiveEx(p, 'x', on_fail)"), L"none");
  EXPECT_EQ(FirstResult("table.concat(reports, '\\n')"), heldTop + L"|" + std::to_wstring(ERROR_SHARING_VIOLATION));
  // Without a function nothing is reported and nothing fails.
  EXPECT_EQ(FirstResult("Lua_DelFileRecursiveEx(p)"), L"none");
  EXPECT_EQ(FirstResult("#reports"), L"1");

  top.Release();
  deep.Release();
  engine.SetGlobalString("p", tree);
  EXPECT_EQ(FirstResult("Lua_DelFileRecursiveEx(p, on_fail)"), L"none");
  EXPECT_FALSE(FileExists(tree));
  EXPECT_EQ(FirstResult("#reports"), L"1");

  // The function's registry reference goes when the call returns: calls
  // reuse one slot instead of growing the registry.
  const int registrySize = static_cast<int>(lua_rawlen(engine.State(), LUA_REGISTRYINDEX));
  for (int i = 0; i < 3; ++i) FirstResult("Lua_DelFileRecursiveEx(p, on_fail)");
  EXPECT_EQ(static_cast<int>(lua_rawlen(engine.State(), LUA_REGISTRYINDEX)), registrySize);
}

TEST_F(FileFunctions, TreeDeletionLeavesWhatAFolderLinkPointsTo) {
  const std::wstring outside = Path(L"outside"), tree = Path(L"linked");
  ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(outside + L"\\keep.txt", "keep"));
  ASSERT_TRUE(CreateDirectoryW(tree.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(tree + L"\\own.txt", "own"));
  HostLink link(tree + L"\\link", outside);
  if (!link.UnderWine()) GTEST_SKIP() << "the link is made through Wine";
  ASSERT_TRUE(link.Made());
  ASSERT_TRUE(GetFileAttributesW((tree + L"\\link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);

  engine.SetGlobalString("p", tree);
  EXPECT_EQ(FirstResult("Lua_DelFileRecursive(p)"), L"none");
  EXPECT_EQ(ReadBytes(outside + L"\\keep.txt"), "keep");
  EXPECT_FALSE(FileExists(tree + L"\\own.txt"));
  // Whether the link itself is gone is not asked: Windows removes it, Wine
  // cannot.
}

TEST_F(FileFunctions, DeleteDirectoriesNeverWipesADriveRoot) {
  const std::wstring drive = folder.substr(0, 3);  // "C:\"
  const std::wstring marker = Path(L"marker.txt");
  ASSERT_TRUE(WriteBytes(marker, "x"));
  capture.Take();
  kw::QRVScriptEngine::DeleteDirectories(drive);
  EXPECT_TRUE(FileExists(marker));
  EXPECT_EQ(capture.Take(), (Lines{L"tq QRVScriptEngine::DeleteDirectories " + drive,
                             L"tq QRVScriptEngine::DeleteDirectories refuses the root " + drive + L"\r\n"}));
}

// "X:" names the current folder on drive X, and a script's "%SystemDrive%"
// expands to just that: the drive itself is what is meant and refused, in
// every spelling. A drive mapped to a folder of the test stands in for C:,
// with the current directory below its root.
TEST_F(FileFunctions, DeleteDirectoriesRefusesADriveInEverySpelling) {
  const std::wstring root = Path(L"drive");
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\current").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(root + L"\\marker.txt", "x"));
  ASSERT_TRUE(WriteBytes(root + L"\\current\\inner.txt", "x"));
  HostDrive drive(root);
  if (!drive.UnderWine()) GTEST_SKIP() << "the drive is mapped through Wine";
  ASSERT_TRUE(drive.Made());
  struct CurrentDirectoryBack {
    wchar_t previous[MAX_PATH] = {};
    CurrentDirectoryBack() { GetCurrentDirectoryW(MAX_PATH, previous); }
    ~CurrentDirectoryBack() { SetCurrentDirectoryW(previous); }
  } back;
  ASSERT_TRUE(SetCurrentDirectoryW((drive.Root() + L"current").c_str()));
  SetEnvironmentVariableW(L"KW_TEST_DRIVE", drive.Letter().c_str());
  for (const std::wstring& spelling : {drive.Letter(), drive.Root(), drive.Letter() + L"/", drive.Letter() + L"\\\\"}) {
    SCOPED_TRACE(testing::PrintToString(spelling));
    capture.Take();
    kw::QRVScriptEngine::DeleteDirectories(spelling);
    EXPECT_TRUE(FileExists(root + L"\\marker.txt"));
    EXPECT_TRUE(FileExists(root + L"\\current\\inner.txt"));
    EXPECT_EQ(capture.Take(), (Lines{L"tq QRVScriptEngine::DeleteDirectories " + spelling,
                               L"tq QRVScriptEngine::DeleteDirectories refuses the root " + drive.Root() + L"\r\n"}));
  }
  EXPECT_EQ(FirstResult("Lua_DelFileRecursive('%KW_TEST_DRIVE%')"), L"none");
  EXPECT_TRUE(FileExists(root + L"\\marker.txt"));
  EXPECT_TRUE(FileExists(root + L"\\current\\inner.txt"));
  // A real folder of the drive is still deleted.
  EXPECT_EQ(FirstResult("Lua_DelFileRecursive('%KW_TEST_DRIVE%\\\\current')"), L"none");
  EXPECT_FALSE(FileExists(root + L"\\current"));
  EXPECT_TRUE(FileExists(root + L"\\marker.txt"));
}

// A link given as the tree itself is removed, not followed: what it points
// to stays.
TEST_F(FileFunctions, TreeDeletionOfAFolderLinkItselfLeavesItsTarget) {
  const std::wstring outside = Path(L"outside");
  ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((outside + L"\\sub").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(outside + L"\\keep.txt", "keep"));
  ASSERT_TRUE(WriteBytes(outside + L"\\sub\\deep.txt", "keep"));
  HostLink link(Path(L"link"), outside);
  if (!link.UnderWine()) GTEST_SKIP() << "the link is made through Wine";
  ASSERT_TRUE(link.Made());
  for (const char* call : {"Lua_DelFileRecursive(p)", "Lua_DelFileRecursiveEx(p, function() end)"}) {
    SCOPED_TRACE(call);
    engine.SetGlobalString("p", Path(L"link"));
    EXPECT_EQ(FirstResult(call), L"none");
    EXPECT_EQ(ReadBytes(outside + L"\\keep.txt"), "keep");
    EXPECT_EQ(ReadBytes(outside + L"\\sub\\deep.txt"), "keep");
  }
}

// Answers the delete prompt from a script of answers, recording each question.
struct PromptScript {
  std::vector<int> answers;
  std::vector<std::wstring> texts, captions;
  std::vector<unsigned int> types;
  HeldFile* releaseBeforeAnswer = nullptr;  // on the last answer
};
PromptScript* g_prompt = nullptr;

int AnswerPrompt(const wchar_t* text, const wchar_t* caption, unsigned int type) {
  PromptScript& p = *g_prompt;
  p.texts.push_back(text);
  p.captions.push_back(caption);
  p.types.push_back(type);
  const std::size_t i = p.texts.size() - 1;
  if (i + 1 == p.answers.size() && p.releaseBeforeAnswer) p.releaseBeforeAnswer->Release();
  return i < p.answers.size() ? p.answers[i] : IDCANCEL;
}

TEST_F(FileFunctions, DeleteFileAsksAndFollowsTheAnswer) {
  struct Case {
    const char* name;
    std::vector<int> answers;
    bool releaseOnLast;
    const wchar_t* result;
    bool failureTraced;
    bool fileLeft;
  };
  const Case cases[] = {
      {"ignore", {IDIGNORE}, false, L"true", true, true},
      {"other answer", {IDCANCEL}, false, L"false", true, true},
      {"box failed", {0}, false, L"false", true, true},
      {"retry while held, then ignore", {IDRETRY, IDRETRY, IDIGNORE}, false, L"true", true, true},
      {"retry after release", {IDRETRY, IDRETRY}, true, L"true", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = Path(L"busy.txt");
    ASSERT_TRUE(WriteBytes(path, "x"));
    HeldFile held(path);
    ASSERT_TRUE(held.Held());
    PromptScript prompt{c.answers, {}, {}, {}, c.releaseOnLast ? &held : nullptr};
    g_prompt = &prompt;
    const kw::DeletePrompt previous = kw::SetDeletePrompt(&AnswerPrompt);
    engine.SetGlobalString("p", path);
    capture.Take();
    const std::wstring result = FirstResult("Lua_DeleteFile(p)");
    kw::SetDeletePrompt(previous);
    g_prompt = nullptr;

    EXPECT_EQ(result, c.result);
    ASSERT_EQ(prompt.texts.size(), c.answers.size());
    for (std::size_t i = 0; i < prompt.texts.size(); ++i) {
      EXPECT_EQ(prompt.texts[i], L"无法删除\"" + path +
                                     L"\"，可能是被占用，请关闭占用程序后点击重试或者点击忽略在卸载完成之后手动删除！");
      EXPECT_EQ(prompt.captions[i], L"提示");
      EXPECT_EQ(prompt.types[i], static_cast<unsigned>(MB_ABORTRETRYIGNORE | MB_ICONQUESTION));
    }
    const Lines failure{L"tq Delete " + path + L" failed!\r\n", L"tq SHFileOperation error code : 0x20\r\n"};
    EXPECT_EQ(capture.Take(), c.failureTraced ? failure : Lines{});
    EXPECT_EQ(FileExists(path), c.fileLeft);
    held.Release();
    DeleteFileW(path.c_str());
  }
}

TEST_F(FileFunctions, DeleteFileExNeverAsksAndDeletesTrees) {
  PromptScript prompt;
  g_prompt = &prompt;
  const kw::DeletePrompt previous = kw::SetDeletePrompt(&AnswerPrompt);
  const std::wstring path = Path(L"busy.txt");
  ASSERT_TRUE(WriteBytes(path, "x"));
  {
    HeldFile held(path);
    engine.SetGlobalString("p", path);
    capture.Take();
    EXPECT_EQ(FirstResult("Lua_DeleteFileEx(p)"), L"false");
    EXPECT_EQ(capture.Take(), Lines{});
  }
  EXPECT_EQ(FirstResult("Lua_DeleteFileEx(p)"), L"true");
  EXPECT_FALSE(FileExists(path));
  MakeTree(Path(L"tree"));
  engine.SetGlobalString("p", Path(L"tree"));
  EXPECT_EQ(FirstResult("Lua_DeleteFileEx(p)"), L"true");
  EXPECT_EQ(FirstResult("Lua_DeleteFile(p)"), L"true");
  EXPECT_FALSE(FileExists(Path(L"tree")));
  kw::SetDeletePrompt(previous);
  g_prompt = nullptr;
  EXPECT_TRUE(prompt.texts.empty());
}

// The pending renames the system carries out at the next start.
std::vector<std::wstring> PendingRenames() {
  kw::UniqueKey key;
  std::vector<std::wstring> entries;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                    key.Receive()))
    return entries;
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    std::wstring data(size / 2 + 1, L'\0');
    RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                     &size);
    for (std::size_t start = 0; start < size / 2;) {
      const std::size_t end = data.find(L'\0', start);
      entries.push_back(data.substr(start, end - start));
      start = end + 1;
    }
  }
  return entries;
}

void SetPendingRenames(const std::vector<std::wstring>& entries) {
  kw::UniqueKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_SET_VALUE,
                    key.Receive()))
    return;
  if (entries.empty()) {
    RegDeleteValueW(key.Get(), L"PendingFileRenameOperations");
  } else {
    std::wstring data;
    for (const std::wstring& entry : entries) data += entry + L'\0';
    data += L'\0';
    RegSetValueExW(key.Get(), L"PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size() * 2));
  }
}

TEST_F(FileFunctions, DeleteFileAfterRebootSchedulesTheDeletion) {
  const std::wstring path = Path(L"later.txt");
  ASSERT_TRUE(WriteBytes(path, "x"));
  engine.SetGlobalString("p", path);
  capture.Take();
  EXPECT_EQ(FirstResult("Lua_DeleteFileAfterReboot(p)"), L"true");
  EXPECT_EQ(capture.Take(), Lines{L"tq Lua_DeleteFileAfterReboot"});
  EXPECT_TRUE(FileExists(path)) << "only at the next start";

  // Entries are pairs: the source, then an empty target for "delete". Other
  // programs of the test run add theirs too; ours is taken out again.
  std::vector<std::wstring> entries = PendingRenames();
  bool found = false;
  for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
    if (entries[i] == L"\\??\\" + path && entries[i + 1].empty()) {
      found = true;
      entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i), entries.begin() + static_cast<std::ptrdiff_t>(i + 2));
      break;
    }
  }
  EXPECT_TRUE(found);
  SetPendingRenames(entries);
}

TEST_F(FileFunctions, PathFileExistsTakesThePathAsItIs) {
  SetEnvironmentVariableW(L"KW_TEST_ROOT", folder.c_str());
  engine.SetGlobalString("p", folder);
  EXPECT_EQ(FirstResult("Lua_PathFileExists(p)"), L"true");
  EXPECT_EQ(FirstResult("Lua_PathFileExists('%KW_TEST_ROOT%')"), L"false");
  EXPECT_EQ(FirstResult("Lua_PathFileExists('%TMP%')"), L"false");
  EXPECT_EQ(FirstResult("Lua_PathFileExists(true)"), L"false");
}

TEST_F(FileFunctions, PathYetAnotherMakeUniqueNameGivesAFreeNameBesideTheTaken) {
  const std::wstring taken = Path(L"name.txt");
  ASSERT_TRUE(WriteBytes(taken, "x"));
  engine.SetGlobalString("p", taken);
  const std::wstring unique = FirstResult("Lua_PathYetAnotherMakeUniqueName(p)");
  EXPECT_NE(unique, taken);
  EXPECT_EQ(unique.substr(0, folder.size() + 1), folder + L"\\");
  EXPECT_FALSE(FileExists(unique));
  EXPECT_EQ(FirstResult("Lua_PathYetAnotherMakeUniqueName()"), L"") << "failure gives the empty string";
}

TEST_F(FileFunctions, GetTempPathIsTheLocalApplicationDataFolder) {
  wchar_t expected[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, expected), S_OK);
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  EXPECT_EQ(FirstResult("Lua_GetTempPath()"), expected);
  // Not derived from the temp folder: moving that changes nothing.
  wchar_t tmp[MAX_PATH] = {}, tempVariable[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", tempVariable, MAX_PATH);
  SetEnvironmentVariableW(L"TMP", folder.c_str());
  SetEnvironmentVariableW(L"TEMP", folder.c_str());
  ASSERT_EQ(GetTempPathW(MAX_PATH, temp), folder.size() + 1);
  EXPECT_EQ(FirstResult("Lua_GetTempPath()"), expected);
  SetEnvironmentVariableW(L"TMP", tmp);
  SetEnvironmentVariableW(L"TEMP", tempVariable);
}

TEST_F(FileFunctions, GetTempFileNameCreatesTheFile) {
  SetEnvironmentVariableW(L"KW_TEST_ROOT", folder.c_str());
  const std::wstring name = FirstResult("Lua_GetTempFileName('%KW_TEST_ROOT%', 'kwt')");
  ASSERT_EQ(name.substr(0, folder.size() + 4), folder + L"\\kwt");
  EXPECT_TRUE(FileExists(name));
  EXPECT_EQ(ReadBytes(name), "");
  // A number is a prefix like any other text.
  EXPECT_EQ(FirstResult("Lua_GetTempFileName('%KW_TEST_ROOT%', 42)").substr(0, folder.size() + 3), folder + L"\\42");
  engine.SetGlobalString("p", Path(L"no such folder"));
  EXPECT_EQ(FirstResult("Lua_GetTempFileName(p, 'kwt')"), L"nil");
}

// The name is the folder, "\", up to three prefix units, four hex digits and
// ".tmp": a folder too long for that within 260 units is refused before the
// system call (Wine's copies the folder unchecked).
TEST_F(FileFunctions, GetTempFileNameRefusesAFolderTooLongForTheName) {
  struct Case {
    std::size_t folderUnits;
    const char* prefix;
    bool created;
  };
  const Case cases[] = {{247, "kwt", true}, {248, "kwt", false}, {248, "k", true}, {250, "k", false},
                        {255, "kwt", false}};
  wchar_t letter = L'a';
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.folderUnits << " units, prefix " << c.prefix);
    const std::size_t base = folder.size() + 1;
    ASSERT_LT(base, c.folderUnits);
    const std::wstring longFolder = folder + L"\\" + std::wstring(c.folderUnits - base, letter++);
    ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr));
    engine.SetGlobalString("p", longFolder);
    capture.Take();
    const std::wstring name = FirstResult(std::string("Lua_GetTempFileName(p, '") + c.prefix + "')");
    if (c.created) {
      EXPECT_EQ(name.substr(0, longFolder.size() + 1), longFolder + L"\\");
      EXPECT_LT(name.size(), static_cast<std::size_t>(MAX_PATH));
      EXPECT_TRUE(FileExists(name));
      DeleteFileW(name.c_str());
    } else {
      EXPECT_EQ(name, L"nil");
      EXPECT_EQ(capture.Take(), Lines{L"tq Fun:Lua_GetTempFileName, Description:" + longFolder +
                                L" is too long for a temporary file name!\r\n"});
      EXPECT_TRUE(RemoveDirectoryW(longFolder.c_str())) << "nothing was created in it";
    }
    RemoveDirectoryW(longFolder.c_str());
  }
}

// The test program carries resource 101 of type "KWDATA" and "PAYLOAD" of type
// "_7Z", whose first two bytes are stored exchanged.
const std::string kNumbered = "numbered resource\n";
const std::string kStandardSignature = "7z\xBC\xAF\x27\x1C";

TEST_F(FileFunctions, ExtractResourceFindsNumbersAndNamesAndUndoesThePayloadSwap) {
  SetEnvironmentVariableW(L"KW_TEST_ROOT", folder.c_str());
  EXPECT_EQ(FirstResult("Lua_ExtractResource('KWDATA', 101, '%KW_TEST_ROOT%\\\\numbered.bin')"), L"true");
  EXPECT_EQ(ReadBytes(Path(L"numbered.bin")), kNumbered);

  // Every extraction of the payload starts from the stored bytes.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(FirstResult("Lua_ExtractResource('_7Z', 'payload', '%KW_TEST_ROOT%\\\\payload.7z')"), L"true");
    EXPECT_EQ(ReadBytes(Path(L"payload.7z")).substr(0, 6), kStandardSignature);
  }
  // The exchange belongs to the type spelled exactly "_7Z"; the lookup itself
  // ignores case, so the stored bytes come out.
  EXPECT_EQ(FirstResult("Lua_ExtractResource('_7z', 'PAYLOAD', '%KW_TEST_ROOT%\\\\stored.7z')"), L"true");
  const std::string stored = ReadBytes(Path(L"stored.7z"));
  const std::string swapped = ReadBytes(Path(L"payload.7z"));
  EXPECT_EQ(stored.substr(0, 6), "z7\xBC\xAF\x27\x1C");
  EXPECT_EQ(stored.substr(2), swapped.substr(2));
}

TEST_F(FileFunctions, ExtractResourceFailuresLeaveTraces) {
  const std::wstring loadFailed = L"tq Fun:Lua_ExtractResource ,LoadResource failed!\r\n";
  struct Case {
    const char* call;
    std::wstring trace;
  };
  const Case cases[] = {
      {"Lua_ExtractResource('KWDATA', '101', p)", loadFailed},  // a numeric string is a name
      {"Lua_ExtractResource('KWDATA', 101 + 65536, p)", loadFailed},  // not the identifier 101
      {"Lua_ExtractResource('KWDATA', 0, p)", loadFailed},
      {"Lua_ExtractResource('KWDATA', -1, p)", loadFailed},
      {"Lua_ExtractResource('NOTYPE', 101, p)", loadFailed},
      {"Lua_ExtractResource('KWDATA', 101, q)",
       L"tq Fun:Lua_ExtractResource ,CreateFileW " + Path(L"missing\\x.bin") + L" failed!\r\n"},
  };
  engine.SetGlobalString("p", Path(L"out.bin"));
  engine.SetGlobalString("q", Path(L"missing\\x.bin"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    capture.Take();
    EXPECT_EQ(FirstResult(c.call), L"false");
    EXPECT_EQ(capture.Take(), Lines{c.trace});
    EXPECT_FALSE(FileExists(Path(L"out.bin")));
  }
}

}  // namespace
