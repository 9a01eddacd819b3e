#include "mutation.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <random>
#include <set>

#include "ui/markup.h"
#include "ui/resource_settings.h"
#include "ui/zip_reader.h"

namespace kwtest {

namespace {

// Data placed against an inaccessible page: at its end (reads past the end
// fault) or at its start (reads before the start fault).
class GuardedBuffer {
 public:
  GuardedBuffer(const void* data, std::size_t size, bool againstEnd) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const std::size_t page = info.dwPageSize;
    const std::size_t dataPages = std::max<std::size_t>(1, (size + page - 1) / page);
    total_ = (dataPages + 2) * page;
    base_ = static_cast<char*>(VirtualAlloc(nullptr, total_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base_) return;
    DWORD old = 0;
    VirtualProtect(base_, page, PAGE_NOACCESS, &old);
    VirtualProtect(base_ + (dataPages + 1) * page, page, PAGE_NOACCESS, &old);
    data_ = againstEnd ? base_ + (dataPages + 1) * page - size : base_ + page;
    if (data && size) std::memcpy(data_, data, size);
  }
  ~GuardedBuffer() {
    if (base_) VirtualFree(base_, 0, MEM_RELEASE);
  }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;
  char* data() const { return data_; }

 private:
  char* base_ = nullptr;
  char* data_ = nullptr;
  std::size_t total_ = 0;
};

const char* const kMarkupTokens[] = {
    "<", ">", "/>", "</", "\"", "'", "=", " ", "\t", "\r\n", "&amp;", "&lt;", "&quot;", "&", ";", "<!--", "-->",
    "<?", "?>", "<!DOCTYPE", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "\xF0\x9F\x98\x80", "\xC3", "\xED\xA0\x80",
    "<A>", "</A>", "<A x=\"1\"/>", "<B/>", "x=\"",
};

const char* const kSeedMarkup[] = {
    "<Window/>",
    "<A x=\"1\" y=\"2\"/>",
    "<A t=\"a &amp; b &foo; c\"/>",
    "<A><B></A>",
    "<A><B><C/>",
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><!-- c --><Window></Window>",
    "<Window size=\"600,400\" caption=\"0,0,0,40\">\r\n  <Include source=\"font.xml\" />\r\n"
    "  <VerticalLayout name=\"root\">\r\n    <Label text=\"a &lt; b\" />text<!-- x -->\r\n"
    "    <Button name=\"BtnInstall\" normalimage=\"file='Image/b.png' source='0,0,10,10'\"/>\r\n"
    "  </VerticalLayout>\r\n</Window>\r\n",
};

const wchar_t* const kMessages[] = {
    L"Expected start tag", L"Error parsing element name", L"Expected start-tag closing",
    L"Expected end-tag start", L"Unmatched closing tag", L"Error while parsing attributes",
    L"Expected attribute value", L"Error while parsing attribute string", L"Error opening file",
    L"File is empty", L"File too large", L"Could not read file", L"Error opening zip file",
    L"Could not find ziped file", L"Could not unzip file",
};

bool KnownMessage(const std::wstring& message) {
  return std::any_of(std::begin(kMessages), std::end(kMessages), [&](const wchar_t* m) { return message == m; });
}

class Mutator {
 public:
  explicit Mutator(std::uint32_t seed) : rng_(seed) {}

  std::uint32_t Next(std::uint32_t bound) { return bound ? rng_() % bound : 0; }
  bool Coin() { return rng_() & 1; }

  std::string Mutate(std::string s, const std::vector<std::string>& others, bool binary) {
    const int edits = 1 + static_cast<int>(Next(binary ? 3 : 5));
    for (int i = 0; i < edits; ++i) Edit(s, others, binary);
    return s;
  }

 private:
  void Edit(std::string& s, const std::vector<std::string>& others, bool binary) {
    const std::size_t at = Next(static_cast<std::uint32_t>(s.size() + 1));
    switch (Next(8)) {
      case 0:
        if (!s.empty()) s[at % s.size()] ^= static_cast<char>(1 << Next(8));
        break;
      case 1: {
        static const char values[] = {0, '\xFF', '<', '>', '"', '&', '/', ' ', '\x7F', '\x80', 'P', 'K'};
        if (!s.empty()) s[at % s.size()] = values[Next(sizeof(values))];
        break;
      }
      case 2: {
        s.insert(at, kMarkupTokens[Next(std::size(kMarkupTokens))]);
        break;
      }
      case 3:
        s.erase(at, 1 + Next(16));
        break;
      case 4:
        if (!s.empty()) {
          const std::size_t from = Next(static_cast<std::uint32_t>(s.size()));
          const std::string piece = s.substr(from, 1 + Next(64));
          s.insert(at, piece);
        }
        break;
      case 5:
        s.resize(at);
        break;
      case 6: {
        // Integers of the kind archive headers hold, little-endian.
        static const std::uint32_t values[] = {0, 1, 0x7F, 0x80, 0xFFFF, 0x10000, 0x7FFFFFFF, 0xFFFFFFFF, 0x400000, 0x400001};
        const std::uint32_t value = Coin() ? values[Next(std::size(values))] : static_cast<std::uint32_t>(rng_());
        const std::size_t width = binary && Coin() ? 4 : 2;
        for (std::size_t b = 0; b < width && at + b < s.size(); ++b) s[at + b] = static_cast<char>(value >> (8 * b));
        break;
      }
      default:
        if (!others.empty()) {
          const std::string& other = others[Next(static_cast<std::uint32_t>(others.size()))];
          const std::size_t from = Next(static_cast<std::uint32_t>(other.size() + 1));
          s = s.substr(0, at) + other.substr(from);
        }
        break;
    }
  }

  std::mt19937 rng_;
};

std::string Utf16Bytes(const std::string& utf8, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (unsigned char c : utf8) {
    out += bigEndian ? '\0' : static_cast<char>(c);
    out += bigEndian ? static_cast<char>(c) : '\0';
  }
  return out;
}

bool IsNameText(const wchar_t* name) {
  for (; *name; ++name) {
    if (!(*name == L'_' || *name == L':' || std::iswalnum(*name))) return false;
  }
  return true;
}

// Walks the whole tree and checks what a well-formed table must give.
void CheckTree(const DuiLib::CMarkup& markup, std::size_t textUnits, const std::string& where,
               std::vector<std::string>& faults) {
  std::vector<DuiLib::CMarkupElement> pending;
  for (auto e = markup.GetRoot(); e.IsValid(); e = e.GetNextSibling()) {
    pending.push_back(e);
    if (pending.size() > textUnits + 1) break;
  }
  std::size_t visited = 0;
  while (!pending.empty()) {
    const DuiLib::CMarkupElement e = pending.back();
    pending.pop_back();
    if (++visited > textUnits + 1) {
      faults.push_back(where + ": more elements than text");
      return;
    }
    if (!IsNameText(e.GetName())) faults.push_back(where + ": element name with a foreign character");
    if (std::wcslen(e.GetText()) > textUnits) faults.push_back(where + ": text longer than the document");
    const int count = e.GetAttributeCount();
    if (count < 0 || count > DuiLib::CMarkupElement::kMaxAttributes) faults.push_back(where + ": attribute count");
    for (int i = 0; i < count; ++i) {
      const wchar_t* name = e.GetAttributeName(i);
      if (!IsNameText(name) || !e.HasAttribute(name)) faults.push_back(where + ": attribute name");
      if (std::wcslen(e.GetAttributeValue(i)) > textUnits) faults.push_back(where + ": attribute value");
    }
    for (auto child = e.GetFirstChild(); child.IsValid(); child = child.GetNextSibling()) {
      if (child.GetParent().GetName() != e.GetName()) faults.push_back(where + ": parent link");
      pending.push_back(child);
      if (pending.size() > textUnits + 1) break;
    }
  }
}

void RunMarkup(Mutator& m, const MutationCorpus& corpus, int iteration, MutationReport& report) {
  const std::string& seed = corpus.markup[m.Next(static_cast<std::uint32_t>(corpus.markup.size()))];
  const auto encoding = static_cast<DuiLib::MarkupEncoding>(m.Next(3));
  std::string source = encoding == DuiLib::MarkupUtf16 ? Utf16Bytes(seed, m.Coin()) : seed;
  const std::string bytes = m.Mutate(source, corpus.markup, false);
  const GuardedBuffer input(bytes.data(), bytes.size(), m.Coin());
  DuiLib::CMarkup markup;
  markup.SetPreserveWhitespace(m.Coin());
  ++report.markupRuns;
  const std::string where = "markup iteration " + std::to_string(iteration);
  if (markup.ParseBuffer(input.data(), bytes.size(), encoding)) {
    ++report.markupParsed;
    CheckTree(markup, bytes.size(), where, report.faults);
  } else {
    if (!KnownMessage(markup.GetLastErrorMessage())) report.faults.push_back(where + ": unknown message");
    if (markup.GetRoot().IsValid()) report.faults.push_back(where + ": root after a failure");
  }
}

void RunArchive(Mutator& m, const MutationCorpus& corpus, int iteration, MutationReport& report) {
  const std::string& seed = corpus.archives[m.Next(static_cast<std::uint32_t>(corpus.archives.size()))];
  const std::string bytes = m.Mutate(seed, corpus.archives, true);
  const GuardedBuffer input(bytes.data(), bytes.size(), m.Coin());
  ++report.archiveRuns;
  const std::string where = "archive iteration " + std::to_string(iteration);
  auto reader = DuiLib::CZipReader::OpenMemory(input.data(), bytes.size(), "");
  if (!reader) return;
  ++report.archivesOpened;
  DuiLib::CResourceSettings settings;
  settings.SetArchiveMemory(input.data(), bytes.size(), L"");
  const int entries = std::min(reader->EntryCount(), 32);
  for (int i = 0; i < entries; ++i) {
    const std::wstring name = reader->EntryName(i);
    int index = -1;
    std::uint32_t size = 0;
    if (reader->FindEntry(name, true, &index, &size) != DuiLib::ZipResult::Ok || index < 0 || index > i) {
      report.faults.push_back(where + ": an entry's own name is not found");
      continue;
    }
    if (size <= (1u << 20)) {
      const std::uint32_t part = m.Coin() ? size : size / 2;
      const GuardedBuffer output(nullptr, part, m.Coin());
      const auto result = reader->ExtractEntry(i, output.data(), part);
      if (result == DuiLib::ZipResult::Ok) ++report.entriesRead;
      if (result == DuiLib::ZipResult::MoreData && part == size) report.faults.push_back(where + ": more data");
    }
    DuiLib::CMarkup markup;
    if (markup.ParseFile(settings, name)) {
      CheckTree(markup, size, where, report.faults);
    } else if (!KnownMessage(markup.GetLastErrorMessage())) {
      report.faults.push_back(where + ": unknown message");
    }
  }
}

}  // namespace

MutationCorpus DefaultCorpus(std::vector<std::string> archives) {
  MutationCorpus corpus;
  corpus.markup.assign(std::begin(kSeedMarkup), std::end(kSeedMarkup));
  corpus.archives = std::move(archives);
  return corpus;
}

MutationReport RunMutations(const MutationCorpus& corpus, std::uint32_t seed, int iterations) {
  MutationReport report;
  Mutator m(seed);
  for (int i = 0; i < iterations; ++i) {
    if (!corpus.markup.empty()) RunMarkup(m, corpus, i, report);
    if (!corpus.archives.empty()) RunArchive(m, corpus, i, report);
  }
  return report;
}

}  // namespace kwtest
