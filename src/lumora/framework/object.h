// The root of every class of the library: a virtual destructor, so that any
// object can be destroyed through a base reference, and class tests through
// dynamic_cast.
#pragma once

namespace lumora {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// Destroys an object the caller owns and clears the reference; nil is allowed.
template <class T>
void FreeAndNil(T*& object) {
  T* doomed = object;
  object = nullptr;
  delete doomed;
}

}  // namespace lumora
