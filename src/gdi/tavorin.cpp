#include "gdi/tavorin.h"

#include <boost/bind/bind.hpp>

#include "framework/identifiers.h"
#include "gdi/drawing_area.h"
#include "gdi/video_adapter_gdi_hwnd.h"
#include "platform/win32.h"

namespace KMC {

namespace {

const char* const kRendererName = "GDI Video Renderer";
const char* const kRendererType = "Video|Renderer|GDI";
const int32_t kFormatCost = 200;
// The shortest time between the starts of two window copies of one output.
const uint32_t kWindowCopyIntervalMs = 15;
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
      windowOfDC_(0),
      blackBrush_(nullptr),
      copyPace_(kWindowCopyIntervalMs) {
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
  back_.release();  // compatible with the window DC: goes first
  if (windowDC_) {
    // To the window it came from: the adapter may name another window, or none, by now.
    ReleaseDC(asWindow(windowOfDC_), asDC(windowDC_));
    windowDC_ = nullptr;
    windowOfDC_ = 0;
  }
  if (blackBrush_) {
    DeleteObject(static_cast<HGDIOBJ>(blackBrush_));
    blackBrush_ = nullptr;
  }
}

const char* Tavorin::rendererIdentity() { return "GDI"; }

bool Tavorin::registerFormats(int32_t) {
  registerFormat(kFormatCost, 0, "BGRA");
  registerFormat(kFormatCost, 0, "BGRX");
  offerAdapterKinds();
  return true;
}

void Tavorin::offerAdapterKinds() {
  adapterKinds_.append(NarrowString(kVideoAdapterHWNDId, &StandardAllocator<char>::instance()));
}

bool Tavorin::runOutputRound() {
  negotiateAdapter();
  if (!takeUpWindow()) return false;
  presentationLoop(&adapterActive_);
  return true;
}

void Tavorin::negotiateAdapter() {
  ComponentContext* engine = context();
  if (adapter_ || !engine) return;
  int32_t index = engine->chooseVideoAdapter(&adapterKinds_);
  const NarrowString* kind = adapterKinds_.at(index);
  if (!kind || *kind != kVideoAdapterHWNDId) return;
  VideoAdapterGDIHWND* adapter = new VideoAdapterGDIHWND();
  engine->setVideoAdapter(adapter);
  adapter_ = adapter;
  adapterActive_ = true;
  adapter->bindNotification(boost::bind(&Tavorin::adapterStateChanged, this, boost::placeholders::_1));
}

bool Tavorin::takeUpWindow() {
  if (adapter_ && adapter_->window() != 0) {
    requestReconfiguration();
    setRendererReady(true);
    return true;
  }
  Sleep(kPauseWithoutAdapter);
  return false;
}

bool Tavorin::initializeRenderer() {
  negotiateAdapter();
  if (!takeUpWindow()) return false;
  windowOfDC_ = adapter_->window();
  windowDC_ = GetDC(asWindow(windowOfDC_));
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
  // Inclusive sizes; beyond 32 bits the largest 32-bit value is reported.
  if (context()) context()->windowSizeChanged(area.width(), area.height());
  return true;
}

bool Tavorin::reconfigureCommit() { return true; }

bool Tavorin::beginFrame() {
  if (!adapter_) return true;
  DrawingArea area(adapter_->drawRect());
  // Without a back buffer the redraw makes no picture: drawChannel and endFrame skip it.
  if (area.drawable()) back_.begin(asDC(windowDC_), area, static_cast<HBRUSH>(blackBrush_));
  return true;
}

bool Tavorin::endFrame() {
  // Also a redraw that makes no picture takes its turn, so that an area that cannot be drawn
  // costs no more than one that can.
  copyPace_.waitForTurn();
  if (!adapter_) {
    back_.end();
    return true;
  }
  back_.present(asDC(windowDC_), DrawingArea(adapter_->drawRect()));
  return true;
}

void* Tavorin::surfaceObject() { return nullptr; }

void Tavorin::holdChannel(Channel*) {}
void Tavorin::resumeChannel(Channel*) {}
bool Tavorin::geometryChanged(Channel*, const RectFloat*) { return true; }

void Tavorin::adapterStateChanged(bool ready) {
  // Not ready before the request: an output thread that sees the request must not find the
  // renderer still ready and run the reconfiguration before the engine's change is stored
  // (it would report the old size, and the request the change needs would be spent).
  setRendererReady(ready);
  if (!ready) requestReconfiguration();
}

}  // namespace KMC
