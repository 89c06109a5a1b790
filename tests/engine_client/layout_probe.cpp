// Uses every engine-facing class so that the compiler lays out each table and record; compiled
// only with -fsyntax-only and the compiler's layout dumps (see check_table_positions.py).
#include "engine_declarations.h"

using namespace KMC;

template <typename T>
struct Use {
  static T* object;
};
template <typename T>
T* Use<T>::object = nullptr;

int probe(ComponentContext* context, engine::vector<FormatDescriptor>* formats,
          engine::vector<const char*>* names, StringList* kinds) {
  PropertyValue value;
  int n = 0;
  n += Use<Plugin>::object->addReference();
  n += Use<ComponentInterface>::object->queryFormats(context, 1, 2, 1, formats);
  n += Use<ComponentInterface>::object->listProperties(names);
  n += Use<OutputInterface>::object->removePort(nullptr) ? 1 : 0;
  OutputComponent* output = Use<OutputComponent>::object;
  n += static_cast<ComponentInterface*>(output)->destroy();
  n += static_cast<OutputInterface*>(output)->removePort(nullptr);
  n += Use<PortInterface>::object->setPortValue(0, &value);
  n += Use<TimeMultiplierInterface>::object->unnamed3();
  Use<VideoAdapterHWND>::object->setDrawRect(RectInt(0, 0, 1, 1));
  Use<VideoAdapterHWND>::object->setWindow(nullptr);
  Use<VideoAdapterUnknown>::object->setSecondaryRect(RectInt());
  n += Use<PluginHost>::object->pluginDeleted(nullptr);
  n += context->chooseVideoAdapter(kinds);
  n += Use<MediaClock>::object->rate();
  n += Use<VideoSample>::object->release();
  n += Use<UpstreamSource>::object->pull(0, &value);
  n += Use<StreamObject>::object->channelId();
  n += Use<StandardAllocator<char>>::object->allocate(1) != nullptr;
  n += Use<StandardAllocator<uint16_t>>::object->allocate(1) != nullptr;
  Setting* setting = Use<Setting>::object;
  delete setting;
  RectFloat crop(0, 0, 1, 1);
  n += static_cast<int>(crop.width());
  n += sizeof(RectInt) + sizeof(RectFloat) + sizeof(PropertyValue) + sizeof(FormatDescriptor) +
       sizeof(VideoSample) + sizeof(engine::vector<const char*>) +
       sizeof(engine::vector<FormatDescriptor>) + sizeof(engine::list_int32) +
       sizeof(engine::list_node) + sizeof(NarrowString) + sizeof(StringList) + sizeof(Setting) +
       sizeof(Node<NarrowString>) + sizeof(PluginDescriptor);
  return n;
}
