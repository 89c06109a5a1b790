// VideoOutput<T>: the engine's format query.
#pragma once

namespace KMC {

// The answer comes from the format table, or from the hardware format cache when the engine's
// setting turns it on; both arrive with the cache. Until then the query is refused.
template <typename T>
bool VideoOutput<T>::queryFormats(ComponentContext* context, int32_t kind, int32_t subkind, int32_t flag,
                                  FormatList* out) {
  (void)context;
  (void)kind;
  (void)subkind;
  (void)flag;
  (void)out;
  return false;
}

}  // namespace KMC
