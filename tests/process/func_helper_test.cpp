// The demo product's func_helper.dll, called as the install script calls it:
// AllowAccountPrivilege lets local users change the product's data files and
// nothing else of the install folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include <string>

#include "child_process.h"
#include "temp_folder.h"
#include "data_access.h"
#include "core/handles.h"
#include "host_link.h"

namespace {

using namespace kwtest;

// Rights that let a user change, replace or re-permission what they apply to.
constexpr ACCESS_MASK kChanging = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                  FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                  GENERIC_ALL;

struct UsersSid {
  UsersSid() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 0, 0, 0, 0, 0, 0, &sid);
  }
  ~UsersSid() { FreeSid(sid); }
  PSID sid = nullptr;
};

enum class AppliesTo { kItself, kFileBelow, kFolderBelow };

// What `acl` allows BUILTIN\Users on the folder that carries it, or on a file
// or folder created below it (by inheritance).
ACCESS_MASK UsersRights(PACL acl, AppliesTo target) {
  const UsersSid users;
  ACCESS_MASK rights = 0;
  for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(acl, i, &ace)) continue;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const BYTE flags = allowed->Header.AceFlags;
    const bool applies = target == AppliesTo::kItself      ? !(flags & INHERIT_ONLY_ACE)
                         : target == AppliesTo::kFileBelow ? (flags & OBJECT_INHERIT_ACE) != 0
                                                           : (flags & CONTAINER_INHERIT_ACE) != 0;
    if (applies && EqualSid(const_cast<DWORD*>(&allowed->SidStart), users.sid)) rights |= allowed->Mask;
  }
  return rights;
}

// The DACL of a path; `kept` says whether the file system stores one.
struct Dacl {
  explicit Dacl(const std::wstring& path) {
    ok = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                               nullptr, &descriptor) == ERROR_SUCCESS;
  }
  ~Dacl() { LocalFree(descriptor); }
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  bool ok = false;
};

// An ACL as a fresh folder has one: administrators and the system in full,
// users reading, all inherited by what is created below.
struct TypicalAcl {
  TypicalAcl() {
    InitializeAcl(reinterpret_cast<PACL>(bytes), sizeof(bytes), ACL_REVISION);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr, system = nullptr;
    AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins);
    AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system);
    const UsersSid users;
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    AddAccessAllowedAceEx(Get(), ACL_REVISION, inherit, FILE_ALL_ACCESS, admins);
    AddAccessAllowedAceEx(Get(), ACL_REVISION, inherit, FILE_ALL_ACCESS, system);
    AddAccessAllowedAceEx(Get(), ACL_REVISION, inherit, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, users.sid);
    FreeSid(admins);
    FreeSid(system);
  }
  PACL Get() { return reinterpret_cast<PACL>(bytes); }
  alignas(DWORD) BYTE bytes[512];
};

TEST(DataAccess, UsersMayAddBelowTheDataFolderAndChangeWhatIsThereButNotTheFolderItself) {
  TypicalAcl typical;
  PACL acl = kwdemo::DataFolderAcl(typical.Get());
  ASSERT_NE(acl, nullptr);
  const ACCESS_MASK itself = UsersRights(acl, AppliesTo::kItself);
  EXPECT_EQ(itself & (FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY), static_cast<ACCESS_MASK>(FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY));
  EXPECT_EQ(itself & (DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL), 0u);
  for (const AppliesTo below : {AppliesTo::kFileBelow, AppliesTo::kFolderBelow}) {
    SCOPED_TRACE(below == AppliesTo::kFileBelow ? "a file below" : "a folder below");
    const ACCESS_MASK rights = UsersRights(acl, below);
    EXPECT_EQ(rights & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE),
              static_cast<ACCESS_MASK>(FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE));
    EXPECT_EQ(rights & (WRITE_DAC | WRITE_OWNER | GENERIC_ALL), 0u);
  }
  LocalFree(acl);
  // What the program folder keeps: users only read.
  EXPECT_EQ(UsersRights(typical.Get(), AppliesTo::kItself) & kChanging, 0u);
  EXPECT_EQ(kwdemo::DataFolder(L"C:\\Program Files\\KWSweep"), L"C:\\Program Files\\KWSweep\\data");
}

class FuncHelper : public TempFolderTest {
 protected:
  void SetUp() override {
    helper.Reset(LoadLibraryW((ExeFolder() + L"\\func_helper.dll").c_str()));
    ASSERT_TRUE(helper);
    allow = kw::ModuleProc<Allow>(helper.Get(), "AllowAccountPrivilege");
    ASSERT_NE(allow, nullptr);
  }
  // Whether a DACL set on a folder here is read back (Wine 8.0 keeps none).
  bool KeepsDacls() {
    const std::wstring probe = folder + L"\\probe";
    CreateDirectoryW(probe.c_str(), nullptr);
    TypicalAcl typical;
    PACL acl = kwdemo::DataFolderAcl(typical.Get());
    SetNamedSecurityInfoW(const_cast<wchar_t*>(probe.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, acl, nullptr);
    LocalFree(acl);
    const Dacl back(probe);
    const bool kept = back.ok && (UsersRights(back.acl, AppliesTo::kItself) & FILE_ADD_FILE);
    RemoveDirectoryW(probe.c_str());
    return kept;
  }
  using Allow = BOOL(WINAPI*)(const wchar_t*);
  kw::UniqueModule helper;
  Allow allow = nullptr;
};

TEST_F(FuncHelper, TheProgramFolderStaysUnwritableForUsersAndTheDataFolderGetsTheGrant) {
  if (!KeepsDacls()) GTEST_SKIP() << "this file system keeps no DACLs";
  ASSERT_TRUE(WriteBytes(folder + L"\\KWSweep.exe", "program"));
  ASSERT_TRUE(CreateDirectoryW((folder + L"\\data").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(folder + L"\\data\\rules.bin", "rules"));
  ASSERT_TRUE(allow(folder.c_str()));
  for (const wchar_t* program : {L"", L"\\KWSweep.exe"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(program)));
    const Dacl dacl(folder + program);
    ASSERT_TRUE(dacl.ok);
    EXPECT_EQ(UsersRights(dacl.acl, AppliesTo::kItself) & kChanging, 0u);
  }
  const Dacl data(folder + L"\\data"), rules(folder + L"\\data\\rules.bin");
  EXPECT_EQ(UsersRights(data.acl, AppliesTo::kItself) & (FILE_ADD_FILE | DELETE), static_cast<ACCESS_MASK>(FILE_ADD_FILE));
  EXPECT_EQ(UsersRights(rules.acl, AppliesTo::kItself) & (FILE_WRITE_DATA | DELETE),
            static_cast<ACCESS_MASK>(FILE_WRITE_DATA | DELETE));
}

TEST_F(FuncHelper, AMissingDataFolderIsMadeAndNoFolderOrALinkedDataFolderRefused) {
  ASSERT_TRUE(allow(folder.c_str()));
  const DWORD data = GetFileAttributesW((folder + L"\\data").c_str());
  EXPECT_TRUE(data != INVALID_FILE_ATTRIBUTES && (data & FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_FALSE(allow(L""));
  EXPECT_FALSE(allow(nullptr));

  const TempFolder other(L"func_helper_other"), outside(L"func_helper_out");
  HostLink link(other.Path(L"data"), outside.Get());
  if (link.UnderWine()) {
    ASSERT_TRUE(link.Made());
    EXPECT_FALSE(allow(other.Get().c_str()));
  }
}

}  // namespace
