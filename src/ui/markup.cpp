#include "ui/markup.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <cwctype>

#include "core/encoding.h"
#include "ui/resource_settings.h"

namespace DuiLib {

namespace {

bool IsBlank(wchar_t c) { return c != 0 && c <= 32; }
bool IsNameChar(wchar_t c) { return c == L'_' || c == L':' || (c != 0 && std::iswalnum(c)); }

// Compares no further than the first difference, so it never reads past the
// text's terminator.
bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
  for (; *prefix; ++text, ++prefix) {
    if (*text != *prefix) return false;
  }
  return true;
}

struct Entity {
  const wchar_t* name;  // after the '&', ';' included
  std::size_t length;
  wchar_t value;
};
constexpr Entity kEntities[] = {
    {L"amp;", 4, L'&'}, {L"lt;", 3, L'<'}, {L"gt;", 3, L'>'}, {L"quot;", 5, L'"'}, {L"apos;", 5, L'\''},
};

}  // namespace

// Recursive descent over the text, run with an explicit stack of open
// elements so that deeply nested input cannot exhaust the thread's stack.
class MarkupParser {
 public:
  explicit MarkupParser(CMarkup& markup) : m_(markup), t_(markup.text_.data()) {}

  bool Run() {
    for (;;) {
      SkipBlanks();
      const int level = Level();
      if (t_[pos_] == 0) {
        if (level <= 1) return Succeed();
        return m_.Fail(L"Expected start tag", pos_);
      }
      if (t_[pos_] != L'<') return m_.Fail(L"Expected start tag", pos_);
      const wchar_t next = t_[pos_ + 1];
      if (next == L'/') {
        if (open_.empty()) return Succeed();  // an end tag at the top ends the document
        if (!CloseElement()) return false;
        continue;
      }
      if (next == L'!' || next == L'?') {
        SkipDeclaration(next == L'?' ? L'?' : L'-');
        continue;
      }
      if (!ParseElement(level)) return false;
    }
  }

 private:
  struct Open {
    int element;
    std::size_t contentEnd;  // where its character data ended; terminated when it closes
    int lastChild;
  };

  int Level() const { return open_.empty() ? 0 : open_.back().element; }

  void SkipBlanks() {
    while (IsBlank(t_[pos_])) ++pos_;
  }

  std::size_t SkipName(std::size_t at) const {
    while (IsNameChar(t_[at])) ++at;
    return at;
  }

  // "<?" ends at "?>", "<!" at the first "->"; without one the rest of the
  // text is skipped.
  void SkipDeclaration(wchar_t closing) {
    pos_ += 2;
    while (t_[pos_] != 0 && !(t_[pos_] == closing && t_[pos_ + 1] == L'>')) ++pos_;
    if (t_[pos_] != 0) pos_ += 2;
  }

  bool ParseElement(int level) {
    ++pos_;
    SkipBlanks();
    const int index = m_.AppendElement({static_cast<int>(pos_), 0, 0, level, 0});
    int& previous = open_.empty() ? topLast_ : open_.back().lastChild;
    if (previous) {
      m_.elements_[previous].nextSibling = index;
    } else {
      m_.elements_[level].firstChild = index;
    }
    previous = index;

    const std::size_t nameEnd = SkipName(pos_);
    if (t_[nameEnd] == 0) return m_.Fail(L"Error parsing element name", nameEnd);
    pos_ = nameEnd;
    if (!ParseAttributes()) return false;
    SkipBlanks();
    if (t_[pos_] == L'/' && t_[pos_ + 1] == L'>') {
      m_.elements_[index].contentStart = static_cast<int>(pos_);
      t_[nameEnd] = 0;
      t_[pos_] = 0;  // an empty element has empty text
      pos_ += 2;
      return true;
    }
    if (t_[pos_] != L'>') return m_.Fail(L"Expected start-tag closing", pos_);
    t_[nameEnd] = 0;
    ++pos_;
    m_.elements_[index].contentStart = static_cast<int>(pos_);
    const std::size_t contentEnd = Decode(L'<');
    if (t_[pos_] == 0) {
      if (level > 1) return m_.Fail(L"Expected end-tag start", pos_);
      t_[contentEnd] = 0;
      return true;  // the main loop ends the document
    }
    // At '<': either its own end tag or its first child follows.
    open_.push_back({index, contentEnd, 0});
    return true;
  }

  bool ParseAttributes() {
    for (;;) {
      SkipBlanks();
      const wchar_t c = t_[pos_];
      if (c == 0 || c == L'/' || c == L'>') return true;
      const std::size_t nameEnd = SkipName(pos_);
      pos_ = nameEnd;
      SkipBlanks();
      if (t_[pos_] != L'=') return m_.Fail(L"Error while parsing attributes", pos_);
      ++pos_;
      SkipBlanks();
      if (t_[pos_] != L'"') return m_.Fail(L"Expected attribute value", pos_);
      ++pos_;
      const std::size_t valueEnd = Decode(L'"');
      if (t_[pos_] == 0) return m_.Fail(L"Error while parsing attribute string", pos_);
      t_[pos_] = L' ';  // the closing quote, when padding keeps it apart from the terminator
      t_[valueEnd] = 0;
      t_[nameEnd] = 0;
      ++pos_;
    }
  }

  // The end tag of the innermost open element; pos_ is at "</".
  bool CloseElement() {
    const Open element = open_.back();
    open_.pop_back();
    t_[element.contentEnd] = 0;
    pos_ += 2;
    SkipBlanks();
    const wchar_t* name = t_ + m_.elements_[element.element].nameStart;
    if (!StartsWith(t_ + pos_, name)) return m_.Fail(L"Unmatched closing tag", pos_);
    pos_ += std::wcslen(name);
    SkipBlanks();
    if (t_[pos_] != L'>') return m_.Fail(L"Unmatched closing tag", pos_);
    ++pos_;
    return true;
  }

  // Decodes character data or an attribute value in place up to `stop` or
  // the end of the text; pos_ ends there. The gap left by shortened text is
  // filled with blanks. Returns where the decoded text ends.
  std::size_t Decode(wchar_t stop) {
    std::size_t write = pos_;
    while (t_[pos_] != 0 && t_[pos_] != stop) {
      const wchar_t c = t_[pos_];
      if (c == L'&') {
        t_[write++] = L'&';
        ++pos_;
        for (const Entity& entity : kEntities) {
          if (StartsWith(t_ + pos_, entity.name)) {
            t_[write - 1] = entity.value;
            pos_ += entity.length;
            break;
          }
        }
        continue;
      }
      t_[write++] = c;
      ++pos_;
      if (c == L' ' && !m_.preserveWhitespace_) SkipBlanks();
    }
    for (std::size_t gap = write; gap < pos_; ++gap) t_[gap] = L' ';
    return write;
  }

  // Open elements at the end are accepted (only the root and its children
  // get here); their character data still needs its terminator.
  bool Succeed() {
    for (const Open& element : open_) t_[element.contentEnd] = 0;
    m_.valid_ = true;
    return true;
  }

  CMarkup& m_;
  wchar_t* t_;
  std::size_t pos_ = 0;
  std::vector<Open> open_;
  int topLast_ = 0;
};

CMarkup::~CMarkup() = default;

void CMarkup::Release() {
  text_.clear();
  text_.shrink_to_fit();
  elements_.clear();
  elements_.shrink_to_fit();
  valid_ = false;
}

bool CMarkup::ParseText(std::wstring_view text) {
  Release();
  errorMessage_.clear();
  errorLocation_.clear();
  // Positions are ints.
  if (text.size() >= static_cast<std::size_t>(INT_MAX / 2)) return Fail(L"File too large", text.size());
  text_.assign(text.begin(), text.end());
  text_.push_back(0);
  return Parse();
}

bool CMarkup::ParseBuffer(const void* bytes, std::size_t size, MarkupEncoding encoding) {
  const auto* data = static_cast<const unsigned char*>(bytes);
  if (!data) size = 0;
  std::wstring text;
  switch (encoding) {
    case MarkupUtf8: {
      std::size_t skip = size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
      text = kw::ToWide(CP_UTF8, std::string_view(reinterpret_cast<const char*>(data) + skip, size - skip));
      break;
    }
    case MarkupUtf16: {
      // Only text with a byte-order mark is taken.
      const bool little = size >= 2 && data[0] == 0xFF && data[1] == 0xFE;
      const bool big = size >= 2 && data[0] == 0xFE && data[1] == 0xFF;
      if (little || big) {
        const std::size_t units = size / 2 - 1;
        text.resize(units);
        for (std::size_t i = 0; i < units; ++i) {
          const unsigned char first = data[2 + 2 * i];
          const unsigned char second = data[3 + 2 * i];
          text[i] = static_cast<wchar_t>(little ? first | (second << 8) : second | (first << 8));
        }
      }
      break;
    }
    case MarkupAnsi:
      text = kw::ToWide(CP_ACP, std::string_view(reinterpret_cast<const char*>(data), size));
      break;
  }
  return ParseText(text);
}

bool CMarkup::ParseFile(std::wstring_view name, MarkupEncoding encoding) {
  return ParseFile(CResourceSettings::Process(), name, encoding);
}

bool CMarkup::ParseFile(const CResourceSettings& source, std::wstring_view name, MarkupEncoding encoding) {
  Release();
  errorMessage_.clear();
  errorLocation_.clear();
  std::vector<unsigned char> bytes;
  const wchar_t* error = nullptr;
  if (!source.ReadSkinFile(name, bytes, &error)) {
    errorMessage_ = error;
    return false;
  }
  return ParseBuffer(bytes.data(), bytes.size(), encoding);
}

bool CMarkup::Parse() {
  elements_.reserve(500);
  AppendElement({0, 0, 0, 0, 0});  // the placeholder; the root is element 1
  MarkupParser parser(*this);
  return parser.Run();
}

int CMarkup::AppendElement(const ElementRecord& record) {
  if (elements_.size() == elements_.capacity()) elements_.reserve(elements_.capacity() / 2 + elements_.capacity() + 500);
  elements_.push_back(record);
  return static_cast<int>(elements_.size() - 1);
}

bool CMarkup::Fail(const wchar_t* message, std::size_t at) {
  errorMessage_ = message;
  errorLocation_ = at < text_.size() ? std::wstring(text_.data() + at) : std::wstring();
  Release();
  return false;
}

CMarkupElement CMarkup::GetRoot() const {
  if (elements_.size() < 2) return {};
  return CMarkupElement(this, 1);
}

// --- CMarkupElement ---

CMarkupElement CMarkupElement::Link(int target) const {
  if (!markup_ || target == 0) return {};
  return CMarkupElement(markup_, target);
}

CMarkupElement CMarkupElement::GetParent() const {
  return markup_ ? Link(markup_->elements_[index_].parent) : CMarkupElement();
}
CMarkupElement CMarkupElement::GetNextSibling() const {
  return markup_ ? Link(markup_->elements_[index_].nextSibling) : CMarkupElement();
}
CMarkupElement CMarkupElement::GetFirstChild() const {
  return markup_ ? Link(markup_->elements_[index_].firstChild) : CMarkupElement();
}
bool CMarkupElement::HasChildren() const { return markup_ && markup_->elements_[index_].firstChild != 0; }
bool CMarkupElement::HasSiblings() const { return markup_ && markup_->elements_[index_].nextSibling != 0; }

const wchar_t* CMarkupElement::GetName() const {
  return markup_ ? markup_->text_.data() + markup_->elements_[index_].nameStart : L"";
}
const wchar_t* CMarkupElement::GetText() const {
  return markup_ ? markup_->text_.data() + markup_->elements_[index_].contentStart : L"";
}

// Walks the attributes the parser terminated in place, from after the name's
// terminator up to the tag's end, so no text outside the tag is ever taken
// for an attribute.
void CMarkupElement::ReadAttributes() const {
  if (attributeCount_ >= 0) return;
  attributeCount_ = 0;
  if (!markup_) return;
  const wchar_t* t = markup_->text_.data();
  const CMarkup::ElementRecord& record = markup_->elements_[index_];
  const std::size_t limit = static_cast<std::size_t>(record.contentStart);
  std::size_t at = static_cast<std::size_t>(record.nameStart) + std::wcslen(t + record.nameStart) + 1;
  auto skipBlanks = [&] {
    while (at < limit && IsBlank(t[at])) ++at;
  };
  while (attributeCount_ < kMaxAttributes) {
    skipBlanks();
    const std::size_t name = at;
    while (at < limit && IsNameChar(t[at])) ++at;
    if (at >= limit || t[at] != 0) return;  // every name ends in its terminator
    ++at;
    skipBlanks();
    if (at < limit && t[at] == L'=') ++at;  // unless the terminator took its place
    skipBlanks();
    if (at >= limit || t[at] != L'"') return;
    const std::size_t value = ++at;
    at += std::wcslen(t + value);
    if (at >= limit) return;
    ++at;
    attributes_[attributeCount_++] = {static_cast<int>(name), static_cast<int>(value)};
  }
}

int CMarkupElement::GetAttributeCount() const {
  ReadAttributes();
  return attributeCount_;
}

const wchar_t* CMarkupElement::GetAttributeName(int index) const {
  ReadAttributes();
  if (index < 0 || index >= attributeCount_) return L"";
  return markup_->text_.data() + attributes_[index].name;
}

const wchar_t* CMarkupElement::GetAttributeValue(int index) const {
  ReadAttributes();
  if (index < 0 || index >= attributeCount_) return L"";
  return markup_->text_.data() + attributes_[index].value;
}

const wchar_t* CMarkupElement::GetAttributeValue(std::wstring_view name) const {
  ReadAttributes();
  for (int i = 0; i < attributeCount_; ++i) {
    if (name == markup_->text_.data() + attributes_[i].name) return markup_->text_.data() + attributes_[i].value;
  }
  return L"";
}

bool CMarkupElement::HasAttribute(std::wstring_view name) const {
  ReadAttributes();
  for (int i = 0; i < attributeCount_; ++i) {
    if (name == markup_->text_.data() + attributes_[i].name) return true;
  }
  return false;
}

}  // namespace DuiLib
