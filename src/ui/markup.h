// The skin's markup parser. The whole decoded document is kept as one UTF-16
// text that the parser rewrites in place (terminators after names, values and
// character data; decoded entities padded with blanks), and the elements are
// a flat table of positions in that text. Attributes are split only when an
// element's attributes are first asked for.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace DuiLib {

class CMarkup;
class CResourceSettings;

enum MarkupEncoding { MarkupUtf8 = 0, MarkupUtf16 = 1, MarkupAnsi = 2 };

// A cursor on one element. It refers into its document and is valid only as
// long as the document is neither released nor parsed again.
class CMarkupElement {
 public:
  static constexpr int kMaxAttributes = 64;

  CMarkupElement() = default;

  bool IsValid() const { return markup_ != nullptr; }
  CMarkupElement GetParent() const;
  CMarkupElement GetNextSibling() const;
  CMarkupElement GetFirstChild() const;
  bool HasChildren() const;
  bool HasSiblings() const;

  // Texts live in the document; an invalid cursor answers "".
  const wchar_t* GetName() const;
  const wchar_t* GetText() const;

  bool HasAttributes() const { return GetAttributeCount() > 0; }
  int GetAttributeCount() const;
  const wchar_t* GetAttributeName(int index) const;
  const wchar_t* GetAttributeValue(int index) const;
  // Exact, case-sensitive match on the name; "" when absent.
  const wchar_t* GetAttributeValue(std::wstring_view name) const;
  bool HasAttribute(std::wstring_view name) const;

 private:
  friend class CMarkup;
  CMarkupElement(const CMarkup* markup, int index) : markup_(markup), index_(index) {}
  CMarkupElement Link(int target) const;
  void ReadAttributes() const;

  struct Attribute {
    int name;
    int value;
  };
  const CMarkup* markup_ = nullptr;
  int index_ = 0;
  mutable Attribute attributes_[kMaxAttributes] = {};
  mutable int attributeCount_ = -1;  // -1: not read yet
};

class CMarkup {
 public:
  CMarkup() = default;
  CMarkup(const CMarkup&) = delete;
  CMarkup& operator=(const CMarkup&) = delete;
  virtual ~CMarkup();

  bool ParseText(std::wstring_view text);
  bool ParseBuffer(const void* bytes, std::size_t size, MarkupEncoding encoding);
  // Reads the skin file through the process-wide resource settings (or the
  // given ones) and parses it.
  bool ParseFile(std::wstring_view name, MarkupEncoding encoding = MarkupUtf8);
  bool ParseFile(const CResourceSettings& source, std::wstring_view name, MarkupEncoding encoding = MarkupUtf8);
  void Release();

  bool IsValid() const { return valid_; }
  void SetPreserveWhitespace(bool preserve) { preserveWhitespace_ = preserve; }
  const std::wstring& GetLastErrorMessage() const { return errorMessage_; }
  const std::wstring& GetLastErrorLocation() const { return errorLocation_; }

  // Element 1; an invalid cursor when the document holds no element.
  CMarkupElement GetRoot() const;

 private:
  friend class CMarkupElement;
  friend class MarkupParser;

  // Indices and text positions, in characters.
  struct ElementRecord {
    int nameStart;
    int firstChild;
    int nextSibling;
    int parent;
    int contentStart;
  };

  bool Parse();
  bool Fail(const wchar_t* message, std::size_t at);
  int AppendElement(const ElementRecord& record);

  std::vector<wchar_t> text_;  // always ends with a terminator when not empty
  std::vector<ElementRecord> elements_;
  bool valid_ = false;
  bool preserveWhitespace_ = true;
  std::wstring errorMessage_;
  std::wstring errorLocation_;
};

}  // namespace DuiLib
