// What func_helper's AllowAccountPrivilege grants: local users may change the
// files the product updates (below "<install folder>\data") and nothing else
// of the install folder, whose programs an administrator runs.
#pragma once
#include <windows.h>
#include <aclapi.h>

#include <string>

namespace kwdemo {

inline std::wstring DataFolder(const std::wstring& installFolder) { return installFolder + L"\\data"; }

// `old` plus two entries for BUILTIN\Users: on the data folder itself read,
// traverse and adding files and folders (not deleting, replacing or
// re-permissioning it); on everything below it, inherited, read, write and
// delete. A LocalAlloc'ed ACL, or null.
inline PACL DataFolderAcl(PACL old) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID users = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 0, 0, 0, 0, 0, 0, &users))
    return nullptr;
  EXPLICIT_ACCESSW access[2] = {};
  access[0].grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
  access[0].grfInheritance = NO_INHERITANCE;
  access[1].grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
  access[1].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT | INHERIT_ONLY;
  for (EXPLICIT_ACCESSW& entry : access) {
    entry.grfAccessMode = GRANT_ACCESS;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(users);
  }
  PACL acl = nullptr;
  if (SetEntriesInAclW(2, access, old, &acl) != ERROR_SUCCESS) acl = nullptr;
  FreeSid(users);
  return acl;
}

}  // namespace kwdemo
