// Decoding a skin's first-view images on a thread of its own while its
// window is being created (the system spends tens of milliseconds there);
// the window's first paint takes them instead of decoding them itself.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ui/first_view_images.h"
#include "ui/image_decode.h"

namespace DuiLib {

class CImagePrefetch {
 public:
  // `skin`: markup text (starting with '<') or a skin file name; images are
  // named for `scalePercent`, or for the primary monitor's scale when the
  // skin's window has autodpi="true".
  CImagePrefetch(std::wstring skin, int scalePercent);
  // Stops after the image under way.
  ~CImagePrefetch();
  CImagePrefetch(const CImagePrefetch&) = delete;
  CImagePrefetch& operator=(const CImagePrefetch&) = delete;

  // The decoded pixels of a requested image, waiting while it is being
  // decoded. False when the image was not requested, did not decode or was
  // not started yet (then it is left to the caller, and never decoded here).
  bool Take(std::wstring_view name, std::wstring_view type, std::uint32_t mask, DecodedImage& image);

  // Returns when no requested image waits for the thread or is under way.
  void WaitUntilDecoded();
  // The requests once planned (waits for the plan).
  std::vector<ImageRequest> Requests();
  // How many images were handed over.
  std::size_t Taken() const;

 private:
  enum class State { kWaiting, kDecoding, kDecoded, kFailed, kClaimed, kTaken };
  struct Item {
    ImageRequest request;
    State state = State::kWaiting;
    DecodedImage image;
  };

  void Run(const std::wstring& skin, int scalePercent);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool planned_ = false;
  bool stop_ = false;
  std::vector<Item> items_;
  std::size_t taken_ = 0;
  std::thread thread_;
};

}  // namespace DuiLib
