// The texts of the interface and kind identifiers. Both sides build their own engine strings
// from them; identifiers are compared as whole strings, case-sensitively.
#pragma once

namespace KMC {
namespace identifier {

constexpr const char kComponentInterface[] = "com.kestra.mediacore.interface.component";
constexpr const char kOutputInterface[] = "com.kestra.mediacore.interface.output";
constexpr const char kOutputComponent[] = "com.kestra.mediacore.component.output";
constexpr const char kOutputSingleKind[] = "com.kestra.mediacore.component.output.single";
constexpr const char kOutputMultipleKind[] = "com.kestra.mediacore.component.output.multiple";
constexpr const char kInputInterface[] = "com.kestra.mediacore.interface.input";
constexpr const char kInputComponent[] = "com.kestra.mediacore.component.input";
constexpr const char kTransformInterface[] = "com.kestra.mediacore.interface.transform";
constexpr const char kTransformComponent[] = "com.kestra.mediacore.component.transform";
constexpr const char kVideoAdapterUnknown[] = "com.kestra.videoadapter.unknown";
constexpr const char kVideoAdapterExternalGL[] = "com.kestra.videoadapter.ExternalGL";
constexpr const char kVideoAdapterHWND[] = "com.kestra.videoadapter.HWND";

}  // namespace identifier
}  // namespace KMC
