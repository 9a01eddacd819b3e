/* The SDK's folder decoder, narrowed to the coders our payloads may use.

   The decoder knows more branch converters (Delta, ARM64, RISC-V, PPC, SPARC,
   IA64, ARM Thumb) than we accept, and switching them off with its own
   options would drop BCJ and ARM as well. So its decoder is compiled here
   under another name and every folder passes our check first, both for item
   data and for an encoded header. */
#define SzAr_DecodeFolder SzAr_DecodeFolder_AllCoders
#include "7zDec.c"
#undef SzAr_DecodeFolder

#define kAccepted_BCJ 0x3030103
#define kAccepted_ARM 0x3030501

/* Main coders and the BCJ2 arrangement are already limited by the SDK to
   Copy, LZMA and LZMA2 (PPMd is not compiled in); only the branch converter
   of a two-coder folder needs narrowing. */
static SRes CheckAcceptedFolder(const CSzAr *p, UInt32 folderIndex)
{
  CSzFolder folder;
  CSzData sd;
  SRes res;
  sd.Data = p->CodersData + p->FoCodersOffsets[folderIndex];
  sd.Size = p->FoCodersOffsets[(size_t)folderIndex + 1] - p->FoCodersOffsets[folderIndex];
  res = SzGetNextFolderItem(&folder, &sd);
  if (res != SZ_OK)
    return res;
  if (folder.NumCoders == 2 &&
      folder.Coders[1].MethodID != kAccepted_BCJ &&
      folder.Coders[1].MethodID != kAccepted_ARM)
    return SZ_ERROR_UNSUPPORTED;
  if (folder.NumCoders == 3 || folder.NumCoders > 4)
    return SZ_ERROR_UNSUPPORTED;
  return SZ_OK;
}

SRes SzAr_DecodeFolder(const CSzAr *p, UInt32 folderIndex,
    ILookInStreamPtr inStream, UInt64 startPos,
    Byte *outBuffer, size_t outSize,
    ISzAllocPtr allocMain)
{
  const SRes res = CheckAcceptedFolder(p, folderIndex);
  if (res != SZ_OK)
    return res;
  return SzAr_DecodeFolder_AllCoders(p, folderIndex, inStream, startPos, outBuffer, outSize, allocMain);
}
