#include "gdi/tavorin.h"

#include <boost/bind/bind.hpp>

#include "framework/identifiers.h"
#include "gdi/channel_surface.h"
#include "gdi/video_adapter_gdi_hwnd.h"
#include "platform/win32.h"

namespace KMC {

namespace {

const char* const kRendererName = "GDI Video Renderer";
const char* const kRendererType = "Video|Renderer|GDI";
const int32_t kFormatCost = 200;
const DWORD kPauseAfterWindowCopy = 15;
const DWORD kPauseWithoutAdapter = 5;

HDC asDC(void* handle) { return static_cast<HDC>(handle); }
HWND asWindow(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }

WideString* newWideString(const char* ascii) {
  unsigned short text[64] = {};
  for (int i = 0; ascii[i] && i < 63; ++i) text[i] = static_cast<unsigned char>(ascii[i]);
  return new WideString(text, &StandardAllocator<unsigned short>::instance());
}

}  // namespace

Tavorin::Tavorin(PluginHost* host)
    : VideoOutput<Tavorin>(host),
      adapterActive_(false),
      adapter_(nullptr),
      windowDC_(nullptr),
      backDC_(nullptr),
      blackBrush_(nullptr),
      backBitmap_(nullptr),
      backPrevious_(nullptr) {
  properties()["Name"] = PropertyValue::ofPointer(kPropertyWideString, newWideString(kRendererName));
  properties()["Type"] = PropertyValue::ofPointer(
      kPropertyNarrowString, new NarrowString(kRendererType, &StandardAllocator<char>::instance()));
}

Tavorin::~Tavorin() {
  // Destroyed or not, the output thread ends and every channel lets its surface go while this
  // renderer is still whole; after that nothing else draws.
  endOutputBeforeDestruction();
  releaseDrawingObjects();
  if (context()) context()->setVideoAdapter(nullptr);
  if (adapter_) {
    GDIAdapter* view = adapter_;
    adapter_ = nullptr;
    delete view;
  }
  PropertyMap& map = properties();
  PropertyMap::iterator name = map.find("Name");
  if (name != map.end()) {
    delete static_cast<WideString*>(name->second.payload.pointer);
    map.erase(name);
  }
  PropertyMap::iterator type = map.find("Type");
  if (type != map.end()) {
    delete static_cast<NarrowString*>(type->second.payload.pointer);
    map.erase(type);
  }
  adapterKinds_.clear();
}

void Tavorin::releaseDrawingObjects() {
  if (windowDC_) {
    ReleaseDC(asWindow(adapter_ ? adapter_->window() : 0), asDC(windowDC_));
    windowDC_ = nullptr;
  }
  if (blackBrush_) {
    DeleteObject(static_cast<HGDIOBJ>(blackBrush_));
    blackBrush_ = nullptr;
  }
}

ResultCode Tavorin::queryInterface(const NarrowString& id, void** out) {
  if (out) *out = nullptr;
  return VideoOutput<Tavorin>::queryInterface(id, out) != kResultOk ? kResultNotFound : kResultOk;
}

const char* Tavorin::rendererIdentity() { return "GDI"; }

bool Tavorin::registerFormats(int32_t) {
  registerFormat(kFormatCost, 0, "BGRA");
  registerFormat(kFormatCost, 0, "BGRX");
  adapterKinds_.append(NarrowString(kVideoAdapterHWNDId, &StandardAllocator<char>::instance()));
  return true;
}

bool Tavorin::runOutputRound() {
  if (!acquireAdapter()) return false;
  presentationLoop(&adapterActive_);
  return true;
}

bool Tavorin::acquireAdapter() {
  ComponentContext* engine = context();
  if (!adapter_ && engine) {
    int32_t index = engine->chooseVideoAdapter(&adapterKinds_);
    const NarrowString* kind = adapterKinds_.at(index);
    if (kind && *kind == kVideoAdapterHWNDId) {
      VideoAdapterGDIHWND* adapter = new VideoAdapterGDIHWND();
      engine->setVideoAdapter(adapter);
      adapter_ = adapter;
      adapterActive_ = true;
      adapter->bindNotifications(boost::bind(&Tavorin::adapterStateChanged, this, boost::placeholders::_1),
                                 boost::bind(&Tavorin::adapterReleased, this));
    }
  }
  if (adapter_ && adapter_->window() != 0) {
    requestReconfiguration();
    setRendererReady(true);
    return true;
  }
  Sleep(kPauseWithoutAdapter);
  return false;
}

bool Tavorin::initializeRenderer() {
  if (!acquireAdapter()) return false;
  windowDC_ = GetDC(asWindow(adapter_->window()));
  blackBrush_ = CreateSolidBrush(RGB(0, 0, 0));
  return true;
}

bool Tavorin::shutdownRenderer() {
  releaseDrawingObjects();
  return true;
}

bool Tavorin::reconfigure() {
  shutdownRenderer();
  initializeRenderer();  // a missing window only leaves drawing paused until the next change
  if (!adapter_) return true;
  RectInt area = adapter_->drawRect();
  if (context()) context()->windowSizeChanged(area.width(), area.height());
  return true;
}

bool Tavorin::reconfigureCommit() { return true; }

bool Tavorin::beginFrame() {
  if (!adapter_) return true;
  RectInt area = adapter_->drawRect();
  int32_t width = area.width();
  int32_t height = area.height();
  HDC back = CreateCompatibleDC(asDC(windowDC_));
  HBITMAP bitmap = CreateCompatibleBitmap(asDC(windowDC_), width + 1, height + 1);
  backDC_ = back;
  backBitmap_ = bitmap;
  backPrevious_ = SelectObject(back, bitmap);
  SetStretchBltMode(back, HALFTONE);
  SetBrushOrgEx(back, 0, 0, nullptr);
  RECT fill = {0, 0, width, height};
  FillRect(back, &fill, static_cast<HBRUSH>(blackBrush_));
  return true;
}

bool Tavorin::endFrame() {
  if (!adapter_ || !backDC_) return true;
  RectInt area = adapter_->drawRect();
  // The copy's width and height are right + 1 and bottom + 1, which equal the inclusive size
  // for a drawing rectangle that starts at (0, 0). Its answer is not needed: a failed copy
  // only leaves this redraw out.
  BitBlt(asDC(windowDC_), area.left, area.top, area.right + 1, area.bottom + 1, asDC(backDC_), 0, 0, SRCCOPY);
  (void)GetLastError();
  SelectObject(asDC(backDC_), static_cast<HGDIOBJ>(backPrevious_));
  DeleteObject(static_cast<HGDIOBJ>(backBitmap_));
  DeleteDC(asDC(backDC_));
  backDC_ = nullptr;
  backBitmap_ = nullptr;
  backPrevious_ = nullptr;
  Sleep(kPauseAfterWindowCopy);
  return true;
}

void* Tavorin::surfaceObject() { return nullptr; }

void Tavorin::holdChannel(Channel*) {}
void Tavorin::resumeChannel(Channel*) {}
bool Tavorin::geometryChanged(Channel*, const RectFloat*) { return true; }

void Tavorin::adapterStateChanged(bool ready) {
  if (!ready) requestReconfiguration();
  setRendererReady(ready);
}

void Tavorin::adapterReleased() {
  adapterActive_ = false;
  if (context()) context()->setVideoAdapter(nullptr);
  adapter_ = nullptr;  // forgotten, not deleted: whoever released it owns it
}

}  // namespace KMC
