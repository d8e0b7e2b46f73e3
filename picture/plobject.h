#pragma once
// Root of every class of the picture library.

class CPLObject {
 public:
  virtual ~CPLObject() = default;
  // Consistency check; nothing to check at this level.
  virtual void AssertValid() const {}
};
