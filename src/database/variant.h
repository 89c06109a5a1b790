// KSDSOLD::Variant: the tagged value of statement arguments, result cells and record fields.
//
// Every payload is always present; the kind says which one is meaningful. The getters answer
// the payload as stored and convert nothing (GetInt64 of a Text value answers the integer
// payload, normally 0). The table order of the virtual Set overloads is the ABI: slot 0
// destructor, then slots 1..11 in the order declared below.
#pragma once

#include <cstdint>
#include <string>

#include "database/date_time.h"
#include "database/memory_buffer.h"

namespace KSDSOLD {

// The layer's own kind codes; they differ from the engine's column type codes.
enum class VariantType : int32_t { Null = 0, Real = 1, Integer = 2, Text = 3, Blob = 4, DateTime = 5 };

typedef kstl::MemoryBuffer<unsigned char> ByteBuffer;

class Variant {
 public:
  // Null, real 0.0, integer 0, empty text and blob, 1970-01-01 00:00:00.
  Variant();
  // A default Variant followed by Set(other).
  Variant(const Variant& other);
  virtual ~Variant();

  // Every Set answers *this. All but the copy start with Clear.
  // Slot 1: copies the kind and that kind's payload; nothing when other is this object.
  virtual Variant& Set(const Variant& other);
  virtual Variant& Set(const DateTime& value);       // DateTime
  // Blob. When the bytes cannot be allocated the Variant is left Null (nothing partial).
  virtual Variant& Set(const ByteBuffer& value);
  virtual Variant& Set(const std::string& value);    // Text
  virtual Variant& Set(const char* value);           // Text; null is taken as ""
  virtual Variant& Set(bool value);                  // Integer 1 or 0
  virtual Variant& Set(int64_t value);               // Integer
  virtual Variant& Set(uint64_t value);              // Integer, the 64 bits as they are
  virtual Variant& Set(uint32_t value);              // Integer, zero-extended
  virtual Variant& Set(int32_t value);               // Integer, sign-extended
  virtual Variant& Set(double value);                // Real

  Variant& operator=(const Variant& other) { return Set(other); }

  // Null with every payload at its default.
  void Clear();

  VariantType GetType() const { return type_; }
  double GetReal() const { return real_; }
  int64_t GetInt64() const { return integer_; }
  // The low 32 bits of the integer payload.
  int32_t GetInt() const { return static_cast<int32_t>(integer_); }
  const std::string& GetText() const { return text_; }
  const ByteBuffer& GetBlob() const { return blob_; }
  const DateTime& GetDateTime() const { return dateTime_; }

 private:
  bool CopyBlob(const ByteBuffer& source);

  VariantType type_;
  double real_;
  int64_t integer_;
  std::string text_;
  ByteBuffer blob_;
  DateTime dateTime_;
};

}  // namespace KSDSOLD
