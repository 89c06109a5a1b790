#include "database/variant.h"

#include <cstring>

namespace KSDSOLD {

Variant::Variant() : type_(VariantType::Null), real_(0.0), integer_(0) {}

Variant::Variant(const Variant& other) : Variant() { Set(other); }

Variant::~Variant() {}

void Variant::Clear() {
  type_ = VariantType::Null;
  real_ = 0.0;
  integer_ = 0;
  text_.clear();
  blob_.Resize(0, false);
  dateTime_ = DateTime();
}

bool Variant::CopyBlob(const ByteBuffer& source) {
  size_t count = source.GetCount();
  if (count == 0) {
    blob_.Resize(0, false);
    return true;
  }
  if (!blob_.Resize(count, false)) return false;
  std::memcpy(blob_.GetData(), source.GetData(), count);
  return true;
}

Variant& Variant::Set(const Variant& other) {
  if (&other == this) return *this;
  switch (other.type_) {
    case VariantType::Null: break;
    case VariantType::Real: real_ = other.real_; break;
    case VariantType::Integer: integer_ = other.integer_; break;
    case VariantType::Text: text_ = other.text_; break;
    case VariantType::Blob:
      if (!CopyBlob(other.blob_)) {
        Clear();
        return *this;
      }
      break;
    case VariantType::DateTime: dateTime_ = other.dateTime_; break;
  }
  type_ = other.type_;
  return *this;
}

Variant& Variant::Set(const DateTime& value) {
  DateTime copy = value;  // value may be this Variant's own payload
  Clear();
  type_ = VariantType::DateTime;
  dateTime_ = copy;
  return *this;
}

Variant& Variant::Set(const ByteBuffer& value) {
  if (&value == &blob_) {  // already this Variant's payload: keep the bytes, drop the rest
    type_ = VariantType::Blob;
    real_ = 0.0;
    integer_ = 0;
    text_.clear();
    dateTime_ = DateTime();
    return *this;
  }
  Clear();
  if (CopyBlob(value)) type_ = VariantType::Blob;
  return *this;
}

Variant& Variant::Set(const std::string& value) {
  std::string copy = value;  // value may be this Variant's own payload
  Clear();
  type_ = VariantType::Text;
  text_.swap(copy);
  return *this;
}

Variant& Variant::Set(const char* value) { return Set(std::string(value ? value : "")); }

Variant& Variant::Set(bool value) { return Set(static_cast<int64_t>(value ? 1 : 0)); }

Variant& Variant::Set(int64_t value) {
  Clear();
  type_ = VariantType::Integer;
  integer_ = value;
  return *this;
}

Variant& Variant::Set(uint64_t value) { return Set(static_cast<int64_t>(value)); }

Variant& Variant::Set(uint32_t value) { return Set(static_cast<int64_t>(static_cast<uint64_t>(value))); }

Variant& Variant::Set(int32_t value) { return Set(static_cast<int64_t>(value)); }

Variant& Variant::Set(double value) {
  Clear();
  type_ = VariantType::Real;
  real_ = value;
  return *this;
}

}  // namespace KSDSOLD
