// VideoOutput<T>: the engine's format query. Part of video_output.h.
#pragma once

#include "framework/engine_text.h"
#include "framework/setting.h"

namespace KMC {

// Which pixel formats the output accepts and at what cost, appended to out as 20-byte
// descriptors. Refused (false, nothing read) unless flag is 1 and (kind, subkind) is (1, 2)
// or (4, 1). The cache switch and the hardware name are recomputed from the engine at every
// call; with the cache off the answer is the format table, with it on this machine's rows of
// the cache file. Engine thread, no lock.
template <typename T>
bool VideoOutput<T>::queryFormats(ComponentContext* context, int32_t kind, int32_t subkind, int32_t flag,
                                  FormatList* out) {
  if (flag != 1) return false;
  if (!((kind == 1 && subkind == 2) || (kind == 4 && subkind == 1))) return false;
  if (!out) return false;

  readFormatCacheSetting(context);

  // The context is only read here: the output keeps the one create was given, which its output
  // thread may be using now.
  auto registerPending = [this]() {
    if (!formatsPending_) return;
    if (registerFormats(kFormatsAskedByQuery)) formatsPending_ = false;
  };
  return formatCache_.answerQuery(kind, out, registerPending);
}

template <typename T>
void VideoOutput<T>::readFormatCacheSetting(ComponentContext* context) {
  std::string name;
  if (descriptor_) name = toStdString(descriptor_->name);
  bool cacheOn = readFormatCacheSwitch(context);
  if (cacheOn) {
    const char* identity = rendererIdentity();
    if (identity) name += identity;
  }
  formatCache_.setHardwareName(name);
  formatCache_.setEnabled(cacheOn);
}

}  // namespace KMC
