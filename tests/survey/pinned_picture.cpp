#include "pinned_picture.h"

#include <wincodec.h>

#include <vector>

#include "framework/com.h"

namespace zandle::survey::testing {

Comparison CompareWithPinned(const drawing::testing::Surface& painted, const std::wstring& path) {
  Comparison result;
  const fw::ComInitScope com(COINIT_APARTMENTTHREADED);
  fw::ComPtr<IWICImagingFactory> factory;
  fw::ComPtr<IWICBitmapDecoder> decoder;
  fw::ComPtr<IWICBitmapFrameDecode> frame;
  fw::ComPtr<IWICFormatConverter> converter;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.put_void())) ||
      FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                decoder.put())) ||
      FAILED(decoder->GetFrame(0, frame.put())) || FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom))) {
    return result;
  }
  UINT width = 0, height = 0;
  if (FAILED(converter->GetSize(&width, &height))) return result;
  std::vector<BYTE> bgra(static_cast<size_t>(width) * height * 4);
  if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgra.size()), bgra.data()))) return result;
  result.loaded = true;
  result.sameSize = static_cast<int>(width) == painted.width() && static_cast<int>(height) == painted.height();
  if (!result.sameSize) return result;
  for (int y = 0; y < painted.height(); ++y) {
    for (int x = 0; x < painted.width(); ++x) {
      const BYTE* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
      if (painted.Pixel(x, y) == RGB(p[2], p[1], p[0])) continue;
      if (result.differing++ == 0) result.first = {x, y};
    }
  }
  return result;
}

std::wstring PinnedPath(const std::string& name) {
  const std::string path = std::string(ZANDLE_PINNED_DIR) + "/" + name + ".png";
  return std::wstring(path.begin(), path.end());
}

::testing::AssertionResult MatchesPinned(const drawing::testing::Surface& painted, const std::string& name) {
  const Comparison pinned = CompareWithPinned(painted, PinnedPath(name));
  if (!pinned.loaded) return ::testing::AssertionFailure() << "no pinned picture for " << name;
  if (!pinned.sameSize) return ::testing::AssertionFailure() << name << " has another size than its pinned picture";
  if (pinned.differing != 0)
    return ::testing::AssertionFailure() << name << " differs in " << pinned.differing << " pixels, first at "
                                         << pinned.first.x << "," << pinned.first.y;
  return ::testing::AssertionSuccess();
}

}  // namespace zandle::survey::testing
