// Reference counting shared by views, bitmaps and fonts: a new object holds
// one reference, `remember` adds one, `forget` drops one and deletes the
// object with the last.
#pragma once

#include <cstdint>

namespace orv {

class CBaseObject {
 public:
  CBaseObject() = default;
  CBaseObject(const CBaseObject&) = delete;
  CBaseObject& operator=(const CBaseObject&) = delete;

  void remember() { ++nbReference; }
  void forget() {
    if (--nbReference == 0) delete this;
  }
  int32_t getNbReference() const { return nbReference; }

 protected:
  virtual ~CBaseObject() = default;

 private:
  int32_t nbReference = 1;
};

}  // namespace orv
