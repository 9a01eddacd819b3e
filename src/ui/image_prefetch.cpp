#include "ui/image_prefetch.h"

#include <algorithm>
#include <system_error>

#include "core/handles.h"
#include "ui/dpi_scale.h"
#include "ui/image_loader.h"
#include "ui/markup.h"
#include "ui/resource_settings.h"
#include "ui/system_libraries.h"
#include "ui/value_parse.h"

namespace DuiLib {

namespace {

// The scale an autodpi window gets on the primary monitor.
int PrimaryMonitorScale() {
  int dpi = QueryMonitorDpi(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
  if (dpi <= 0) {
    const kw::WindowDc screen(nullptr);
    dpi = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
  }
  return MulDivRound(SnapMonitorDpi(dpi), 100, 96);
}

}  // namespace

CImagePrefetch::CImagePrefetch(std::wstring skin, int scalePercent) {
  try {
    thread_ = std::thread([this, skin = std::move(skin), scalePercent] { Run(skin, scalePercent); });
  } catch (const std::system_error&) {
    std::lock_guard lock(mutex_);
    planned_ = true;  // nothing requested: every image is the caller's
  }
}

CImagePrefetch::~CImagePrefetch() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  if (thread_.joinable()) thread_.join();
}

void CImagePrefetch::Run(const std::wstring& skin, int scalePercent) {
  CMarkup markup;
  const bool parsed = !skin.empty() && skin.front() == L'<' ? markup.ParseText(skin) : markup.ParseFile(skin);
  std::vector<ImageRequest> requests;
  if (parsed) {
    const CMarkupElement root = markup.GetRoot();
    const std::wstring_view autoDpi = root.GetAttributeValue(L"autodpi");
    DescriptorContext context;
    context.scalePercent = !autoDpi.empty() && ParseBool(autoDpi) ? PrimaryMonitorScale() : scalePercent;
    context.variantExists = SkinFileExists;
    requests = FirstViewImages(root, context);
  }
  std::size_t count = 0;
  {
    std::lock_guard lock(mutex_);
    for (ImageRequest& request : requests) items_.push_back(Item{std::move(request), State::kWaiting, {}});
    count = items_.size();
    planned_ = true;
  }
  changed_.notify_all();

  for (std::size_t i = 0; i < count; ++i) {
    ImageRequest request;
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      if (items_[i].state != State::kWaiting) continue;
      items_[i].state = State::kDecoding;
      request = items_[i].request;
    }
    DecodedImage image;
    const bool decoded = DecodeSkinImage(request.name, request.type, request.mask, image);
    {
      std::lock_guard lock(mutex_);
      items_[i].state = decoded ? State::kDecoded : State::kFailed;
      items_[i].image = std::move(image);
    }
    changed_.notify_all();
  }
}

bool CImagePrefetch::Take(std::wstring_view name, std::wstring_view type, std::uint32_t mask, DecodedImage& image) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return planned_; });
  for (Item& item : items_) {
    const ImageRequest& r = item.request;
    if (r.name != name || r.type != type || r.mask != mask) continue;
    if (item.state == State::kWaiting) {
      item.state = State::kClaimed;  // sooner decoded by the caller than waited for
      return false;
    }
    changed_.wait(lock, [&] { return item.state != State::kDecoding; });
    if (item.state != State::kDecoded) return false;
    image = std::move(item.image);
    item.state = State::kTaken;
    ++taken_;
    return true;
  }
  return false;
}

void CImagePrefetch::WaitUntilDecoded() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] {
    return planned_ && std::none_of(items_.begin(), items_.end(), [](const Item& item) {
             return item.state == State::kWaiting || item.state == State::kDecoding;
           });
  });
}

std::vector<ImageRequest> CImagePrefetch::Requests() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return planned_; });
  std::vector<ImageRequest> requests;
  for (const Item& item : items_) requests.push_back(item.request);
  return requests;
}

std::size_t CImagePrefetch::Taken() const {
  std::lock_guard lock(mutex_);
  return taken_;
}

}  // namespace DuiLib
