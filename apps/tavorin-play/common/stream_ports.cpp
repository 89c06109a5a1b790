#include "stream_ports.h"

#include <ostream>

#include "engine/engine_values.h"

namespace play {

bool StreamPorts::open(const MediaSet& media, const PlayerOptions& options, KMC::OutputInterface* output,
                       std::ostream& err) {
  int count = static_cast<int>(media.count());
  int pictures = options.files.empty() ? options.channels : count;
  streams_.resize(static_cast<size_t>(count));
  for (int s = 0; s < count; ++s) {
    size_t index = static_cast<size_t>(s);
    Stream& stream = streams_[index];
    stream.channelId = s + 1;
    stream.name = media.name(index);
    stream.feed = media.feed(index);
    stream.decoder = media.decoder(index);
    stream.descriptor = host::makeStreamDescriptor(stream.feed->fourCC(), KMC::kStreamVideo);
    stream.peer.reset(new host::EngineStream(stream.channelId));
    if (options.pull) stream.source.reset(new FeedSource(stream.feed));
    if (!options.files.empty()) {
      stream.tile = options.stack ? Fractions{0, 0, 1, 1} : gridTile(s, pictures, 0);
    } else {
      stream.tile = media.isOverlay(index) ? layout::overlayArea() : layout::pictureTile(s, pictures);
    }
    stream.port = output->createPort(options.pull ? KMC::kChannelPull : KMC::kChannelPush, &stream.descriptor,
                                     stream.peer.get());
    if (!stream.port) {
      err << "tavorin-play: the output refused a port for channel " << stream.channelId << "\n";
      return false;
    }
    KMC::PropertyValue source = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, stream.source.get());
    stream.port->portCommand(KMC::kCommandConnect, &source);
  }
  return true;
}

std::vector<PlaybackControl::Target> StreamPorts::targets() const {
  std::vector<PlaybackControl::Target> targets;
  for (const Stream& stream : streams_) targets.push_back(PlaybackControl::Target{stream.port, stream.feed, stream.source.get()});
  return targets;
}

bool StreamPorts::start(KMC::ComponentInterface* component) {
  KMC::PropertyValue none;
  host::OwnedIdList selection;  // drawing order: the first stream at the bottom
  for (Stream& stream : streams_) {
    stream.port->portCommand(KMC::kCommandRun, &none);
    if (!selection.append(stream.channelId)) return false;
  }
  KMC::PropertyValue ids = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, selection.get());
  component->setParameter(KMC::kParameterSelectChannels, &ids);
  component->sendCommand(KMC::kCommandActivate, 0);
  return true;
}

void StreamPorts::place(int32_t width, int32_t height) {
  for (Stream& stream : streams_) {
    if (!stream.port) continue;
    Fractions f = fitAspect(stream.tile, stream.feed->displayAspect(), width, height);
    if (f.left == stream.shownRect.left && f.top == stream.shownRect.top && f.right == stream.shownRect.right &&
        f.bottom == stream.shownRect.bottom) {
      continue;
    }
    stream.shownRect = f;
    KMC::RectFloatRecord rect = host::rectFloat(f.left, f.top, f.right, f.bottom);
    KMC::PropertyValue where = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &rect);
    stream.port->setPortValue(KMC::kValueSetOutputRect, &where);
  }
}

void StreamPorts::close(KMC::OutputInterface* output, std::ostream& err) {
  KMC::PropertyValue none;
  for (Stream& stream : streams_) {
    if (stream.port) stream.port->portCommand(KMC::kCommandDisconnect, &none);
  }
  for (Stream& stream : streams_) {
    if (stream.port && !output->removePort(stream.port)) {
      err << "tavorin-play: the output did not know the port of channel " << stream.channelId << "\n";
    }
    stream.port = nullptr;
  }
}

}  // namespace play
