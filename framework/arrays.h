#pragma once
// CStringArray and CUIntArray: growable arrays with a grow-by step, as the
// application code expects of the framework's array classes.
#include <cassert>
#include <utility>

#include "framework/cstring.h"
#include "framework/wintypes.h"

namespace brv {

template <class T>
class GrowArray {
 public:
  GrowArray() = default;
  GrowArray(const GrowArray&) = delete;
  GrowArray& operator=(const GrowArray&) = delete;
  ~GrowArray() { delete[] m_pData; }

  int GetSize() const { return m_nSize; }
  int GetCount() const { return m_nSize; }
  int GetUpperBound() const { return m_nSize - 1; }
  BOOL IsEmpty() const { return m_nSize == 0; }
  // New elements are empty strings or 0. growBy -1 keeps the current step.
  void SetSize(int newSize, int growBy = -1);
  void FreeExtra();
  void RemoveAll() { SetSize(0); }

  const T& GetAt(int i) const { return m_pData[Checked(i)]; }
  void SetAt(int i, const T& v) { m_pData[Checked(i)] = v; }
  T& ElementAt(int i) { return m_pData[Checked(i)]; }
  const T& operator[](int i) const { return m_pData[Checked(i)]; }
  T& operator[](int i) { return m_pData[Checked(i)]; }
  const T* GetData() const { return m_pData; }
  T* GetData() { return m_pData; }

  void SetAtGrow(int i, const T& v);
  int Add(const T& v) {
    int i = m_nSize;
    SetAtGrow(i, v);
    return i;
  }
  // Returns the index of the first appended element.
  int Append(const GrowArray& other);
  void Copy(const GrowArray& other);
  void InsertAt(int i, const T& v, int count = 1);
  void InsertAt(int start, const GrowArray* other);
  void RemoveAt(int i, int count = 1);

  // The allocated size (for tests of the growth rule).
  int GetAllocatedSize() const { return m_nMaxSize; }

 private:
  int Checked(int i) const {
    assert(i >= 0 && i < m_nSize);
    return i;
  }
  void Reallocate(int newMax);

  T* m_pData = nullptr;
  int m_nSize = 0;
  int m_nMaxSize = 0;
  int m_nGrowBy = 0;
};

template <class T>
void GrowArray<T>::Reallocate(int newMax) {
  T* block = newMax > 0 ? new T[newMax]() : nullptr;
  for (int k = 0; k < m_nSize && k < newMax; ++k) block[k] = std::move(m_pData[k]);
  delete[] m_pData;
  m_pData = block;
  m_nMaxSize = newMax;
}

template <class T>
void GrowArray<T>::SetSize(int newSize, int growBy) {
  assert(newSize >= 0);
  if (newSize < 0) newSize = 0;
  if (growBy >= 0) m_nGrowBy = growBy;
  if (newSize == 0) {
    delete[] m_pData;
    m_pData = nullptr;
    m_nSize = m_nMaxSize = 0;
    return;
  }
  if (m_pData == nullptr) {
    Reallocate(newSize);
  } else if (newSize > m_nMaxSize) {
    int step = m_nGrowBy;
    if (step == 0) step = m_nSize < 32 ? 4 : (m_nSize < 8200 ? m_nSize / 8 : 1024);
    long long grown = static_cast<long long>(m_nMaxSize) + step;
    Reallocate(grown < newSize ? newSize : grown > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(grown));
  }
  // Slots between the old and the new size start out empty; shrinking
  // empties the slots it gives up and keeps the storage.
  for (int k = newSize; k < m_nSize; ++k) m_pData[k] = T();
  for (int k = m_nSize; k < newSize; ++k) m_pData[k] = T();
  m_nSize = newSize;
}

template <class T>
void GrowArray<T>::FreeExtra() {
  if (m_nSize != m_nMaxSize) Reallocate(m_nSize);
}

template <class T>
void GrowArray<T>::SetAtGrow(int i, const T& v) {
  assert(i >= 0);
  if (i >= m_nSize) {
    T keep(v);  // v may live in this array
    SetSize(i + 1);
    m_pData[i] = std::move(keep);
    return;
  }
  m_pData[i] = v;
}

template <class T>
int GrowArray<T>::Append(const GrowArray& other) {
  int old = m_nSize;
  int n = other.m_nSize;  // other may be this array
  SetSize(old + n);
  for (int k = 0; k < n; ++k) m_pData[old + k] = other.m_pData[k];
  return old;
}

template <class T>
void GrowArray<T>::Copy(const GrowArray& other) {
  if (&other == this) return;
  SetSize(other.m_nSize);
  for (int k = 0; k < m_nSize; ++k) m_pData[k] = other.m_pData[k];
}

template <class T>
void GrowArray<T>::InsertAt(int i, const T& v, int count) {
  assert(i >= 0 && count >= 0);
  if (count <= 0) return;
  T keep(v);
  if (i >= m_nSize) {
    SetSize(i + count);
  } else {
    int old = m_nSize;
    SetSize(old + count);
    for (int k = old - 1; k >= i; --k) m_pData[k + count] = std::move(m_pData[k]);
  }
  for (int k = i; k < i + count; ++k) m_pData[k] = keep;
}

template <class T>
void GrowArray<T>::InsertAt(int start, const GrowArray* other) {
  if (other == nullptr || other->m_nSize == 0) return;
  int n = other->m_nSize;
  T* copy = new T[n];  // other may be this array
  for (int k = 0; k < n; ++k) copy[k] = other->m_pData[k];
  InsertAt(start, copy[0], n);
  for (int k = 1; k < n; ++k) m_pData[start + k] = std::move(copy[k]);
  delete[] copy;
}

template <class T>
void GrowArray<T>::RemoveAt(int i, int count) {
  assert(i >= 0 && count >= 0 && i + count <= m_nSize);
  if (count <= 0) return;
  for (int k = i + count; k < m_nSize; ++k) m_pData[k - count] = std::move(m_pData[k]);
  for (int k = m_nSize - count; k < m_nSize; ++k) m_pData[k] = T();
  m_nSize -= count;
}

}  // namespace brv

class CStringArray : public brv::GrowArray<CString> {};
class CUIntArray : public brv::GrowArray<UINT> {};
