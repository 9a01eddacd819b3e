// Process-wide singletons handed out as shared pointers.
#pragma once
#include <memory>

namespace kw {

template <class T>
class CSingleT : public std::enable_shared_from_this<T> {
 public:
  // Created on the first call (thread-safe, once) and kept until exit.
  static std::shared_ptr<T> GetInstance() {
    static const std::shared_ptr<T> instance(new T());
    return instance;
  }

 protected:
  CSingleT() = default;
};

}  // namespace kw
