// The plug-in as an engine sees it: loaded by file name, reached only through _getPlugin and
// the engine-facing interfaces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_values.h"
#include "engine/library_loader.h"
#include "engine/plugin_host.h"
#include "framework/identifiers.h"
#include "abi/interfaces.h"
#include "abi/plugin.h"

namespace {

using namespace KMC;

class LoadedPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.isLoaded()) << library_.error();
    GetPluginFunction entry = library_.getPlugin();
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry(&host_, &plugin_), 0);
    ASSERT_NE(plugin_, nullptr);
  }
  void TearDown() override {
    if (plugin_) {
      while (plugin_->releaseReference() > 0) {
      }
    }
  }
  NarrowString id(const char* text) { return NarrowString(text, &StandardAllocator<char>::instance()); }

  host::LibraryLoader library_{host::defaultPluginPath()};
  host::RecordingPluginHost host_;
  Plugin* plugin_ = nullptr;
};

TEST_F(LoadedPlugin, ReferenceCountingNotifiesTheHostOnceAroundDeletion) {
  EXPECT_EQ(plugin_->referenceCount(), 1);
  EXPECT_EQ(plugin_->host(), &host_);
  EXPECT_EQ(plugin_->descriptor(), nullptr);
  EXPECT_EQ(plugin_->addReference(), 2);
  EXPECT_EQ(plugin_->releaseReference(), 1);
  EXPECT_TRUE(host_.records().empty());
  const void* identity = plugin_;
  EXPECT_EQ(plugin_->releaseReference(), 0);
  plugin_ = nullptr;
  std::vector<host::RecordingPluginHost::Record> records = host_.records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].notice, host::RecordingPluginHost::Notice::Deleting);
  EXPECT_EQ(records[1].notice, host::RecordingPluginHost::Notice::Deleted);
  EXPECT_EQ(records[0].plugin, identity);
  EXPECT_EQ(records[1].plugin, identity);
}

TEST_F(LoadedPlugin, AnswersItsThreeInterfacesAndNothingElse) {
  void* component = nullptr;
  void* output = nullptr;
  void* both = nullptr;
  EXPECT_EQ(plugin_->queryInterface(id("com.kestra.mediacore.interface.component"), &component), kResultOk);
  EXPECT_EQ(plugin_->queryInterface(id("com.kestra.mediacore.interface.output"), &output), kResultOk);
  EXPECT_EQ(plugin_->queryInterface(id("com.kestra.mediacore.component.output"), &both), kResultOk);
  ASSERT_NE(component, nullptr);
  ASSERT_NE(output, nullptr);
  ASSERT_NE(both, nullptr);
  // The output component is a sub-object of its own, not the primary object, and it reaches
  // the same component and output interfaces.
  EXPECT_NE(both, static_cast<void*>(plugin_));
  // The engine's compiled code reaches the two virtual bases through the part's offset table.
  OutputComponent* outputComponent = static_cast<OutputComponent*>(both);
  ASSERT_NE(outputComponent->virtualBaseOffsets, nullptr);
  EXPECT_EQ(outputComponent->virtualBaseOffsets[0], 0);
  EXPECT_EQ(outputComponent->componentInterface(), component);
  EXPECT_EQ(outputComponent->outputInterface(), output);

  for (const char* unknown : {"com.kestra.mediacore.interface.input", "com.kestra.mediacore.component.output.single",
                              "", "com.kestra.mediacore.interface.Component", "com.kestra.videoadapter.HWND"}) {
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(plugin_->queryInterface(id(unknown), &out), kResultNotFound) << unknown;
    EXPECT_EQ(out, nullptr) << unknown;
  }
  EXPECT_EQ(plugin_->referenceCount(), 1);
}

TEST_F(LoadedPlugin, PropertiesAreNameAndType) {
  void* out = nullptr;
  ASSERT_EQ(plugin_->queryInterface(id("com.kestra.mediacore.interface.component"), &out), kResultOk);
  ComponentInterface* component = static_cast<ComponentInterface*>(out);

  // A full vector of the engine's grows as its library grows it (2 -> 3 -> 4), the old
  // storage going back to the engine's heap; an empty one gets 1, then 2.
  host::OwnedNameList names;
  names.append("engine-a");
  names.append("engine-b");
  ASSERT_EQ(names.capacity(), 2u);
  EXPECT_TRUE(component->listProperties(names.get()));
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names.capacity(), 4u);
  EXPECT_STREQ(names[0], "engine-a");
  EXPECT_STREQ(names[2], "Name");
  EXPECT_STREQ(names[3], "Type");
  host::OwnedNameList empty;
  EXPECT_TRUE(component->listProperties(empty.get()));
  EXPECT_EQ(empty.values(), (std::vector<const char*>{names[2], names[3]}));
  EXPECT_EQ(empty.capacity(), 2u);

  // A big block (4096 bytes and more) is aligned with its heap address stored before it; a
  // vector whose block lacks that is refused, not freed.
  host::OwnedNameList big;
  ASSERT_TRUE(big.get()->reserve(4096 / sizeof(const char*)));
  while (big.size() < big.capacity()) big.append("engine");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(big.begin()) % 32, 0u);
  EXPECT_TRUE(component->listProperties(big.get()));
  EXPECT_STREQ(big[big.size() - 1], "Type");
  alignas(32) const char* storage[8 + 1024] = {};  // the word before the block stays 0
  const char** foreign = storage + 8;
  KMC::EngineVector<const char*> malformed{foreign, foreign + 1024, foreign + 1024};
  EXPECT_FALSE(component->listProperties(&malformed));
  EXPECT_EQ(malformed.last, foreign + 1024);

  PropertyValue name;
  ASSERT_TRUE(component->getProperty("Name", &name));
  EXPECT_EQ(name.type, kPropertyWideString);
  const WideString* wide = static_cast<const WideString*>(name.payload.pointer);
  EXPECT_EQ(wide->length(), 18);
  EXPECT_EQ(std::string(wide->data(), wide->data() + wide->length()), "GDI Video Renderer");

  PropertyValue type;
  ASSERT_TRUE(component->getProperty("Type", &type));
  EXPECT_EQ(type.type, kPropertyNarrowString);
  const NarrowString* kind = static_cast<const NarrowString*>(type.payload.pointer);
  EXPECT_EQ(std::string(kind->data(), kind->length()), "Video|Renderer|GDI");

  PropertyValue untouched = PropertyValue::ofInt32(77);
  EXPECT_FALSE(component->getProperty("name", &untouched));
  EXPECT_EQ(untouched.payload.int32, 77);
  EXPECT_EQ(untouched.type, kPropertyInt32);
}

TEST(PluginLibrary, ExportsOnlyItsEntry) {
  host::LibraryLoader library(host::defaultPluginPath());
  ASSERT_TRUE(library.isLoaded()) << library.error();
  EXPECT_NE(library.getPlugin(), nullptr);
  EXPECT_EQ(library.symbol("_ZN3KMC7Tavorin16negotiateAdapterEv"), nullptr);
  EXPECT_EQ(library.symbol("Sleep"), nullptr);
  EXPECT_EQ(library.symbol("StretchBlt"), nullptr);
  EXPECT_EQ(library.getPlugin()(nullptr, nullptr), 0);  // a null out location is refused quietly
}

}  // namespace
